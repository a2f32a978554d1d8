// The seed inputs of the fuzz targets, and the check that they are what they claim: every good
// crypted file (made by the independent reference writer, in every format the reader accepts)
// decrypts to its plain bytes, every good database (made by the independent database writer)
// reads back with its entries, and every damaged file is refused with the code of its damage.
//
// With QUORVANE_FUZZ_SEEDS set (scripts/fuzz.sh) the seeds are written into that folder, one
// subfolder per target; without it they go into a temporary folder that is removed again.
#include "CryptFile.h"
#include "DatabaseOracle.h"
#include "FirstSettings.h"
#include "FuzzInputs.h"
#include "Pwd.h"
#include "PwdTable.h"
#include "ReferenceCrypt.h"
#include "RegistryFile.h"
#include "RegistryKeys.h"
#include "ScriptedAnswers.h"
#include "SettingsRoundTrip.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

using namespace qv;
using namespace qv::fuzz;
using qvtest::PatternBytes;
using qvtest::ReferenceCrypt;
using qvtest::ReferenceFile;
using qvtest::TempDir;

namespace {

using Bytes = std::vector<std::uint8_t>;
using Entries = std::vector<std::string>;

// Where one target's seeds go.
class SeedFolder {
public:
    explicit SeedFolder(const std::string& target) {
        const char* root = std::getenv("QUORVANE_FUZZ_SEEDS");
        if (root && *root) {
            path_ = std::string(root) + "/" + target;
        } else {
            temporary_.emplace();
            path_ = *temporary_ / target;
        }
        std::filesystem::create_directories(path_);
    }

