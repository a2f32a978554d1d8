// Encrypting and decrypting whole files: the format byte for byte, every result code with what
// it leaves behind, and the protection of the user's other files.
#include "CryptFile.h"
#include "CipherPaths.h"
#include "FileSizeLimit.h"
#include "FileSystem.h"
#include "FlushGroup.h"
#include "HexUtil.h"
#include "Paths.h"
#include "Pwd.h"
#include "ReferenceCrypt.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <iostream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>

using namespace qv;
using qvtest::FileSizeLimit;
using qvtest::PatternBytes;
using qvtest::ReadBytes;
using qvtest::ReadText;
using qvtest::ReferenceCrypt;
using qvtest::ReferenceFile;
using qvtest::TempDir;
using qvtest::WriteBytes;
using qvtest::WriteText;

namespace {

using Names = std::vector<std::string>;

::testing::AssertionResult SameBytes(const std::vector<std::uint8_t>& actual,
                                     const std::vector<std::uint8_t>& expected) {
    if (actual.size() != expected.size())
        return ::testing::AssertionFailure()
               << "size " << actual.size() << ", expected " << expected.size();
    for (std::size_t i = 0; i < actual.size(); ++i)
        if (actual[i] != expected[i])
            return ::testing::AssertionFailure() << "first difference at byte " << i;
    return ::testing::AssertionSuccess();
}

// The output an operation is writing in a folder, opened once more through the engine's own
// descriptor: an unnamed file shows in /proc/self/fd as "FOLDER/#INODE (deleted)", a file under a
// temporary name as "FOLDER/.NAME". -1 when there is none.
int OpenOutputBeingWritten(const TempDir& dir) {
    const std::string prefix = dir.Path() + "/";
    DIR* fds = opendir("/proc/self/fd");
    if (!fds)
        return -1;
    int found = -1;
    while (const dirent* entry = readdir(fds)) {
        const std::string link = std::string("/proc/self/fd/") + entry->d_name;
        char target[4096];
        const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
        if (n <= 0)
            continue;
        const std::string name(target, static_cast<std::size_t>(n));
        if (name.compare(0, prefix.size(), prefix) == 0 && name.size() > prefix.size() &&
            (name[prefix.size()] == '#' || name[prefix.size()] == '.')) {
            found = open(link.c_str(), O_RDONLY | O_CLOEXEC);
            break;
        }
    }
    closedir(fds);
    return found;
}

// During the first chunk: a descriptor of the test's own on the plain output, through which the
// test sees what became of its content after the engine gave it up.
struct Peek {
    const TempDir* dir;
    int fd = -1;
    void operator()() {
        if (fd < 0) {
            ASSERT_GE(fd = OpenOutputBeingWritten(*dir), 0);
        }
    }
    off_t Size() const {
        struct stat st {};
        return fd >= 0 && fstat(fd, &st) == 0 ? st.st_size : -1;
    }
    ~Peek() {
        if (fd >= 0)
            close(fd);
    }
};

class CryptFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        UsePassword("secret");
        pwd.AbortRequested = &stop;
        pwd.Progress = &progress;
    }

    void UsePassword(const std::string& typed) {
        pwd.SetTypedPassword(reinterpret_cast<const std::uint8_t*>(typed.data()), typed.size());
        pwd.HasPassword = true;
    }

    // Decrypts path + ".cry" where a file of the output's name exists, expecting code after
    // plain bytes were written: the temporary file is wiped, storedName and the existing file
    // stay as they were, and the folder holds the two files only. duringChunk runs after each
    // chunk.
    void ExpectFailedDecryption(const std::string& path, std::int32_t code,
                                const std::function<void()>& duringChunk = {}) {
        WriteText(path, "the user's own file");
        Peek peek{&dir};
        pwd.ChunkDone = [&] {
            peek();
            if (duringChunk)
                duringChunk();
        };
        std::string stored = "before";
        EXPECT_EQ(pwd.DecryptFile(path + ".cry", stored), code);
        EXPECT_EQ(peek.Size(), 0) << "the written plain bytes were wiped";
        EXPECT_EQ(stored, "before");
        EXPECT_EQ(ReadText(path), "the user's own file");
        const std::string name = FileNamePart(path);
        EXPECT_EQ(dir.Names(), (Names{name, name + ".cry"}));
    }

    // Writes a crypted file made by the reference writer.
    void WriteCrypted(const std::string& path, const ReferenceFile& file) {
        WriteBytes(path, ReferenceCrypt(file));
    }

    TempDir dir;
    TQV_Pwd pwd;
    bool stop = false;
    CryptProgress progress;
};

} // namespace

// Runs the engine on one cipher path while it lives.
class ScopedCipherPath {
public:
    explicit ScopedCipherPath(CipherPath path) {
        setenv("QUORVANE_CIPHER_PATH", CipherPathName(path), 1);
    }
    ~ScopedCipherPath() { unsetenv("QUORVANE_CIPHER_PATH"); }
    ScopedCipherPath(const ScopedCipherPath&) = delete;
    ScopedCipherPath& operator=(const ScopedCipherPath&) = delete;
};

class CryptFileRoundTrip
    : public CryptFileTest,
      public ::testing::WithParamInterface<std::tuple<std::int32_t, CipherPath>> {};

