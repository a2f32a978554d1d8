#include "FileSystem.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <sys/stat.h>

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