    // A seed of a target that takes a password byte first.
    void Write(const std::string& name, std::size_t passwordIndex, const Bytes& file) const {
        Bytes seed(1 + file.size());
        seed[0] = static_cast<std::uint8_t>(passwordIndex);
        std::copy(file.begin(), file.end(), seed.begin() + 1);
        qvtest::WriteBytes(path_ + "/" + name, seed);
    }
    void WriteText(const std::string& name, const std::string& text) const {
        qvtest::WriteText(path_ + "/" + name, text);
    }

private:
    std::optional<TempDir> temporary_;
    std::string path_;
};

// ---- crypted files ----

struct Decryption {
    std::int32_t code = 0;
    std::string storedName;
    Bytes plain; // of the output, when the decryption succeeded
};

// Decrypts a crypted file as fuzz_crypt_reader does: as x.cry, with the password of the index.
Decryption Decrypt(const Bytes& file, std::size_t passwordIndex) {
    TempDir dir;
    const std::string path = dir / CryptFileName;
    qvtest::WriteBytes(path, file);
    TQV_Pwd pwd;
    const std::string_view password = CryptPasswords.at(passwordIndex);
    pwd.SetTypedPassword(reinterpret_cast<const std::uint8_t*>(password.data()), password.size());
    pwd.HasPassword = true;
    Decryption result;
    result.code = pwd.DecryptFile(path, result.storedName);
    if (result.code == CryptOk)
        result.plain =
            qvtest::ReadBytes(dir / (result.storedName.empty() ? DerivedPlainPath(CryptFileName)
                                                               : result.storedName));
    return result;
}

ReferenceFile CryptedFile(const std::string& magic, std::size_t passwordIndex,
                          std::size_t plainSize, const std::string& name) {
    ReferenceFile file;
    file.magic = magic;
    file.password = std::string(CryptPasswords.at(passwordIndex));
    file.plain = PatternBytes(plainSize, static_cast<std::uint32_t>(plainSize + 1));
    file.name = name;
    return file;
}

bool HasNameField(const std::string& magic) {
    return magic[3] != '7' && magic[3] != 'A';
}

TEST(FuzzSeeds, CryptedFilesOfEveryFormatAndChunkBoundaryDecrypt) {
    const SeedFolder seeds(CryptReaderTarget);
    // Around the 10240-byte chunk: 10232 and 10239 bytes pad to exactly one chunk, 10240 to one
    // chunk and a block.
    const std::size_t sizes[] = {0, 1, 7, 8, 100, 10232, 10239, 10240};
    // The stored name: none, another name than the derived one, and the derived one itself.
    const std::string names[] = {"", "plain.txt", "x"};
    const std::string magics[] = {"QV97", "QV98", "QV9A", "QV9B", "QV9C"};
    std::size_t n = 0;
    for (const std::string& magic : magics) {
        for (const std::size_t size : sizes) {
            const std::size_t passwordIndex = n % CryptPasswords.size();
            const std::string name = names[n % std::size(names)];
            ++n;
            const ReferenceFile reference = CryptedFile(magic, passwordIndex, size, name);
            const Bytes file = ReferenceCrypt(reference);
            const std::string what = magic + "-" + std::to_string(size);
            SCOPED_TRACE(what);
            const Decryption result = Decrypt(file, passwordIndex);
            ASSERT_EQ(result.code, CryptOk);
            EXPECT_TRUE(result.plain == reference.plain);
            EXPECT_EQ(result.storedName, HasNameField(magic) ? name : "");
            seeds.Write(what, passwordIndex, file);
        }
    }
}

TEST(FuzzSeeds, DamagedCryptedFilesAreRefusedWithTheirCode) {
    const SeedFolder seeds(CryptReaderTarget);
    const std::size_t passwordIndex = 1;
    const Bytes plain20 = PatternBytes(20, 21);
    auto make = [&](const std::string& magic, const std::function<void(ReferenceFile&)>& change) {
        ReferenceFile file = CryptedFile(magic, passwordIndex, 20, "plain.txt");
        if (change)
            change(file);
        return ReferenceCrypt(file);
    };
    const Bytes good = make("QV9B", {});
    const Bytes goodOld = make("QV9A", {});
    auto cut = [](Bytes file, std::size_t size) {
        file.resize(size);
        return file;
    };
    auto set = [](Bytes file, std::size_t offset, std::uint8_t value) {
        file.at(offset) = value;
        return file;
    };
    auto flip = [](Bytes file, std::size_t offset) {
        file.at(offset) ^= 0x20;
        return file;
    };
    auto append = [](Bytes file, std::size_t count) {
        file.resize(file.size() + count, 0xA5);
        return file;
    };
    auto withName = [&](const std::string& name, int length) {
        return make("QV98", [&](ReferenceFile& f) {
            f.name = name;
            f.nameLength = length;
        });
    };
    auto withSize = [&](std::int64_t plainSize) {
        return make("QV9C", [&](ReferenceFile& f) { f.plainSizeField = plainSize; });
    };
    const std::string text = "This is a plain text file and no crypted file at all.\n";

    struct Case {
        const char* name;
        Bytes file;
        std::int32_t code;
        const char* storedName = ""; // after a decryption that succeeds
    };
    const Case cases[] = {
        {"empty", {}, CryptReadFailed},
        {"cut-in-magic", cut(good, 3), CryptReadFailed},
        {"cut-in-sizes", cut(good, 13), CryptReadFailed},
        {"cut-in-name-field", cut(good, 34), CryptReadFailed},
        {"cut-in-short-header", cut(goodOld, 10), CryptReadFailed},
        {"header-only", cut(good, LongHeaderBytes), CryptWrongPassword},
        {"cut-in-data", cut(good, good.size() - 3), CryptWrongPassword},
        {"wrong-magic", set(good, 3, 'D'), CryptNotCrypted},
        {"wrong-magic-short", set(goodOld, 3, '9'), CryptNotCrypted},
        {"plain-text", Bytes(text.begin(), text.end()), CryptNotCrypted},
        {"size-too-big", withSize(25), CryptWrongPassword},
        {"size-negative", withSize(-1), CryptWrongPassword},
        {"size-zero", withSize(0), CryptWrongPassword},
        {"key-check-wrong", flip(good, 12), CryptWrongPassword},
        {"checksum-wrong", flip(good, 8), CryptWrongPassword},
        {"data-damaged", flip(good, good.size() - 12), CryptWrongPassword},
        {"old-data-damaged", flip(goodOld, goodOld.size() - 1), CryptWrongPassword},
        // A trailing part-block lies outside the plain size and is never deciphered.
        {"trailing-part-block", append(good, 3), CryptOk, "plain.txt"},
        {"name-length-13", withName("thirteen-char", 13), CryptOk},
        {"name-length-255", withName("plain.txt", 255), CryptOk},
        {"name-leaves-folder", withName("../up.txt", 9), CryptOk},
        {"name-dot-dot", withName("..", 2), CryptOk},
        {"name-control-byte", withName("a\x01z", 3), CryptOk},
        {"name-of-the-input", withName("x.cry", 5), CryptOk},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Decryption result = Decrypt(c.file, passwordIndex);
        EXPECT_EQ(result.code, c.code);
        if (result.code == CryptOk) {
            EXPECT_EQ(result.storedName, c.storedName);
            EXPECT_TRUE(result.plain == plain20);
        }
        seeds.Write(std::string("damaged-") + c.name, passwordIndex, c.file);
    }
}

// ---- databases ----

std::string EntryText(const Entries& entries) {
    std::string text;
    for (const auto& e : entries)
        text += e + "\r\n";
    return text;
}

Entries ManyEntries(std::size_t count) {
    Entries entries{std::string(DatabaseKey) + "=kept-for-the-key"};
    for (std::size_t i = 0; i < count; ++i)
        entries.push_back("/home/ann/folder " + std::to_string(i % 7) + "/file-" +
                          std::to_string(i) + ".txt=pw-" + std::to_string(i * 7919 % 100000));
    return entries;
}

// Entries whose text pads to exactly one chunk of the database.
Entries OneChunkOfEntries() {
    Entries entries = ManyEntries(0);
    for (std::size_t i = 0; EntryText(entries).size() < DatabaseChunkSize - 100; ++i)
        entries.push_back("/home/ann/chunk/file-" + std::to_string(i) + ".txt=chunk-" +
                          std::to_string(i));
    const std::string head = "/home/ann/last.txt=";
    const std::size_t length = DatabaseChunkSize - 5; // padded to the chunk
    entries.push_back(head +
                      std::string(length - EntryText(entries).size() - head.size() - 2, 'p'));
    return entries;
}

struct DatabaseReading {
    std::int32_t code = 0;
    Entries entries;
};

// Reads database bytes as fuzz_database does: with the master password of the index.
DatabaseReading ReadDatabaseFile(const Bytes& file, std::size_t passwordIndex) {
    TempDir dir;
    qvtest::WriteBytes(dir / DatabaseFileName, file);
    TQV_Pwd current;
    qvtest::ScriptedAnswers answers;
    TQV_PwdTable table(current, answers);
    table.MasterPass.Store = true;
    table.MasterPass.Dir = dir / DatabaseFileName;
    const std::string_view master = MasterPasswords.at(passwordIndex);
    table.MasterPass.SetTypedPassword(reinterpret_cast<const std::uint8_t*>(master.data()),
                                      master.size());
    table.MasterPass.HasPassword = true;
    DatabaseReading reading;
    reading.code = table.ReadDatabase(true);
    for (std::size_t i = 0; i < table.Entries.Size(); ++i)
        reading.entries.emplace_back(table.Entries[i]);
    std::sort(reading.entries.begin(), reading.entries.end());
    return reading;
}

TEST(FuzzSeeds, DatabasesOfNoneOneAndManyEntriesRead) {
    const SeedFolder seeds(DatabaseTarget);
    const std::string key(DatabaseKey);
    struct Case {
        const char* name;
        std::string text;
        Entries entries; // as they read back
    };
    const Entries many = ManyEntries(40);
    const Entries overOneChunk = ManyEntries(400);
    const Entries oneChunk = OneChunkOfEntries();
    const Case cases[] = {
        {"no-entries", "", {}},
        {"the-key", key + "=open sesame\r\n", {key + "=open sesame"}},
        {"another-key", "/home/ann/other.txt=xyz\r\n", {"/home/ann/other.txt=xyz"}},
        {"the-key-without-password", key + "=\r\n", {key + "="}},
        {"many-entries", EntryText(many), many},
        {"one-chunk", EntryText(oneChunk), oneChunk},
        {"over-one-chunk", EntryText(overOneChunk), overOneChunk},
        // Entries that differ in the password only, in any order and letter case.
        {"the-key-twice",
         "/HOME/ann/Report.txt=two\r\n" + key + "=one\r\n",
         {"/HOME/ann/Report.txt=two", key + "=one"}},
        // Lines end at CR, LF or both; a zero byte ends the text; an entry needs no "=".
        {"line-endings",
         "a=1\nb=2\r\rno-equals\r\n" + key + "=pw\r\n" + std::string(1, '\0') + "after=zero\r\n",
         {"a=1", "b=2", "no-equals", key + "=pw"}},
    };
    std::size_t n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::size_t passwordIndex = n++ % MasterPasswords.size();
        const Bytes file =
            qvtest::OracleDatabase(std::string(MasterPasswords[passwordIndex]), c.text);
        const DatabaseReading reading = ReadDatabaseFile(file, passwordIndex);
        EXPECT_EQ(reading.code, DatabaseOk);
        Entries expected = c.entries;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(reading.entries, expected);
        seeds.Write(c.name, passwordIndex, file);
    }
    EXPECT_EQ(EntryText(oneChunk).size() + 8 - EntryText(oneChunk).size() % 8, DatabaseChunkSize);
    EXPECT_GT(EntryText(overOneChunk).size(), DatabaseChunkSize);
}

