#include "ListEntries.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace qv;
using qvtest::TempDir;
using qvtest::WriteText;

TEST(ListEntries, AFileIsCryptedByItsExtensionInAnyCase) {
    const std::pair<const char*, bool> cases[] = {
        {"a.txt", false}, {"b.CRY", true},          {"b.cry", true}, {"c.cry.bak", false},
        {".cry", true},   {"report.doc.Cry", true}, {"cry", false},  {"x.cryx", false},
        {"x.", false},    {"x.cr", false}};
    for (const auto& [name, crypted] : cases)
        EXPECT_EQ(IsCryptedFileName(name), crypted) << name;
}

TEST(ListEntries, CaptionsOfCryptedFilesDependOnShowCry) {
    EXPECT_EQ(CryptedCaption("b.CRY", false), "b");
    EXPECT_EQ(CryptedCaption("b.CRY", true), "b.CRY");
    EXPECT_EQ(CryptedCaption("report.doc.cry", false), "report.doc");
    EXPECT_EQ(CryptedCaption(".cry", false), "");
    EXPECT_EQ(CryptedCaption(".cry", true), ".cry");
}

TEST(ListEntries, ACaptionFindsItsCryptedFileWhateverTheCaseOfTheExtension) {
    TempDir dir;
    WriteText(dir / "b.CRY", "QV98");
    WriteText(dir / "c.cry", "QV98");
    WriteText(dir / "d.cRy", "QV98");
    WriteText(dir / "e.cry", "QV98");
    WriteText(dir / "e.CRY", "QV98");
    EXPECT_EQ(CryptedFileName(dir.Path(), "b", false), "b.CRY");
    EXPECT_EQ(CryptedFileName(dir.Path(), "c", false), "c.cry");
    EXPECT_EQ(CryptedFileName(dir.Path(), "d", false), "d.cRy");
    EXPECT_EQ(CryptedFileName(dir.Path(), "e", false), "e.cry"); // the exact name first
    EXPECT_EQ(CryptedFileName(dir.Path(), "gone", false), "gone.cry");
    EXPECT_EQ(CryptedFileName(dir.Path(), "", false), ".cry");
    // With ShowCry on the caption is the name.
    EXPECT_EQ(CryptedFileName(dir.Path(), "b.CRY", true), "b.CRY");
}

TEST(ListEntries, AttributesFollowThePermissionsAndTheName) {
    struct Case {
        bool regular;
        unsigned mode;
        const char* name;
        const char* letters;
    };
    const Case cases[] = {{true, 0644, "a.txt", "A---"},   {true, 0444, "a.txt", "A-R-"},
                          {true, 0444, ".hidden", "AHR-"}, {true, 0600, ".profile", "AH--"},
                          {false, 0755, "dir", "----"},    {true, 0244, "w", "A---"},
                          {true, 0066, "x", "A-R-"}};
    for (const Case& c : cases)
        EXPECT_EQ(AttributeLetters(c.regular, c.mode, c.name), c.letters) << c.name << c.mode;
}

TEST(ListEntries, DetailsOfAFileComeFromTheFileItself) {
    TempDir dir;
    WriteText(dir / ".secret", "twelve bytes");
    ASSERT_EQ(chmod((dir / ".secret").c_str(), 0444), 0);
    const timespec times[2] = {{1000000000, 0}, {1614834367, 500000000}}; // 2021-03-04 05:06:07
    ASSERT_EQ(utimensat(AT_FDCWD, (dir / ".secret").c_str(), times, 0), 0);

    FileDetails details;
    ASSERT_TRUE(ReadFileDetails(dir / ".secret", false, details));
    EXPECT_EQ(details.Size, 12);
    EXPECT_EQ(details.ModifiedUtc, 1614834367);
    EXPECT_EQ(details.Attributes, "AHR-");
    EXPECT_EQ(details.Method, "");
}