// Plain sizes around every boundary of the engine: the first blocks one by one, whole groups of
// the vector paths (8 to 512 blocks) one block short, exact and one block over, the chunk and
// two chunks, a last chunk of a single block, and files large enough for the helper thread, one
// of them ending in a single block.
std::vector<std::size_t> BoundarySizes() {
    std::vector<std::size_t> sizes;
    for (std::size_t size = 0; size <= 17; ++size)
        sizes.push_back(size);
    for (const std::size_t group : {8, 16, 32, 64, 128, 256, 512, 768})
        for (const std::size_t blocks : {group - 1, group, group + 1})
            sizes.push_back(8 * blocks - 1); // padded to exactly that many blocks
    for (std::size_t size = 10232; size <= 10241; ++size)
        sizes.push_back(size);
    for (std::size_t size = 20472; size <= 20480; ++size)
        sizes.push_back(size);
    sizes.push_back(2 * CryptChunkSize + 7); // the last chunk holds one block
    sizes.push_back(3 * 1024 * 1024 + 5);
    sizes.push_back(320 * CryptChunkSize + 7);
    return sizes;
}

TEST_P(CryptFileRoundTrip, EverySizeMatchesTheReferenceWriterAndDecryptsBack) {
    const auto [method, cipherPath] = GetParam();
    if (!CipherPathSupported(cipherPath))
        GTEST_SKIP() << "this processor has no " << CipherPathName(cipherPath) << " path";
    const ScopedCipherPath forced(cipherPath);
    ASSERT_EQ(ActiveCipherPath(), cipherPath);
    std::cout << "[ path     ] " << CipherPathName(cipherPath) << "\n";

    const std::string path = dir / "plain.bin";
    for (const std::size_t size : BoundarySizes()) {
        SCOPED_TRACE("plain size " + std::to_string(size));
        const auto plain = PatternBytes(size, static_cast<std::uint32_t>(size));
        WriteBytes(path, plain);
        int chunks = 0;
        pwd.ChunkDone = [&chunks] { ++chunks; };

        ASSERT_EQ(pwd.EncryptFile(path, method), CryptOk);
        const std::size_t padded = size + 8 - size % 8;
        EXPECT_TRUE(
            SameBytes(ReadBytes(path + ".cry"),
                      ReferenceCrypt({MagicOfMethod(method), "secret", plain, "plain.bin"})));
        EXPECT_EQ(progress.Total(), static_cast<std::int32_t>(padded / 8));
        EXPECT_EQ(progress.Done(), progress.Total());
        EXPECT_EQ(chunks, static_cast<int>((padded + CryptChunkSize - 1) / CryptChunkSize));
        EXPECT_TRUE(SameBytes(ReadBytes(path), plain)) << "the plain file is left as it was";

        ASSERT_EQ(std::remove(path.c_str()), 0);
        chunks = 0;
        std::string stored = "before";
        ASSERT_EQ(pwd.DecryptFile(path + ".cry", stored), CryptOk);
        EXPECT_EQ(stored, "plain.bin");
        EXPECT_TRUE(SameBytes(ReadBytes(path), plain));
        EXPECT_EQ(progress.Total(), static_cast<std::int32_t>(padded / 8));
        EXPECT_EQ(progress.Done(), progress.Total());
        EXPECT_EQ(chunks, static_cast<int>((padded + CryptChunkSize - 1) / CryptChunkSize));
        EXPECT_EQ(dir.Names(), (Names{"plain.bin", "plain.bin.cry"}));
        std::remove((path + ".cry").c_str());
    }
}

INSTANTIATE_TEST_SUITE_P(CryptFile, CryptFileRoundTrip,
                         ::testing::Combine(::testing::Values(MethodIdea, MethodDes,
                                                              MethodTripleDes),
                                            ::testing::ValuesIn(AllCipherPaths)),
                         [](const auto& info) {
                             const std::int32_t method = std::get<0>(info.param);
                             return std::string(method == MethodIdea  ? "Idea"
                                                : method == MethodDes ? "Des"
                                                                      : "TripleDes") +
                                    "_" + CipherPathName(std::get<1>(info.param));
                         });

TEST_F(CryptFileTest, HeaderOfASmallFileByteByByteAndTheSameOutputTwice) {
    // Data checksum of "Hello, world!\n" and key checks of "secret", worked out by hand from
    // the checksum and key rules.
    struct Case {
        std::int32_t method;
        const char* magicAndKeyCheck; // magic, then key check at offset 12
        const char* keyCheck;
    };
    const std::string path = dir / "hello.txt";
    WriteText(path, "Hello, world!\n");
    for (const Case c : {Case{MethodIdea, "51563938", "A5A5"}, Case{MethodDes, "51563942", "B2AE"},
                         Case{MethodTripleDes, "51563943", "07F5"}}) {
        SCOPED_TRACE(MethodName(c.method));
        ASSERT_EQ(pwd.EncryptFile(path, c.method), CryptOk);
        const auto first = ReadBytes(path + ".cry");
        ASSERT_EQ(first.size(), 35u + 16u);
        EXPECT_EQ(qvtest::ToHex(first.data(), 35), std::string(c.magicAndKeyCheck) + "0E000000" +
                                                       "2CEE91B8" + c.keyCheck + "09" +
                                                       "68656C6C6F2E747874" + std::string(22, '0'));
        ASSERT_EQ(pwd.EncryptFile(path, c.method), CryptOk);
        EXPECT_EQ(ReadBytes(path + ".cry"), first) << "encrypting again gives the same file";
    }
}

