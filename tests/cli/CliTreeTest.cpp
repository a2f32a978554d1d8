// quorvane-cli over folders and many files: --recursive, --jobs and the test command, run as a
// script runs them.
#include "CliSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <sys/stat.h>

namespace {

using namespace clitest;
using qvtest::PatternBytes;
using qvtest::ReadBytes;
using qvtest::RunningAsRoot;
using qvtest::WriteBytes;

bool PathExists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

bool IsSymbolicLink(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

namespace fs = std::filesystem;

constexpr uid_t Nobody = 65534;

Result RunTree(std::vector<std::string> args, const std::string& password = "tree-pass-1",
               uid_t user = 0) {
    Invocation run;
    run.args = std::move(args);
    run.args.insert(run.args.begin() + 1, {"--password-env", "QV_TEST_PASSWORD"});
    run.env = {{"QV_TEST_PASSWORD", password}};
    run.user = user;
    return RunCli(run);
}

// The lines of a text that contain needle.
std::vector<std::string> LinesWith(const std::string& text, const std::string& needle) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (line.find(needle) != std::string::npos)
            lines.push_back(line);
    return lines;
}

void Damage(const std::string& crypted) {
    auto bytes = ReadBytes(crypted);
    bytes[bytes.size() / 2] ^= 0x40;
    WriteBytes(crypted, bytes);
}

// Nested folders, a crypted file among the plain ones, a link to a parent folder, a link to a
// file outside, and a folder the program cannot read: as root that needs another user, since
// root reads every folder.
TEST(CliTree, RecursiveRunsTakeTheRightFilesAndSkipWhatTheyCannotRead) {
    TempDir dir;
    const std::string top = dir / "top";
    const std::map<std::string, std::vector<std::uint8_t>> plain = {
        {"a.txt", PatternBytes(5000, 1)},
        {"sub/b.txt", PatternBytes(70000, 2)},
        {"sub/deeper/c.bin", PatternBytes(0, 3)},
        {"z/e.txt", PatternBytes(12345, 4)},
    };
    for (const auto& [name, bytes] : plain) {
        fs::create_directories(fs::path(top + "/" + name).parent_path());
        WriteBytes(top + "/" + name, bytes);
    }
    // A crypted file already there: encrypt leaves it, decrypt takes it.
    WriteBytes(top + "/old", PatternBytes(900, 5));
    ASSERT_EQ(RunTree({"encrypt", top + "/old"}).status, 0);
    const auto oldCrypted = ReadBytes(top + "/old.cry");
    WriteBytes(dir / "outside.txt", PatternBytes(100, 6));
    fs::create_symlink(dir / "outside.txt", top + "/link.txt");
    fs::create_directory_symlink("..", top + "/sub/up");
    fs::create_directories(top + "/locked");
    WriteBytes(top + "/locked/d.txt", PatternBytes(300, 7));

    const uid_t user = RunningAsRoot() ? Nobody : 0;
    if (user != 0) {
        fs::permissions(dir.Path(), fs::perms::all);
        for (const auto& entry : fs::recursive_directory_iterator(dir.Path()))
            ASSERT_EQ(lchown(entry.path().c_str(), user, user), 0);
    }
    ASSERT_EQ(chmod((top + "/locked").c_str(), 0), 0);

    Result r = RunTree({"encrypt", "-r", "--jobs", "3", top}, "tree-pass-1", user);
    EXPECT_EQ(r.status, 1) << r.err;
    const auto locked = LinesWith(r.err, top + "/locked");
    ASSERT_EQ(locked.size(), 1u) << r.err;
    EXPECT_NE(locked[0].find("cannot be read (Permission denied)"), std::string::npos);
    EXPECT_EQ(LinesWith(r.err, "quorvane-cli:").size(), 1u) << "nothing else failed: " << r.err;
    for (const auto& [name, bytes] : plain) {
        EXPECT_FALSE(PathExists(top + "/" + name)) << name;
        EXPECT_TRUE(PathExists(top + "/" + name + ".cry")) << name;
    }
    EXPECT_EQ(ReadBytes(top + "/old.cry"), oldCrypted);
    EXPECT_FALSE(PathExists(top + "/old.cry.cry"));
    EXPECT_TRUE(IsSymbolicLink(top + "/link.txt"));
    EXPECT_EQ(ReadBytes(dir / "outside.txt"), PatternBytes(100, 6)) << "the link was followed";
    EXPECT_FALSE(PathExists(top + "/sub/up/a.txt.cry.cry")) << "the link to the parent was walked";

    ASSERT_EQ(chmod((top + "/locked").c_str(), 0755), 0);
    r = RunTree({"decrypt", "-r", top}, "tree-pass-1", user);
    EXPECT_EQ(r.status, 0) << r.err;
    for (const auto& [name, bytes] : plain) {
        EXPECT_EQ(ReadBytes(top + "/" + name), bytes) << name;
        EXPECT_FALSE(PathExists(top + "/" + name + ".cry"));
    }
    EXPECT_EQ(ReadBytes(top + "/old"), PatternBytes(900, 5));
    EXPECT_EQ(ReadBytes(top + "/locked/d.txt"), PatternBytes(300, 7));
}

TEST(CliTree, ManyJobsFailExactlyTheFilesThatCannotBeDecrypted) {
    TempDir dir;
    std::vector<std::string> names;
    for (int i = 0; i < 200; ++i) {
        names.push_back("f" + std::to_string(i) + ".dat");
        WriteBytes(dir / names.back(), PatternBytes(1000 + 37 * i, i));
    }
    Result r = RunTree({"encrypt", "-r", "-j", "4", dir.Path()});
    ASSERT_EQ(r.status, 0) << r.err;
    // One crypted file damaged, one encrypted with another password.
    const std::string damaged = dir / "f17.dat.cry";
    const std::string other = dir / "f150.dat.cry";
    Damage(damaged);
    ASSERT_EQ(unlink(other.c_str()), 0);
    WriteBytes(dir / "f150.dat", PatternBytes(1000 + 37 * 150, 150));
    ASSERT_EQ(RunTree({"encrypt", dir / "f150.dat"}, "another-pass").status, 0);
    const auto damagedBytes = ReadBytes(damaged);
    const auto otherBytes = ReadBytes(other);

    r = RunTree({"decrypt", "-j4", "-r", dir.Path()});
    EXPECT_EQ(r.status, 1);
    const auto failures = LinesWith(r.err, "quorvane-cli:");
    ASSERT_EQ(failures.size(), 2u) << r.err;
    EXPECT_EQ(LinesWith(r.err, damaged + ": wrong password, or the file is damaged").size(), 1u);
    EXPECT_EQ(LinesWith(r.err, other + ": wrong password, or the file is damaged").size(), 1u);
    for (int i = 0; i < 200; ++i) {
        const std::string plainPath = dir / names[i];
        if (i == 17 || i == 150) {
            EXPECT_FALSE(PathExists(plainPath));
            continue;
        }
        EXPECT_EQ(ReadBytes(plainPath), PatternBytes(1000 + 37 * i, i)) << names[i];
        EXPECT_FALSE(PathExists(plainPath + ".cry"));
    }
    EXPECT_EQ(ReadBytes(damaged), damagedBytes);
    EXPECT_EQ(ReadBytes(other), otherBytes);
}

TEST(CliTree, TestChecksCryptedFilesAndWritesNothing) {
    TempDir dir;
    for (const char* name : {"good", "damaged", "other"})
        WriteBytes(dir / name, PatternBytes(40000, 9));
    ASSERT_EQ(RunTree({"encrypt", dir / "good", dir / "damaged"}).status, 0);
    ASSERT_EQ(RunTree({"encrypt", dir / "other"}, "another-pass").status, 0);
    Damage(dir / "damaged.cry");
    const auto before = dir.Names();
    struct stat goodBefore {};
    ASSERT_EQ(stat((dir / "good.cry").c_str(), &goodBefore), 0);

    struct Case {
        const char* what;
        std::vector<std::string> files;
        int status;
        std::vector<std::string> failing;
    };
    const Case cases[] = {
        {"a good file", {"good.cry"}, 0, {}},
        {"a damaged one and one of another password",
         {"good.cry", "damaged.cry", "other.cry"},
         1,
         {"damaged.cry", "other.cry"}},
        {"a missing one", {"missing.cry"}, 1, {"missing.cry"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> args = {"test", "-v"};
        for (const std::string& file : c.files)
            args.push_back(dir / file);
        const Result r = RunTree(args);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_EQ(LinesWith(r.err, "quorvane-cli:").size(), c.failing.size()) << r.err;
        for (const std::string& file : c.failing)
            EXPECT_EQ(LinesWith(r.err, dir / file + ": ").size(), 1u) << r.err;
        if (std::find(c.files.begin(), c.files.end(), "good.cry") != c.files.end()) {
            EXPECT_EQ(LinesWith(r.out, "ok " + dir / "good.cry").size(), 1u) << r.out;
        }
    }
    EXPECT_EQ(dir.Names(), before) << "test writes no file";
    struct stat goodAfter {};
    ASSERT_EQ(stat((dir / "good.cry").c_str(), &goodAfter), 0);
    EXPECT_EQ(goodAfter.st_mtim.tv_nsec, goodBefore.st_mtim.tv_nsec);
    EXPECT_EQ(goodAfter.st_mode, goodBefore.st_mode);
}

// Ctrl+C in the middle of a run over many files: the files in hand are left as they were and
// the files already written are finished, so every file is in one whole copy; the command says
// once that it was interrupted and ends with 130.
TEST(CliTree, CtrlCInTheMiddleLeavesEveryFileWholeAndSaysSoOnce) {
    TempDir dir;
    constexpr int Files = 1500;
    for (int i = 0; i < Files; ++i) {
        const std::string folder = dir / ("d" + std::to_string(i / 100));
        if (i % 100 == 0)
            fs::create_directory(folder);
        WriteBytes(folder + "/f" + std::to_string(i), PatternBytes(40000, i));
    }
    auto cryptedFiles = [&] {
        int count = 0;
        for (const auto& entry : fs::recursive_directory_iterator(dir.Path()))
            count += entry.path().extension() == ".cry";
        return count;
    };
    Invocation run;
    run.args = {"encrypt", "--password-env", "QV_TEST_PASSWORD", "-r", "-j", "2", dir.Path()};
    run.env = {{"QV_TEST_PASSWORD", "tree-pass-1"}};
    run.whileRunning = [&](pid_t pid) {
        // Once the first batch is on disk, with most of the run still to come.
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (cryptedFiles() == 0 && std::chrono::steady_clock::now() < giveUp)
            usleep(2000);
        kill(pid, SIGINT);
    };
    const Result result = RunCli(run);
    EXPECT_EQ(result.status, 130);
    EXPECT_EQ(result.err, "quorvane-cli: interrupted; the remaining files were not processed\n");
    const int crypted = cryptedFiles();
    EXPECT_GT(crypted, 0);
    EXPECT_LT(crypted, Files) << "the run ended before Ctrl+C";

    for (int i = 0; i < Files; ++i) {
        const std::string file = dir / ("d" + std::to_string(i / 100)) + "/f" + std::to_string(i);
        EXPECT_NE(PathExists(file), PathExists(file + ".cry")) << file << ": one copy";
    }
    ASSERT_EQ(RunTree({"decrypt", "-r", dir.Path()}).status, 0);
    for (int i = 0; i < Files; ++i) {
        const std::string file = dir / ("d" + std::to_string(i / 100)) + "/f" + std::to_string(i);
        ASSERT_EQ(ReadBytes(file), PatternBytes(40000, i)) << file;
    }
}

// A crypted file whose stored name is the plain name of another crypted file of the same run:
// workers that decrypt both at once must never let one plain file replace the other.
TEST(CliTree, ParallelDecryptionsNeverReplaceEachOthersPlainFiles) {
    TempDir dir;
    constexpr int Pairs = 16;
    std::vector<std::string> crypted;
    auto first = [](int i) { return PatternBytes(150000, 100 + i); };
    auto second = [](int i) { return PatternBytes(150000, 200 + i); };
    for (int i = 0; i < Pairs; ++i) {
        const std::string n = dir / ("n" + std::to_string(i));
        const std::string m = dir / ("m" + std::to_string(i));
        WriteBytes(n, first(i));
        ASSERT_EQ(RunTree({"encrypt", n}).status, 0);
        ASSERT_EQ(rename((n + ".cry").c_str(), (m + ".cry").c_str()), 0); // stores the name n
        WriteBytes(n, second(i));
        ASSERT_EQ(RunTree({"encrypt", n}).status, 0);
        crypted.push_back(m + ".cry");
        crypted.push_back(n + ".cry");
    }
    std::vector<std::string> args = {"decrypt", "-j", "4"};
    args.insert(args.end(), crypted.begin(), crypted.end());
    RunTree(args);

    for (int i = 0; i < Pairs; ++i) {
        SCOPED_TRACE("pair " + std::to_string(i));
        const std::string n = dir / ("n" + std::to_string(i));
        const std::string m = dir / ("m" + std::to_string(i));
        // Each content is in a plain file, or its crypted file is still there.
        std::vector<std::vector<std::uint8_t>> plain;
        for (const std::string& path : {n, m})
            if (PathExists(path))
                plain.push_back(ReadBytes(path));
        auto found = [&](const std::vector<std::uint8_t>& bytes) {
            return std::find(plain.begin(), plain.end(), bytes) != plain.end();
        };
        EXPECT_TRUE(PathExists(m + ".cry") || found(first(i))) << "the first file is lost";
        EXPECT_TRUE(PathExists(n + ".cry") || found(second(i))) << "the second file is lost";
    }
}

} // namespace
