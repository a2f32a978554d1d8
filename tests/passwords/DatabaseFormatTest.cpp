// The bytes of the database file, checked against an independent reading of the format and
// against a known-answer file kept in data/.
#include "PwdTable.h"

#include "DatabaseOracle.h"
#include "PasswordsSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

using namespace qv;
using namespace qvtest;

namespace {

using Entries = std::vector<std::string>;

std::vector<std::uint8_t> ReadHexFile(const std::string& path) {
    std::ifstream in(path);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    std::vector<std::uint8_t> bytes;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream words(line);
        for (std::string word; words >> word;)
            bytes.push_back(static_cast<std::uint8_t>(std::stoul(word, nullptr, 16)));
    }
    return bytes;
}

std::string Hex(const std::vector<std::uint8_t>& bytes) {
    std::ostringstream out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        static const char digits[] = "0123456789abcdef";
        out << digits[bytes[i] >> 4] << digits[bytes[i] & 15]
            << (i % 16 == 15 || i + 1 == bytes.size() ? "\n" : " ");
    }
    return out.str();
}

std::string EntryText(const Entries& entries) {
    std::string text;
    for (const auto& e : entries)
        text += e + "\r\n";
    return text;
}

} // namespace

// The known-answer database: master password "Opal-Kwartz7", these four entries. Their order
// shows the comparison: ignoring case puts "alpha" before "Zeta", and folding to lower case puts
// "_draft" before "Y".
const Entries KnownEntries = {
    "/home/ann/_draft.txt=pa=ss=word",
    "/home/ann/alpha.txt=open sesame",
    "/home/ann/Y.txt=Zebra#42",
    "/home/ann/Zeta.txt=zeta-Zeta",
};

TEST_F(DatabaseTest, TheKnownAnswerFileIsWhatAnIndependentWriterMakes) {
    const auto fixture = ReadHexFile(QV_PASSWORDS_TEST_DATA "/known-answer.pt98.hex");
    EXPECT_EQ(Hex(OracleDatabase(Master, EntryText(KnownEntries))), Hex(fixture));
}

TEST_F(DatabaseTest, StoringTheKnownEntriesInAnyOrderWritesTheKnownAnswerFile) {
    const auto fixture = ReadHexFile(QV_PASSWORDS_TEST_DATA "/known-answer.pt98.hex");
    for (const char* key : {"/home/ann/Zeta.txt", "/home/ann/Y.txt"})
        Store(key, "placeholder"); // replaced below: storing again keeps the last password
    Store("/home/ann/alpha.txt", "open sesame");
    Store("/home/ann/Zeta.txt", "zeta-Zeta");
    Store("/home/ann/_draft.txt", "pa=ss=word");
    Store("/home/ann/Y.txt", "Zebra#42");
    EXPECT_EQ(Hex(ReadBytes(dbPath)), Hex(fixture));
}

TEST_F(DatabaseTest, TheKnownAnswerFileReadsBackAsItsEntries) {
    WriteBytes(dbPath, ReadHexFile(QV_PASSWORDS_TEST_DATA "/known-answer.pt98.hex"));
    EXPECT_EQ(EntriesOnDisk(), KnownEntries);
    EXPECT_EQ(Retrieve("/HOME/ANN/_DRAFT.TXT"), "pa=ss=word");
}