TEST_F(CryptFileTest, DecryptsEveryMagicByItsFourthByteAlone) {
    // The two oldest formats: 14-byte header, DES keys from the password as typed, the first
    // without chaining. Only the fourth byte of a magic counts.
    const auto plain = PatternBytes(10245, 7);
    for (const char* magic :
         {"QV97", "QV9A", "QV9B", "QV98", "QV9C", "abc7", "..9A", "XYZB", "qv98"}) {
        SCOPED_TRACE(magic);
        // A password longer than a DES key: only its first eight bytes count there.
        const std::string password = "pass-word-12";
        UsePassword(password);
        WriteCrypted(dir / "old.cry", {magic, password, plain, "old.txt"});
        std::string stored = "before";
        ASSERT_EQ(pwd.DecryptFile(dir / "old.cry", stored), CryptOk);
        const bool named = magic[3] != '7' && magic[3] != 'A';
        EXPECT_EQ(stored, named ? "old.txt" : "");
        EXPECT_TRUE(SameBytes(ReadBytes(dir / (named ? "old.txt" : "old")), plain));
        EXPECT_EQ(dir.Names().size(), 2u);
        std::remove((dir / (named ? "old.txt" : "old")).c_str());
    }
}

TEST_F(CryptFileTest, ADesKeyTakesTheFirstEightBytesWhile3xDesTakesAll) {
    const std::string path = dir / "notes";
    WriteText(path, "twelve bytes of password");
    UsePassword("abcdefgh1234");
    ASSERT_EQ(pwd.EncryptFile(path, MethodDes), CryptOk);
    std::remove(path.c_str());
    UsePassword("abcdefgh");
    std::string stored;
    EXPECT_EQ(pwd.DecryptFile(path + ".cry", stored), CryptOk);

    UsePassword("abcdefgh1234");
    ASSERT_EQ(pwd.EncryptFile(path, MethodTripleDes), CryptOk);
    std::remove(path.c_str());
    UsePassword("abcdefgh");
    EXPECT_EQ(pwd.DecryptFile(path + ".cry", stored), CryptWrongPassword);
}

TEST_F(CryptFileTest, ShortNamesAreStoredAndGivenBackAfterARename) {
    struct Case {
        const char* name;
        int storedLength;
    };
    for (const Case c : {Case{"report.doc", 10}, Case{"twelve.chars", 12}, Case{"thirteen.char", 0},
                         Case{"twenty-characters.tx", 0}}) {
        SCOPED_TRACE(c.name);
        TempDir folder;
        const auto plain = PatternBytes(100, 3);
        WriteBytes(folder / c.name, plain);
        ASSERT_EQ(pwd.EncryptFile(folder / c.name, MethodIdea), CryptOk);
        const auto crypted = ReadBytes(folder / (std::string(c.name) + ".cry"));
        EXPECT_EQ(crypted[14], c.storedLength);
        // The name field holds the name whatever its length, cut to 20 bytes.
        EXPECT_EQ(std::string(crypted.begin() + 15, crypted.begin() + 15 + std::strlen(c.name)),
                  c.name);

        std::remove((folder / c.name).c_str());
        ASSERT_EQ(RenameNoReplace(folder / (std::string(c.name) + ".cry"), folder / "other.cry"),
                  0);
        std::string stored = "before";
        ASSERT_EQ(pwd.DecryptFile(folder / "other.cry", stored), CryptOk);
        const std::string expected = c.storedLength ? c.name : "other";
        EXPECT_EQ(stored, c.storedLength ? c.name : "");
        EXPECT_TRUE(SameBytes(ReadBytes(folder / expected), plain));
        Names expectedNames{"other.cry", expected};
        std::sort(expectedNames.begin(), expectedNames.end());
        EXPECT_EQ(folder.Names(), expectedNames);
    }
}

// Whatever name a folder lets a file have, encrypting it and decrypting the result gives the
// file back under that name: control bytes, a backslash, and names so long that no temporary
// name would fit beside them.
TEST_F(CryptFileTest, EveryFileThatEncryptsDecryptsUnderItsOwnName) {
    const std::string names[] = {
        "new\nline",   "tab\there",           "bell\x07",
        "back\\slash", std::string(244, 'a'), std::string(NAME_MAX - 4, 'b')};
    for (const std::string& name : names) {
        SCOPED_TRACE(::testing::PrintToString(name.size() > 40 ? name.substr(0, 8) + "..." : name));
        TempDir folder;
        const auto plain = PatternBytes(30000, 5);
        WriteBytes(folder / name, plain);
        ASSERT_EQ(pwd.EncryptFile(folder / name, MethodTripleDes), CryptOk);
        ASSERT_EQ(std::remove((folder / name).c_str()), 0);
        EXPECT_EQ(folder.Names(), Names{name + ".cry"});
        std::string stored;
        ASSERT_EQ(pwd.DecryptFile(folder / (name + ".cry"), stored), CryptOk);
        EXPECT_TRUE(SameBytes(ReadBytes(folder / name), plain));
        EXPECT_EQ(folder.Names(), (Names{name, name + ".cry"}));
    }
    // A name with no room left for ".cry" cannot be encrypted; nothing is written.
    TempDir folder;
    const std::string longest(NAME_MAX - 3, 'c');
    WriteText(folder / longest, "text");
    EXPECT_EQ(pwd.EncryptFile(folder / longest, MethodIdea), CryptCannotCreateOutput);
    EXPECT_EQ(folder.Names(), Names{longest});
}

