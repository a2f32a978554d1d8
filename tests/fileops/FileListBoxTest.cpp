#include "FileListBox.h"
#include "DirCryptor.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace qv;
using qvtest::TempDir;

TEST(FileListBox, ListsTheFilesOrTheFoldersOfADirectoryByName) {
    TempDir dir;
    for (const char* name : {"b.txt", "A.cry", ".hidden", "c.cry.bak", "a.txt"})
        qvtest::WriteText(dir / name, "x");
    mkdir((dir / "sub").c_str(), 0755);
    mkdir((dir / ".cache").c_str(), 0755);
    ASSERT_EQ(symlink("b.txt", (dir / "link-to-file").c_str()), 0);
    ASSERT_EQ(symlink("sub", (dir / "link-to-folder").c_str()), 0);
    ASSERT_EQ(symlink("gone", (dir / "dangling").c_str()), 0);
    ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0600), 0);

    TQV_FileListBox files(TQV_FileListBox::Kind::Files);
    ASSERT_TRUE(files.Read(dir.Path()));
    EXPECT_EQ(files.Items(), (std::vector<std::string>{".hidden", "A.cry", "a.txt", "b.txt",
                                                       "c.cry.bak", "link-to-file"}));
    EXPECT_EQ(files.Directory(), dir.Path());

    TQV_FileListBox folders(TQV_FileListBox::Kind::Directories);
    ASSERT_TRUE(folders.Read(dir.Path()));
    // A link to a folder is not one of the folders below this one.
    EXPECT_EQ(folders.Items(), (std::vector<std::string>{".cache", "sub"}));

    // One pass for both boxes lists the same; a listing handed out stays as it was.
    const auto before = files.SharedItems();
    TQV_FileListBox bothFiles(TQV_FileListBox::Kind::Files);
    TQV_FileListBox bothFolders(TQV_FileListBox::Kind::Directories);
    qvtest::WriteText(dir / "new.txt", "x");
    ASSERT_TRUE(TQV_FileListBox::ReadBoth(dir.Path(), bothFolders, bothFiles));
    ASSERT_TRUE(files.Read(dir.Path()));
    EXPECT_EQ(bothFiles.Items(), files.Items());
    EXPECT_EQ(bothFolders.Items(), folders.Items());
    EXPECT_EQ(before->size() + 1, files.Items().size());
}

TEST(FileListBox, ADirectoryThatCannotBeReadLeavesItEmpty) {
    TempDir dir;
    qvtest::WriteText(dir / "a.txt", "x");
    TQV_FileListBox files(TQV_FileListBox::Kind::Files);
    ASSERT_TRUE(files.Read(dir.Path()));
    std::string error;
    EXPECT_FALSE(files.Read(dir / "vanished", &error));
    EXPECT_TRUE(files.Items().empty());
    EXPECT_FALSE(error.empty());
}

TEST(DirCryptor, CollectsTheSelectionInListOrderWithTheDirectoryShown) {
    TQV_DirCryptor work;
    work.FileNames = {"old"};
    work.CollectSelection({"z.txt", "a.txt", "m b.txt"}, "/home/ann/Docs");
    EXPECT_EQ(work.FileNames, (std::vector<std::string>{"z.txt", "a.txt", "m b.txt"}));
    EXPECT_EQ(work.Directory, "/home/ann/Docs");

    work.CollectSelection({}, "/");
    EXPECT_TRUE(work.FileNames.empty());
    EXPECT_EQ(work.Directory, "/");
}