TEST_F(DatabaseTest, TheEntryTextIsPaddedWithOneToEightBytes) {
    struct Case {
        Entries entries;
        std::size_t textLength;
        std::size_t padded;
    };
    const std::vector<Case> cases = {
        {{}, 0, 8}, // the empty database: a 22-byte file
        {{"k=a"}, 5, 8},
        {{"k=abcd"}, 8, 16}, // a multiple of 8 gets a whole block
        {{"k=ab", "m=cd"}, 12, 16},
        {{"/d/key=password"}, 17, 24},
        {{"/d/key=pass", "/d/lock=word"}, 27, 32},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(EntryText(c.entries));
        table.ClearEntries();
        for (const auto& e : c.entries)
            table.Entries.Add(Bytes(e));
        ASSERT_EQ(table.WriteDatabase(), DatabaseOk);
        EXPECT_TRUE(table.Entries.Size() == c.entries.size()) << "writing keeps the list";

        const auto file = ReadBytes(dbPath);
        EXPECT_EQ(file.size(), 14 + c.padded);
        const OracleReading reading = OracleRead(file, Master);
        EXPECT_TRUE(reading.magicOk && reading.keyCheckOk && reading.checksumOk);
        EXPECT_EQ(reading.textLength, static_cast<std::int32_t>(c.textLength));
        const std::string text = EntryText(c.entries);
        ASSERT_EQ(reading.plain.size(), c.padded);
        EXPECT_EQ(std::string(reading.plain.begin(), reading.plain.begin() + c.textLength), text);
        EXPECT_EQ(
            std::vector<std::uint8_t>(reading.plain.begin() + c.textLength, reading.plain.end()),
            std::vector<std::uint8_t>(c.padded - c.textLength, 0));
        EXPECT_EQ(EntriesOnDisk(), c.entries);
    }
}

// Entry texts around the chunk size: 10232 to 10239 bytes pad to exactly one full chunk, read
// as that chunk and an empty last one; one byte less or more stays inside one chunk or spills
// into a second.
TEST_F(DatabaseTest, EntryTextsAroundTheChunkSizeReadBackExactly) {
    int chunksRead = 0;
    table.MasterPass.ChunkDone = [&] { ++chunksRead; };
    for (std::size_t length = 10231; length <= 10241; ++length) {
        SCOPED_TRACE(length);
        // Entries of 100 bytes with their line break, then one that makes up the rest.
        Entries entries;
        std::size_t used = 0;
        for (int i = 0; used + 100 + 100 <= length; ++i, used += 100) {
            char key[32];
            std::snprintf(key, sizeof key, "/data/file-%05d=", i);
            entries.push_back(key + std::string(98 - std::strlen(key), 'p'));
        }
        entries.push_back("/data/zz-last=" + std::string(length - used - 2 - 14, 'q'));
        ASSERT_EQ(EntryText(entries).size(), length);

        table.ClearEntries();
        for (const auto& e : entries)
            table.Entries.Add(Bytes(e));
        ASSERT_EQ(table.WriteDatabase(), DatabaseOk);
        const std::size_t padded = length + 8 - length % 8;
        const auto file = ReadBytes(dbPath);
        ASSERT_EQ(file.size(), 14 + padded);
        const OracleReading reading = OracleRead(file, Master);
        EXPECT_TRUE(reading.checksumOk);
        EXPECT_EQ(std::string(reading.plain.begin(), reading.plain.begin() + length),
                  EntryText(entries));

        chunksRead = 0;
        EXPECT_EQ(EntriesOnDisk(), entries);
        EXPECT_EQ(chunksRead, static_cast<int>(padded / DatabaseChunkSize + 1));
    }
}

TEST_F(DatabaseTest, ADatabaseOfManyChunksChainsThroughThemAll) {
    Entries entries;
    for (int i = 0; i < 3000; ++i)
        entries.push_back("/srv/archive/" + std::to_string(100000 + i) +
                          ".tar=" + std::string(1 + i % 23, static_cast<char>('a' + i % 26)));
    for (const auto& e : entries)
        table.Entries.Add(Bytes(e));
    ASSERT_EQ(table.WriteDatabase(), DatabaseOk);
    table.ClearEntries();

    const auto file = ReadBytes(dbPath);
    ASSERT_GT(file.size(), 5 * DatabaseChunkSize);
    EXPECT_EQ(file, OracleDatabase(Master, EntryText(entries)));
    EXPECT_EQ(EntriesOnDisk(), entries);
}

TEST_F(DatabaseTest, ReadingWithoutEntriesChecksOnlyTheMagicAndTheKey) {
    WriteBytes(dbPath, OracleDatabase(Master, "/d/a=b-password\r\n", INT32_MAX));
    EXPECT_EQ(table.ReadDatabase(false), DatabaseOk);
    EXPECT_TRUE(table.Entries.Empty());
    HoldMaster("Other-Master");
    EXPECT_EQ(table.ReadDatabase(false), DatabaseWrongKey);
}