// A process killed in the middle of a file leaves the folder as it was: the source whole and
// nothing else, neither a partial crypted file nor a partial plain file under any name. Small
// files run on the calling thread alone, large ones with the helper thread beside it.
TEST_F(CryptFileTest, AProcessKilledInTheMiddleLeavesOnlyTheSource) {
    for (const std::size_t size : {std::size_t(100000), std::size_t(600000)}) {
        for (const bool encrypting : {true, false}) {
            SCOPED_TRACE(::testing::Message() << (encrypting ? "encrypt " : "decrypt ") << size);
            TempDir folder;
            const auto plain = PatternBytes(size, 8);
            WriteBytes(folder / "f.bin", plain);
            if (!encrypting) {
                ASSERT_EQ(pwd.EncryptFile(folder / "f.bin", MethodIdea), CryptOk);
                ASSERT_EQ(std::remove((folder / "f.bin").c_str()), 0);
            }
            const std::string source = folder / (encrypting ? "f.bin" : "f.bin.cry");
            const auto before = ReadBytes(source);
            const std::size_t killAt = size / CryptChunkSize / 2;

            const pid_t child = fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                std::size_t chunks = 0;
                pwd.ChunkDone = [&] {
                    if (++chunks == killAt)
                        raise(SIGKILL);
                };
                std::string stored;
                const std::int32_t code = encrypting ? pwd.EncryptFile(source, MethodIdea)
                                                     : pwd.DecryptFile(source, stored);
                _exit(code == CryptOk ? 0 : 1);
            }
            int status = 0;
            ASSERT_EQ(waitpid(child, &status, 0), child);
            ASSERT_TRUE(WIFSIGNALED(status)) << "the file was done before its kill";
            EXPECT_EQ(folder.Names(), Names{FileNamePart(source)});
            EXPECT_TRUE(SameBytes(ReadBytes(source), before));
        }
    }
}

TEST_F(CryptFileTest, AStoredNameNeverLeavesTheFolderNorReplacesAFile) {
    const auto plain = PatternBytes(50, 9);
    for (const std::string& name :
         std::vector<std::string>{"../x", "..", ".", "a/b", "/etc/x", "a\\b", "tab\there",
                                  std::string("nul\0x", 5), "del\x7F", "taken.txt"}) {
        SCOPED_TRACE(name);
        TempDir outer;
        const std::string folder = outer / "inner";
        ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
        WriteText(folder + "/taken.txt", "the user's own file");
        ReferenceFile file{"QV9C", "secret", plain, name};
        file.nameLength = static_cast<int>(name.size());
        WriteBytes(folder + "/crafted.cry", ReferenceCrypt(file));

        std::string stored = "before";
        ASSERT_EQ(pwd.DecryptFile(folder + "/crafted.cry", stored), CryptOk);
        EXPECT_EQ(stored, "");
        EXPECT_TRUE(SameBytes(ReadBytes(folder + "/crafted"), plain));
        EXPECT_EQ(ReadText(folder + "/taken.txt"), "the user's own file");
        EXPECT_EQ(outer.Names(), Names{"inner"});
        EXPECT_FALSE(PathExists(folder + "/b"));
        EXPECT_FALSE(PathExists("/etc/x"));
    }
}

TEST_F(CryptFileTest, MissingInputsAndUnknownMethodsCreateNothing) {
    std::string stored = "before";
    EXPECT_EQ(pwd.EncryptFile(dir / "missing", MethodDes), CryptCannotOpenInput);
    EXPECT_EQ(pwd.DecryptFile(dir / "missing.cry", stored), CryptCannotOpenInput);
    ASSERT_EQ(mkdir((dir / "folder").c_str(), 0700), 0);
    EXPECT_EQ(pwd.EncryptFile(dir / "folder", MethodDes), CryptCannotOpenInput);
    WriteText(dir / "plain", "text");
    for (const std::int32_t method : {0, 2, 5, -1})
        EXPECT_EQ(pwd.EncryptFile(dir / "plain", method), CryptBadMethod) << method;
    EXPECT_EQ(stored, "before");
    EXPECT_EQ(dir.Names(), (Names{"folder", "plain"}));
}

