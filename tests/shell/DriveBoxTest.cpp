#include "DriveBox.h"

#include <QDir>

#include <gtest/gtest.h>

using qv::DriveBox;

TEST(DriveBox, FindsTheDriveThatHoldsAPath) {
    DriveBox box;
    box.SetDrives({"/", "/home/ann", "/media/ann/USB STICK"});
    const std::pair<const char*, const char*> cases[] = {
        {"/", "/"},
        {"/etc/fstab", "/"},
        {"/home/ann", "/home/ann"},
        {"/home/ann/letters", "/home/ann"},
        {"/home/annex", "/"}, // a longer name is not inside the drive
        {"/media/ann/USB STICK/photos", "/media/ann/USB STICK"},
    };
    for (const auto& [path, drive] : cases)
        EXPECT_EQ(box.DriveFor(path), drive) << path;
}

TEST(DriveBox, KeepsItsChoiceWhenTheDrivesAreReadAgain) {
    DriveBox box;
    box.SetDrives({"/", "/mnt/a", "/mnt/b"});
    ASSERT_TRUE(box.SelectDrive("/mnt/b"));
    box.SetDrives({"/", "/mnt/b"});
    EXPECT_EQ(box.CurrentDrive(), "/mnt/b");
    box.SetDrives({"/", "/mnt/c"});
    EXPECT_EQ(box.CurrentDrive(), "/"); // the chosen drive went away
    EXPECT_FALSE(box.SelectDrive("/mnt/b"));
}

TEST(DriveBox, ListsTheRootFirstAndTheHomeFolderLast) {
    const QStringList drives = qv::ListDrives();
    ASSERT_FALSE(drives.isEmpty());
    EXPECT_EQ(drives.front(), "/");
    EXPECT_EQ(drives.count("/"), 1);
    if (QDir::homePath() != "/") {
        EXPECT_EQ(drives.back(), QDir::homePath());
    }
    for (const QString& drive : drives)
        EXPECT_FALSE(drive.startsWith("/proc") || drive.startsWith("/sys")) << drive.toStdString();
}
