#include "FileSystem.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace qv;
using qvtest::ReadText;
using qvtest::TempDir;
using qvtest::WriteText;

TEST(FileSystem, RenameNeverReplaces) {
    TempDir dir;
    WriteText(dir / "a", "A");
    WriteText(dir / "b", "B");
    EXPECT_EQ(RenameNoReplace(dir / "a", dir / "b"), EEXIST);
    EXPECT_EQ(ReadText(dir / "a"), "A");
    EXPECT_EQ(ReadText(dir / "b"), "B");
    EXPECT_EQ(RenameNoReplace(dir / "a", dir / "c"), 0);
    EXPECT_EQ(ReadText(dir / "c"), "A");
    EXPECT_FALSE(PathExists(dir / "a"));
    EXPECT_EQ(RenameNoReplace(dir / "missing", dir / "d"), ENOENT);
}

TEST(FileSystem, ArchiveOnlyTurnsOwnerWriteOn) {
    TempDir dir;
    WriteText(dir / "f", "x");
    ASSERT_TRUE(SetPermissions(dir / "f", 0444));
    ASSERT_TRUE(SetArchiveOnly(dir / "f"));
    unsigned mode = 0;
    ASSERT_TRUE(GetPermissions(dir / "f", mode));
    EXPECT_EQ(mode, 0644u);
    EXPECT_FALSE(SetArchiveOnly(dir / "missing"));
}

TEST(FileSystem, AtomicFileReplacesOnlyOnCommit) {
    TempDir dir;
    const std::string target = dir / "settings";
    WriteText(target, "old");
    {
        AtomicFile file(target);
        ASSERT_EQ(file.Open(0640), 0);
        ASSERT_TRUE(file.Write("new", 3));
        EXPECT_EQ(ReadText(target), "old");
        // Dropped without a commit: the old file stays and no temporary file is left.
    }
    EXPECT_EQ(ReadText(target), "old");
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"settings"});

    AtomicFile file(target);
    ASSERT_EQ(file.Open(0640), 0);
    ASSERT_TRUE(file.Write("new", 3));
    ASSERT_EQ(file.Commit(), 0);
    EXPECT_EQ(ReadText(target), "new");
    unsigned mode = 0;
    ASSERT_TRUE(GetPermissions(target, mode));
    EXPECT_EQ(mode, 0640u);
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"settings"});
}

TEST(FileSystem, AtomicFileWithoutReplaceKeepsExistingTarget) {
    TempDir dir;
    WriteText(dir / "taken", "mine");
    AtomicFile file(dir / "taken");
    ASSERT_EQ(file.Open(), 0);
    ASSERT_TRUE(file.Write("theirs", 6));
    EXPECT_EQ(file.Commit(false), EEXIST);
    file.Discard();
    EXPECT_EQ(ReadText(dir / "taken"), "mine");
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"taken"});
}

// Whether the file system under the test folder has unnamed files at all; where it has none the
// AtomicFile falls back to a hidden name, which only a clean exit takes away.
bool HasUnnamedFiles(const std::string& folder) {
    const int fd = open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    close(fd);
    return true;
}

TEST(FileSystem, AtomicFileLeavesNothingWhenItsProcessDies) {
    TempDir dir;
    if (!HasUnnamedFiles(dir.Path()))
        GTEST_SKIP() << "no unnamed files on this file system";
    WriteText(dir / "kept", "old");
    for (const bool replacing : {false, true}) {
        const std::string target = dir / (replacing ? "kept" : "new");
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            AtomicFile file(target);
            if (file.Open(0600) != 0 || !file.Unnamed() || !file.Write("partial", 7))
                _exit(1);
            raise(SIGKILL);
            _exit(2);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the child failed before its kill: " << status;
        EXPECT_EQ(dir.Names(), std::vector<std::string>{"kept"}) << "replacing " << replacing;
        EXPECT_EQ(ReadText(dir / "kept"), "old");
    }
}

TEST(FileSystem, AtomicFileTakesEveryNameTheFolderAllows) {
    TempDir dir;
    // The longest name a folder allows has no room for a temporary name beside it.
    const std::string longest(NAME_MAX, 'n');
    const std::string controls = "new\nline\tand\x01";
    for (const std::string& name : {longest, controls}) {
        for (const bool replace : {false, true}) {
            AtomicFile file(dir / name);
            ASSERT_EQ(file.Open(0600), 0) << name.size();
            ASSERT_TRUE(file.Write(replace ? "second" : "first", replace ? 6 : 5));
            ASSERT_EQ(file.Commit(replace), 0) << name.size();
        }
        EXPECT_EQ(ReadText(dir / name), "second");
        EXPECT_EQ(dir.Names(), std::vector<std::string>{name});
        ASSERT_EQ(unlink((dir / name).c_str()), 0);
    }
    AtomicFile tooLong(dir / (longest + "x"));
    EXPECT_EQ(tooLong.Open(0600), ENAMETOOLONG);
    EXPECT_TRUE(dir.Names().empty());
}

TEST(FileSystem, ShellCurrentDirectoryKeepsTheLinksOfPwd) {
    TempDir dir;
    ASSERT_EQ(mkdir((dir / "real").c_str(), 0700), 0);
    ASSERT_EQ(symlink("real", (dir / "link").c_str()), 0);
    const char* oldPwd = std::getenv("PWD");
    const std::string savedPwd = oldPwd ? oldPwd : "";
    char saved[4096];
    ASSERT_NE(getcwd(saved, sizeof saved), nullptr);
    ASSERT_EQ(chdir((dir / "link").c_str()), 0);
    char physical[4096];
    ASSERT_NE(getcwd(physical, sizeof physical), nullptr);

    struct Case {
        std::string pwd; // "": unset
        std::string expected;
    };
    const Case cases[] = {
        {dir / "link", dir / "link"},
        {dir / "link/.//", dir / "link"},
        {dir / "real", dir / "real"},
        {dir.Path(), physical}, // names another directory: not used
        {"link", physical},     // not absolute
        {"", physical},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pwd);
        if (c.pwd.empty())
            unsetenv("PWD");
        else
            setenv("PWD", c.pwd.c_str(), 1);
        EXPECT_EQ(ShellCurrentDirectory(), c.expected);
        EXPECT_EQ(CurrentDirectory(), physical);
    }
    setenv("PWD", (dir / "link").c_str(), 1);
    EXPECT_EQ(AbsolutePath("sub/../a.txt"), dir / "link/a.txt");
    EXPECT_EQ(AbsolutePath("./a.txt"), dir / "link/a.txt");
    EXPECT_EQ(AbsolutePath("../b.txt"), dir / "b.txt");
    EXPECT_EQ(AbsolutePath("/x/./y/../z"), "/x/z");

    ASSERT_EQ(chdir(saved), 0);
    if (oldPwd)
        setenv("PWD", savedPwd.c_str(), 1);
    else
        unsetenv("PWD");
}