TEST_F(CryptFileTest, AnOutputThatCannotBeCreatedLeavesTheInput) {
    WriteText(dir / "plain", "text");
    ASSERT_EQ(mkdir((dir / "plain.cry").c_str(), 0700), 0);
    EXPECT_EQ(pwd.EncryptFile(dir / "plain", MethodDes), CryptCannotCreateOutput);
    EXPECT_EQ(ReadText(dir / "plain"), "text");

    WriteText(dir / "other", "text");
    ASSERT_EQ(pwd.EncryptFile(dir / "other", MethodDes), CryptOk);
    std::remove((dir / "other").c_str());
    ASSERT_EQ(mkdir((dir / "other").c_str(), 0700), 0);
    std::string stored = "before";
    EXPECT_EQ(pwd.DecryptFile(dir / "other.cry", stored), CryptCannotCreateOutput);
    // A name with nothing before ".cry" gives no output name.
    ASSERT_EQ(RenameNoReplace(dir / "other.cry", dir / ".cry"), 0);
    EXPECT_EQ(pwd.DecryptFile(dir / ".cry", stored), CryptCannotCreateOutput);
    EXPECT_EQ(stored, "before");
    EXPECT_EQ(dir.Names(), (Names{".cry", "other", "plain", "plain.cry"}));

    if (!qvtest::RunningAsRoot()) {
        TempDir locked;
        WriteText(locked / "plain", "text");
        ASSERT_EQ(chmod(locked.Path().c_str(), 0500), 0);
        EXPECT_EQ(pwd.EncryptFile(locked / "plain", MethodDes), CryptCannotCreateOutput);
        chmod(locked.Path().c_str(), 0700);
        EXPECT_EQ(locked.Names(), Names{"plain"});
    }
}

TEST_F(CryptFileTest, DamagedHeadersAreRefusedAndLeaveNothingBehind) {
    const auto plain = PatternBytes(100, 5);
    const auto good = ReferenceCrypt({"QV9B", "secret", plain, "data"});
    auto withMagic = [&](const char* magic) {
        auto bytes = good;
        std::copy_n(magic, 4, bytes.begin());
        return bytes;
    };
    auto withPlainSize = [&](std::int64_t size) {
        ReferenceFile file{"QV9B", "secret", plain, "data"};
        file.plainSizeField = size;
        return ReferenceCrypt(file);
    };
    auto cut = [&](std::size_t length) {
        return std::vector<std::uint8_t>(good.begin(), good.begin() + length);
    };
    auto oldCut = [&](std::size_t length) {
        const auto old = ReferenceCrypt({"QV9A", "secret", plain, ""});
        return std::vector<std::uint8_t>(old.begin(), old.begin() + length);
    };
    struct Case {
        const char* what;
        std::vector<std::uint8_t> bytes;
        std::int32_t code;
    };
    const Case cases[] = {
        {"empty file", {}, CryptReadFailed},
        {"cut inside the magic", cut(3), CryptReadFailed},
        {"cut before the name field", cut(14), CryptReadFailed},
        {"cut inside the name field", cut(34), CryptReadFailed},
        {"old format cut inside its header", oldCut(13), CryptReadFailed},
        {"unknown fourth byte", withMagic("QV9Z"), CryptNotCrypted},
        {"not a crypted file at all", std::vector<std::uint8_t>(64, 'x'), CryptNotCrypted},
        {"negative plain size", withPlainSize(-1), CryptWrongPassword},
        {"plain size beyond the data", withPlainSize(105), CryptWrongPassword},
        {"data cut to a part-block", cut(good.size() - 20), CryptWrongPassword},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir folder;
        WriteBytes(folder / "data.cry", c.bytes);
        WriteText(folder / "data", "the user's own file");
        int chunks = 0;
        pwd.ChunkDone = [&chunks] { ++chunks; };
        std::string stored = "before";
        EXPECT_EQ(pwd.DecryptFile(folder / "data.cry", stored), c.code);
        EXPECT_EQ(chunks, 0) << "refused before any data were deciphered";
        EXPECT_EQ(stored, "before");
        EXPECT_EQ(folder.Names(), (Names{"data", "data.cry"}));
        EXPECT_EQ(ReadText(folder / "data"), "the user's own file");
        EXPECT_TRUE(SameBytes(ReadBytes(folder / "data.cry"), c.bytes));
    }
}

TEST_F(CryptFileTest, WrongPasswordIsRefusedBeforeAnythingIsWritten) {
    const std::string path = dir / "data";
    WriteBytes(path, PatternBytes(30000, 1));
    ASSERT_EQ(pwd.EncryptFile(path, MethodTripleDes), CryptOk);
    WriteText(path, "the user's own file");
    const auto crypted = ReadBytes(path + ".cry");

    UsePassword("Secret");
    int chunks = 0;
    pwd.ChunkDone = [&chunks] { ++chunks; };
    std::string stored = "before";
    EXPECT_EQ(pwd.DecryptFile(path + ".cry", stored), CryptWrongPassword);
    EXPECT_EQ(chunks, 0);
    EXPECT_EQ(stored, "before");
    EXPECT_EQ(ReadText(path), "the user's own file");
    EXPECT_TRUE(SameBytes(ReadBytes(path + ".cry"), crypted));
    EXPECT_EQ(dir.Names(), (Names{"data", "data.cry"}));
}

TEST_F(CryptFileTest, DataDamageOrAWrongPasswordPastTheKeyCheckIsCaughtAndWiped) {
    const std::string path = dir / "data";
    const auto plain = PatternBytes(30000, 2);
    WriteBytes(path, plain);
    ASSERT_EQ(pwd.EncryptFile(path, MethodDes), CryptOk);
    const auto good = ReadBytes(path + ".cry");

    // A wrong password whose key has the same 16-bit key check as the right one.
    const std::uint16_t check = static_cast<std::uint16_t>(good[12] | good[13] << 8);
    std::string collision;
    for (std::uint32_t i = 0; collision.empty(); ++i) {
        const std::string candidate = "pw" + std::to_string(i);
        const auto key = qvtest::ReferenceKey('B', candidate);
        if ((UpdateCrc(0, key.data(), key.size()) & 0xFFFF) == check && candidate != "secret")
            collision = candidate;
    }
    auto flipped = good;
    flipped[35 + 15000] ^= 0x01;

    struct Case {
        const char* what;
        std::vector<std::uint8_t> bytes;
        std::string password;
    };
    for (const Case& c : {Case{"a flipped data byte", flipped, "secret"},
                          Case{"a wrong password past the key check", good, collision}}) {
        SCOPED_TRACE(c.what);
        WriteBytes(path + ".cry", c.bytes);
        UsePassword(c.password);
        ExpectFailedDecryption(path, CryptWrongPassword);
        EXPECT_EQ(progress.Done(), progress.Total()) << "the whole file was deciphered";
    }
}

