#include "FileSystem.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
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

TEST(FileSystem, AtomicFileCloseGivesTheFileUp) {
    TempDir dir;
    std::string kept;
    {
        AtomicFile file(dir / "target");
        ASSERT_EQ(file.Open(), 0);
        ASSERT_TRUE(file.Write("partial", 7));
        file.Close();
        kept = file.TempPath();
        EXPECT_FALSE(file.Committed());
    }
    // The caller disposes of it: the object neither removed it nor moved it into place.
    EXPECT_EQ(ReadText(kept), "partial");
    EXPECT_FALSE(PathExists(dir / "target"));
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
