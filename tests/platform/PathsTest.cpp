#include "Paths.h"

#include <gtest/gtest.h>

using namespace qv;

TEST(Paths, JoinDirectoryAndSplit) {
    struct Case {
        const char* dir;
        const char* name;
        const char* joined;
    };
    const Case cases[] = {
        {"/home/ann/Docs", "a.txt", "/home/ann/Docs/a.txt"},
        {"/", "a.txt", "/a.txt"},
        {"", "a.txt", "a.txt"},
        {"/home/ann/", "a.txt", "/home/ann/a.txt"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(JoinPath(c.dir, c.name), c.joined);
        EXPECT_EQ(FileNamePart(c.joined), c.name);
    }
    EXPECT_EQ(DirectoryPart("/home/ann/Docs/a.txt"), "/home/ann/Docs");
    EXPECT_EQ(DirectoryPart("/a.txt"), "/");
    EXPECT_EQ(DirectoryPart("a.txt"), "");
}

TEST(Paths, ExtensionsAndLowerCase) {
    EXPECT_EQ(ExtensionOf("b.CRY"), ".CRY");
    EXPECT_EQ(ExtensionOf("c.cry.bak"), ".bak");
    EXPECT_EQ(ExtensionOf(".cry"), ".cry");
    EXPECT_EQ(ExtensionOf("README"), "");
    EXPECT_EQ(AsciiLower("/Des \xC3\x84"), "/des \xC3\x84");
}

TEST(Paths, NormaliseByTheTextAlone) {
    struct Case {
        const char* path;
        const char* normal;
    };
    const Case cases[] = {
        {"/home/ann/Docs/a.txt", "/home/ann/Docs/a.txt"},
        {"/home//ann/./Docs/", "/home/ann/Docs"},
        {"/home/ann/../bob/a.txt", "/home/bob/a.txt"},
        {"/home/ann/Docs/../../..", "/"},
        {"/../a.txt", "/a.txt"},
        {"/", "/"},
        {"a/./b/../c", "a/c"},
        {"../a/../../b", "../../b"},
        {"a/..", "."},
        {"", "."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(NormalisePath(c.path), c.normal) << c.path;
}