TEST_F(CryptFileTest, StopRequestedDuringAChunkEndsWithinOneBlock) {
    const std::string path = dir / "data";
    WriteBytes(path, PatternBytes(30000, 3));
    ASSERT_EQ(pwd.EncryptFile(path, MethodIdea), CryptOk);
    const auto crypted = ReadBytes(path + ".cry");

    // Encrypting: an existing crypted file of the name stays as it was.
    pwd.ChunkDone = [this] { stop = true; };
    EXPECT_EQ(pwd.EncryptFile(path, MethodIdea), CryptStopped);
    EXPECT_EQ(progress.Done(), 1281);
    EXPECT_TRUE(SameBytes(ReadBytes(path + ".cry"), crypted));
    EXPECT_EQ(dir.Names(), (Names{"data", "data.cry"}));

    // Decrypting: the plain bytes written so far are wiped, the existing file stays.
    stop = false;
    ExpectFailedDecryption(path, CryptStopped, [this] { stop = true; });
    EXPECT_EQ(progress.Done(), 1281);
}

TEST_F(CryptFileTest, StopRequestedInALargeFileEndsTheHelperAndLeavesNothingBehind) {
    // Large enough for the read-ahead and the checksum on their own thread, which is then
    // several chunks ahead of (or behind) the stop.
    const std::string path = dir / "data";
    const auto plain = PatternBytes(1024 * 1024 + 3, 8);
    WriteBytes(path, plain);
    pwd.ChunkDone = nullptr;
    ASSERT_EQ(pwd.EncryptFile(path, MethodTripleDes), CryptOk);
    const auto crypted = ReadBytes(path + ".cry");

    int chunks = 0;
    auto stopAfterThree = [&] {
        if (++chunks == 3)
            stop = true;
    };
    pwd.ChunkDone = stopAfterThree;
    EXPECT_EQ(pwd.EncryptFile(path, MethodTripleDes), CryptStopped);
    EXPECT_EQ(progress.Done(), 3 * 1280 + 1);
    EXPECT_TRUE(SameBytes(ReadBytes(path + ".cry"), crypted));
    EXPECT_TRUE(SameBytes(ReadBytes(path), plain));
    EXPECT_EQ(dir.Names(), (Names{"data", "data.cry"}));

    stop = false;
    chunks = 0;
    ExpectFailedDecryption(path, CryptStopped, stopAfterThree);
    EXPECT_EQ(progress.Done(), 3 * 1280 + 1);
    EXPECT_TRUE(SameBytes(ReadBytes(path + ".cry"), crypted));
}

TEST_F(CryptFileTest, AFailedWriteAsOnAFullDiskKeepsEveryFile) {
    // The large file is written behind the cipher by the helper thread.
    for (const std::size_t size : {200000, 1500000}) {
        SCOPED_TRACE("plain size " + std::to_string(size));
        pwd.ChunkDone = nullptr;
        const std::string path = dir / "data";
        const auto plain = PatternBytes(size, 4);
        WriteBytes(path, plain);
        ASSERT_EQ(pwd.EncryptFile(path, MethodTripleDes), CryptOk);
        const auto crypted = ReadBytes(path + ".cry");
        {
            FileSizeLimit limit(size / 2);
            EXPECT_EQ(pwd.EncryptFile(path, MethodTripleDes), CryptWriteFailed);
        }
        EXPECT_TRUE(SameBytes(ReadBytes(path + ".cry"), crypted));
        EXPECT_TRUE(SameBytes(ReadBytes(path), plain));
        EXPECT_EQ(dir.Names(), (Names{"data", "data.cry"}));

        FileSizeLimit limit(size / 2);
        ExpectFailedDecryption(path, CryptWriteFailed);
        std::remove(path.c_str());
        std::remove((path + ".cry").c_str());
    }
}

TEST_F(CryptFileTest, AnInputThatChangesWhileItIsReadIsAReadFailure) {
    const std::string path = dir / "data";
    struct Case {
        const char* what;
        std::size_t size;
        int atChunk; // the callback after this chunk changes the file
        off_t newSize;
    };
    // A large file is read ahead on a helper thread, which may have read all of it before the
    // change.
    const Case cases[] = {{"plain file shrinks", 30000, 1, 15000},
                          {"plain file grows", 30000, 1, 40000},
                          {"large file shrinks while read ahead", 400000, 2, 100000},
                          {"large file shrinks after its end was read ahead", 400000, 39, 100000},
                          {"large file grows at its last chunk", 400000, 40, 500000}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteBytes(path, PatternBytes(c.size, 5));
        int chunks = 0;
        pwd.ChunkDone = [&] {
            if (++chunks == c.atChunk) {
                ASSERT_EQ(truncate(path.c_str(), c.newSize), 0);
            }
        };
        EXPECT_EQ(pwd.EncryptFile(path, MethodDes), CryptReadFailed);
        EXPECT_EQ(dir.Names(), Names{"data"});
    }

    WriteBytes(path, PatternBytes(30000, 5));
    pwd.ChunkDone = nullptr;
    ASSERT_EQ(pwd.EncryptFile(path, MethodDes), CryptOk);
    ExpectFailedDecryption(path, CryptReadFailed,
                           [&] { ASSERT_EQ(truncate((path + ".cry").c_str(), 15000), 0); });
}

