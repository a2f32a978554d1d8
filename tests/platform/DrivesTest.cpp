// Which file systems hold the user's files: the type of a mounted file system by its device.
#include "Drives.h"

#include <gtest/gtest.h>

#include <sys/sysmacros.h>

using namespace qv;

TEST(Drives, TheTypeOfAMountComesFromItsLineInMountInfo) {
    // Lines as the kernel writes them: optional fields before "-", a mount point with a blank.
    const char* const mountInfo =
        "22 28 0:21 / /proc rw,nosuid,nodev,noexec,relatime shared:12 - proc proc rw\n"
        "28 1 259:2 / / rw,relatime shared:1 - ext4 /dev/nvme0n1p2 rw\n"
        "41 28 0:36 / /media/my\\040disk rw,relatime shared:20 master:3 - vfat /dev/sdb1 rw\n"
        "45 28 0:40 / /run/user/1000 rw - tmpfs tmpfs rw,size=1600k\n";
    EXPECT_EQ(FileSystemTypeIn(mountInfo, makedev(0, 21)), "proc");
    EXPECT_EQ(FileSystemTypeIn(mountInfo, makedev(259, 2)), "ext4");
    EXPECT_EQ(FileSystemTypeIn(mountInfo, makedev(0, 36)), "vfat");
    EXPECT_EQ(FileSystemTypeIn(mountInfo, makedev(0, 40)), "tmpfs");
    EXPECT_EQ(FileSystemTypeIn(mountInfo, makedev(8, 1)), "");
    EXPECT_EQ(FileSystemTypeIn("28 1 259:2 / / rw\n", makedev(259, 2)), "") << "cut short";

    for (const char* pseudo : {"proc", "sysfs", "devtmpfs", "tmpfs", "cgroup2", "overlay"})
        EXPECT_TRUE(IsPseudoFileSystemType(pseudo)) << pseudo;
    for (const char* real : {"ext4", "btrfs", "vfat", "nfs4", "fuse.sshfs", ""})
        EXPECT_FALSE(IsPseudoFileSystemType(real)) << real;
}