TEST(FuzzSeeds, DamagedDatabasesAreRefusedWithTheirCode) {
    const SeedFolder seeds(DatabaseTarget);
    const std::size_t passwordIndex = 2;
    const std::string master(MasterPasswords[passwordIndex]);
    const std::string text = EntryText(ManyEntries(3));
    const Bytes good = qvtest::OracleDatabase(master, text);
    const auto length = static_cast<std::int32_t>(text.size());
    auto cut = [](Bytes file, std::size_t size) {
        file.resize(size);
        return file;
    };
    auto flip = [](Bytes file, std::size_t offset) {
        file.at(offset) ^= 0x01;
        return file;
    };
    auto append = [](Bytes file, std::size_t count) {
        file.resize(file.size() + count, 0x5A);
        return file;
    };
    struct Case {
        const char* name;
        Bytes file;
        std::int32_t code;
    };
    const Case cases[] = {
        {"empty", {}, DatabaseReadFailed},
        {"cut-in-header", cut(good, 10), DatabaseReadFailed},
        {"header-only", cut(good, 14), DatabaseWrongKey},
        {"cut-in-data", cut(good, good.size() - 3), DatabaseWrongKey},
        {"cut-at-a-block", cut(good, good.size() - 8), DatabaseWrongKey},
        {"trailing-bytes", append(good, 5), DatabaseWrongKey},
        {"wrong-magic", flip(good, 1), DatabaseNotPt98},
        {"another-master-password", qvtest::OracleDatabase("Not-In-The-List", text),
         DatabaseWrongKey},
        {"key-check-wrong", flip(good, 12), DatabaseWrongKey},
        {"checksum-wrong", flip(good, 8), DatabaseWrongKey},
        {"data-damaged", flip(good, 30), DatabaseWrongKey},
        {"length-too-big", qvtest::OracleDatabase(master, text, length + 9), DatabaseWrongKey},
        {"length-negative", qvtest::OracleDatabase(master, text, -1), DatabaseWrongKey},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const DatabaseReading reading = ReadDatabaseFile(c.file, passwordIndex);
        EXPECT_EQ(reading.code, c.code);
        EXPECT_TRUE(reading.entries.empty());
        seeds.Write(std::string("damaged-") + c.name, passwordIndex, c.file);
    }
    // A shorter length keeps the entries it covers and drops the rest of the text.
    const std::string first = EntryText(ManyEntries(0));
    const Bytes shorter =
        qvtest::OracleDatabase(master, text, static_cast<std::int32_t>(first.size()));
    EXPECT_EQ(ReadDatabaseFile(shorter, passwordIndex).entries,
              Entries{std::string(DatabaseKey) + "=kept-for-the-key"});
    seeds.Write("length-short", passwordIndex, shorter);
}