TEST_F(CryptFileTest, APlainFileTooLargeForTheFormatIsRefusedBeforeWriting) {
    const std::string path = dir / "huge";
    const int fd = open(path.c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, MaxPlainSize + 1), 0); // sparse: takes no disk space
    close(fd);
    int chunks = 0;
    pwd.ChunkDone = [&chunks] { ++chunks; };
    EXPECT_EQ(pwd.EncryptFile(path, MethodDes), CryptTooLarge);
    EXPECT_EQ(chunks, 0);
    EXPECT_EQ(dir.Names(), Names{"huge"});
    // The largest plain file that fits gives a crypted file within the signed 32-bit sizes.
    EXPECT_LE(35 + MaxPlainSize + 8 - MaxPlainSize % 8, 2147483647);
    EXPECT_GT(35 + (MaxPlainSize + 1) + 8 - (MaxPlainSize + 1) % 8, 2147483647);
}

// Small files enciphered side by side (one block of each file per step, through the wide
// kernels once enough files go together) give the very bytes of one file at a time; files too
// large for that go alone in the same call.
TEST_F(CryptFileTest, FilesEncipheredSideBySideAreTheBytesOfOneAtATime) {
    std::vector<std::size_t> sizes = {0, 1, 7, 8, 9, 100, 10239, 10240, 10241, 65536, 1000000};
    sizes.push_back(static_cast<std::size_t>(TQV_Pwd::SideBySideMaxBytes));
    sizes.push_back(static_cast<std::size_t>(TQV_Pwd::SideBySideMaxBytes) + 1);
    // Files of many lengths, which end one after another, so that the steps run through every
    // count of blocks, from more than a pass of the narrowest vector kernel (filled up to a pass
    // of the widest) down to one.
    for (int i = 0; i < 140; ++i)
        sizes.push_back(static_cast<std::size_t>(i * 37 % 1500));
    // The outputs need not reach the disk: the test only reads them back.
    FlushGroup unflushed;
    pwd.FlushLater = &unflushed;
    for (const std::int32_t method : {MethodDes, MethodTripleDes, MethodIdea}) {
        SCOPED_TRACE(MethodName(method));
        // Each file alone, on the widest path.
        TempDir alone;
        std::vector<std::vector<std::uint8_t>> expected;
        for (std::size_t i = 0; i < sizes.size(); ++i) {
            const std::string name = "f" + std::to_string(i);
            WriteBytes(alone / name, PatternBytes(sizes[i], static_cast<int>(i) + 1));
            ASSERT_EQ(pwd.EncryptFile(alone / name, method), CryptOk);
            unflushed.Clear();
            expected.push_back(ReadBytes(alone / (name + ".cry")));
        }
        for (const CipherPath path : AllCipherPaths) {
            if (!CipherPathSupported(path))
                continue;
            SCOPED_TRACE(CipherPathName(path));
            const ScopedCipherPath forced(path);
            TempDir together;
            std::vector<TQV_Pwd::SideBySideFile> files;
            for (std::size_t i = 0; i < sizes.size(); ++i) {
                const std::string name = "f" + std::to_string(i);
                WriteBytes(together / name, PatternBytes(sizes[i], static_cast<int>(i) + 1));
                files.push_back({together / name, true, -999});
            }
            pwd.EncryptFiles(files, method);
            unflushed.Clear();
            for (std::size_t i = 0; i < sizes.size(); ++i) {
                SCOPED_TRACE("size " + std::to_string(sizes[i]));
                ASSERT_EQ(files[i].code, CryptOk);
                const std::string name = "f" + std::to_string(i);
                EXPECT_TRUE(SameBytes(ReadBytes(together / (name + ".cry")), expected[i]));
                EXPECT_TRUE(SameBytes(ReadBytes(together / name), ReadBytes(alone / name)))
                    << "the plain file is left as it was";
            }
        }
    }
    pwd.FlushLater = nullptr;
}