TEST(ListEntries, TheMethodOfACryptedFileIsNamedByItsFourthByte) {
    TempDir dir;
    const std::pair<const char*, const char*> cases[] = {
        {"QV97", "DES"},  {"QV9A", "DES"},   {"QV9B", "DES"},
        {"QV98", "IDEA"}, {"QV9C", "3xDES"}, {"QV9D", "-"},
        {"QV9", "-"},     {"", "-"},         {"xyz8 rest of the file", "IDEA"}};
    for (const auto& [content, method] : cases) {
        WriteText(dir / "f.cry", content);
        FileDetails details;
        ASSERT_TRUE(ReadFileDetails(dir / "f.cry", true, details)) << content;
        EXPECT_EQ(details.Method, method) << content;
    }
}

TEST(ListEntries, AFileThatCannotBeOpenedHasNoDetails) {
    TempDir dir;
    FileDetails details;
    details.Size = 7;
    EXPECT_FALSE(ReadFileDetails(dir / "vanished.txt", false, details));
    EXPECT_EQ(details.Size, 7); // nothing filled in
    // A name that has become a folder or a pipe since the listing: never waited on.
    mkdir((dir / "folder.cry").c_str(), 0755);
    EXPECT_FALSE(ReadFileDetails(dir / "folder.cry", true, details));
    ASSERT_EQ(mkfifo((dir / "pipe.cry").c_str(), 0600), 0);
    EXPECT_FALSE(ReadFileDetails(dir / "pipe.cry", true, details));
    if (!qvtest::RunningAsRoot()) {
        WriteText(dir / "locked.txt", "x");
        chmod((dir / "locked.txt").c_str(), 0);
        EXPECT_FALSE(ReadFileDetails(dir / "locked.txt", false, details));
    }
}

TEST(ListEntries, CaptionsCompareWithoutRegardToTheCaseOfAToZ) {
    EXPECT_EQ(CompareCaptions("a.txt", "A.TXT"), 0);
    EXPECT_LT(CompareCaptions("a.txt", "B.txt"), 0);
    EXPECT_GT(CompareCaptions("Zeta", "alpha"), 0);
    // Letters fold to lower case, so "[" and "_", which lie between "Z" and "a", sort before
    // every letter.
    EXPECT_LT(CompareCaptions("_x", "ax"), 0);
    EXPECT_LT(CompareCaptions("[x", "Ax"), 0);
    // Bytes beyond ASCII are compared as they are, unsigned: after every ASCII byte.
    EXPECT_GT(CompareCaptions("Ärger", "zoo"), 0);
    EXPECT_NE(CompareCaptions("Ä", "ä"), 0);
}

TEST(ListEntries, ASingleFileOperationMovesTheCaptionBetweenTheLists) {
    struct Case {
        const char* name;
        const char* newName;
        Direction direction;
        bool showCry;
        const char* caption;
        const char* oldCaption;
    };
    const Case cases[] = {
        {"report.doc", "", Direction::Encrypt, false, "report.doc", "report.doc"},
        {"report.doc", "", Direction::Encrypt, true, "report.doc.cry", "report.doc"},
        {"report.doc", "", Direction::Decrypt, false, "report.doc", "report.doc"},
        {"report.doc.cry", "", Direction::Decrypt, true, "report.doc", "report.doc.cry"},
        {"report2.doc", "REPORT.DOC", Direction::Decrypt, false, "REPORT.DOC", "report2.doc"},
        {"report2.doc.cry", "REPORT.DOC", Direction::Decrypt, true, "REPORT.DOC",
         "report2.doc.cry"},
        {".cry", "", Direction::Decrypt, true, "", ".cry"},
    };
    for (const Case& c : cases) {
        const ListMove move = MovedCaptions(c.name, c.newName, c.direction, c.showCry);
        EXPECT_EQ(move.Caption, c.caption) << c.name << " " << c.showCry;
        EXPECT_EQ(move.OldCaption, c.oldCaption) << c.name << " " << c.showCry;
    }
}