// ---- settings ----

std::string WithCrLf(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

TEST(FuzzSeeds, SettingsFilesRoundTripAndDamagedOnesAreRefused) {
    const SeedFolder seeds(SettingsTarget);
    const std::string header = std::string(RegistryFile::Header) + "\n";
    const std::string first =
        FirstRegistry("/usr/share/quorvane", "/usr/bin/xdg-open %1").Serialize();
    RegistryFile storeOn = FirstRegistry("/opt/quorvane/share", "firefox \"%1\"");
    storeOn.SetInteger(keys::MasterPass, "Store", 1);
    storeOn.SetText(keys::MasterPass, "Dir", "/home/ann/\"my\" files\\xwords.001");
    storeOn.SetInteger(keys::Options, "Method", 4);
    const std::string handWritten = header + R"(
; comment lines and blank lines are kept out of the settings
[HKEY_CLASSES_ROOT\crypt file\Settings\Options]
"Method"=dword:00000003
"Expire"=dword:FFFFFFFF
"Binary"=hex:01,02,\
  03,04
@="unnamed value"

[hkey_classes_root\Crypt File\settings\MasterPass]
"Dir"="/home/élève/Données/xwords.001"
"Store"=dword:1
"Empty"=""
)";
    const std::string unicode = header + "[HKEY_CLASSES_ROOT\\crypt file\\Settings\\MasterPass]\n"
                                         "\"Dir\"=\"/home/張/密碼/xwords.001\"\n";
    // A text with line breaks has no quoted form: it is written as hex(1) data.
    RegistryFile lineBreaks;
    ASSERT_TRUE(lineBreaks.Parse(header));
    lineBreaks.AddKey(keys::MasterPass);
    EXPECT_TRUE(lineBreaks.SetText(keys::MasterPass, "Dir", "first line\nsecond\r\n\tthird"));
    const std::string expandable = header +
                                   "[HKEY_CLASSES_ROOT\\crypt file\\DefaultIcon]\n"
                                   "@=hex(2):25,00,48,00,4f,00,4d,00,45,00,25,00,2f,00,\\\n"
                                   "  69,00,63,00,6f,00,6e,00,00,00\n";
    struct Case {
        const char* name;
        std::string text;
        bool parses;
    };
    const Case cases[] = {
        {"first-settings", first, true},
        {"text-with-line-breaks", lineBreaks.Serialize(), true},
        {"expandable-text", expandable, true},
        {"first-settings-crlf", WithCrLf(first), true},
        {"store-on", storeOn.Serialize(), true},
        {"hand-written", handWritten, true},
        {"unicode", unicode, true},
        {"header-only", header, true},
        {"empty", "", false},
        {"no-header", "[HKEY_CLASSES_ROOT\\x]\n", false},
        {"value-outside-a-key", header + "\"a\"=dword:1\n", false},
        {"bad-dword", header + "[HKEY_CLASSES_ROOT\\x]\n\"a\"=dword:xyz\n", false},
        {"unterminated-text", header + "[HKEY_CLASSES_ROOT\\x]\n\"a\"=\"open\n", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RegistryFile registry;
        std::string error;
        EXPECT_EQ(registry.Parse(c.text, &error), c.parses) << error;
        // What fuzz_settings asks of every input, good or refused.
        std::string why;
        EXPECT_TRUE(SettingsRoundTrip(c.text, &why)) << why;
        seeds.WriteText(c.name, c.text);
    }
}

} // namespace