// Each file of a side-by-side call fails or succeeds on its own, as it would alone; a stop or a
// full disk writes nothing.
TEST_F(CryptFileTest, SideBySideFilesFailOneByOneAndAStopOrAFullDiskWritesNothing) {
    const auto plain = PatternBytes(5000, 9);
    for (const char* name : {"ok1", "blocked", "kept", "replaced", "ok2"})
        WriteBytes(dir / name, plain);
    ASSERT_EQ(mkdir((dir / "blocked.cry").c_str(), 0700), 0);
    WriteText(dir / "kept.cry", "appeared after the check");
    WriteText(dir / "replaced.cry", "an old crypted file");
    std::vector<TQV_Pwd::SideBySideFile> files = {
        {dir / "ok1", false, 0},  {dir / "missing", false, 0}, {dir / "blocked", false, 0},
        {dir / "kept", false, 0}, {dir / "replaced", true, 0}, {dir / "ok2", false, 0}};
    pwd.EncryptFiles(files, MethodTripleDes);
    EXPECT_EQ(files[0].code, CryptOk);
    EXPECT_EQ(files[1].code, CryptCannotOpenInput);
    EXPECT_EQ(files[2].code, CryptCannotCreateOutput);
    EXPECT_EQ(files[3].code, CryptCannotCreateOutput);
    EXPECT_EQ(ReadText(dir / "kept.cry"), "appeared after the check");
    EXPECT_EQ(files[4].code, CryptOk);
    EXPECT_EQ(files[5].code, CryptOk);
    // The same data after the headers, which differ in the stored name.
    auto data = [](const std::string& path) {
        const auto bytes = ReadBytes(path);
        return std::vector<std::uint8_t>(bytes.begin() + LongHeaderBytes, bytes.end());
    };
    EXPECT_TRUE(SameBytes(data(dir / "replaced.cry"), data(dir / "ok1.cry")));
    EXPECT_TRUE(SameBytes(data(dir / "ok2.cry"), data(dir / "ok1.cry")));
    EXPECT_TRUE(pwd.MayReplace) << "left as it was";

    TempDir other;
    for (const char* name : {"a", "b", "c"})
        WriteBytes(other / name, plain);
    std::vector<TQV_Pwd::SideBySideFile> three = {
        {other / "a", true, 0}, {other / "b", true, 0}, {other / "c", true, 0}};
    pwd.ChunkDone = [this] { stop = true; };
    pwd.EncryptFiles(three, MethodIdea);
    for (const auto& file : three)
        EXPECT_EQ(file.code, CryptStopped) << file.path;
    EXPECT_EQ(other.Names(), (Names{"a", "b", "c"}));
    stop = false;
    pwd.ChunkDone = nullptr;
    {
        FileSizeLimit limit(3000);
        pwd.EncryptFiles(three, MethodIdea);
    }
    for (const auto& file : three)
        EXPECT_EQ(file.code, CryptWriteFailed) << file.path;
    EXPECT_EQ(other.Names(), (Names{"a", "b", "c"}));
    for (const char* name : {"a", "b", "c"})
        EXPECT_TRUE(SameBytes(ReadBytes(other / name), plain));
}

TEST(CryptFormat, MethodNamesFromCodesAndFromFiles) {
    EXPECT_EQ(MethodName(0), "DES");
    EXPECT_EQ(MethodName(1), "IDEA");
    EXPECT_EQ(MethodName(2), "DES");
    EXPECT_EQ(MethodName(3), "DES");
    EXPECT_EQ(MethodName(4), "3xDES");
    EXPECT_EQ(MethodName(5), "-");
    EXPECT_EQ(MethodName(-1), "-");

    TempDir dir;
    const std::pair<const char*, const char*> files[] = {
        {"QV97", "DES"},   {"QV98", "IDEA"}, {"QV9A", "DES"}, {"QV9B", "DES"},
        {"xyzC", "3xDES"}, {"QV9D", "-"},    {"QV9", "-"},    {"", "-"}};
    for (const auto& [content, name] : files) {
        WriteText(dir / "f.cry", content);
        EXPECT_EQ(FileMethodName(dir / "f.cry"), name) << content;
    }
    EXPECT_EQ(FileMethodName(dir / "missing.cry"), "-");
    EXPECT_EQ(FileMethodName(dir.Path()), "-");
}

TEST(CryptFormat, InspectReadsAHeaderWithoutAPassword) {
    TempDir dir;
    const auto plain = PatternBytes(1000, 6);
    WriteBytes(dir / "a.cry", ReferenceCrypt({"QV98", "whatever", plain, "notes.txt"}));
    CryptHeader header;
    ASSERT_EQ(InspectCryptFile(dir / "a.cry", header), CryptOk);
    EXPECT_EQ(header.Method, MethodIdea);
    EXPECT_EQ(header.PlainSize, 1000);
    EXPECT_EQ(header.HeaderBytes, 35u);
    EXPECT_EQ(header.StoredName(), "notes.txt");
    EXPECT_EQ(header.DataChecksum, UpdateCrc(0, plain.data(), plain.size()));

    WriteBytes(dir / "b.cry", ReferenceCrypt({"QV97", "whatever", plain, ""}));
    ASSERT_EQ(InspectCryptFile(dir / "b.cry", header), CryptOk);
    EXPECT_EQ(header.Method, MethodOldDes);
    EXPECT_EQ(header.HeaderBytes, 14u);
    EXPECT_EQ(header.StoredName(), "");
    EXPECT_EQ(InspectCryptFile(dir / "missing.cry", header), CryptCannotOpenInput);
}

TEST(CryptFormat, PlainFileNames) {
    for (const char* name : {"a", "report.doc", ".hidden", "-dash", "with space", "\xE5\xA0\xB1"})
        EXPECT_TRUE(IsPlainFileName(name)) << name;
    for (const std::string& name : std::vector<std::string>{
             "", ".", "..", "../x", "a/b", "a\\b", "\x01", "x\x7F", std::string("a\0b", 3)})
        EXPECT_FALSE(IsPlainFileName(name)) << name;
}
