#include "Wipe.h"
#include "Random.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace qv;
using qvtest::TempDir;

namespace {

class Recorder : public WipeObserver {
public:
    std::vector<std::string> names;
    std::vector<std::size_t> writes;
    std::vector<std::uint8_t> contentBeforeTruncation;
    std::vector<std::string> folderBeforeTruncation;
    const TempDir* dir = nullptr;

    void Renamed(const std::string& newPath) override { names.push_back(newPath); }
    void Wrote(std::size_t count) override { writes.push_back(count); }
    void Overwritten(int fd) override {
        struct stat st {};
        fstat(fd, &st);
        contentBeforeTruncation.resize(static_cast<std::size_t>(st.st_size));
        pread(fd, contentBeforeTruncation.data(), contentBeforeTruncation.size(), 0);
        folderBeforeTruncation = dir->Names();
    }
};

std::vector<std::uint8_t> ExpectedBlock(std::uint32_t seed) {
    SetRandomSeed(seed);
    std::vector<std::uint8_t> block(WipeBlockSize);
    for (auto& b : block)
        b = static_cast<std::uint8_t>(RandomBelow(256));
    return block;
}

} // namespace

TEST(WipeFile, OverwritesWithOneRandomBlockThenTruncatesAndErases) {
    TempDir dir;
    const std::string path = dir / "report.doc";
    qvtest::WriteBytes(path, std::vector<std::uint8_t>(2500, 0xAA));
    const auto block = ExpectedBlock(12345);

    Recorder recorder;
    recorder.dir = &dir;
    SetRandomSeed(12345);
    ASSERT_EQ(WipeFile(path, &recorder), 0);

    EXPECT_EQ(recorder.names, (std::vector<std::string>{dir / "~~~~~~~~.~~~", dir / "~"}));
    EXPECT_EQ(recorder.writes, (std::vector<std::size_t>{1024, 1024, 452}));
    ASSERT_EQ(recorder.contentBeforeTruncation.size(), 2500u);
    for (std::size_t i = 0; i < 2500; ++i)
        ASSERT_EQ(recorder.contentBeforeTruncation[i], block[i % 1024]) << "byte " << i;
    EXPECT_EQ(recorder.folderBeforeTruncation, std::vector<std::string>{"~"});
    EXPECT_TRUE(dir.Names().empty());
}

TEST(WipeFile, EmptyAndReadOnlyFiles) {
    TempDir dir;
    const std::string empty = dir / "empty";
    qvtest::WriteBytes(empty, {});
    Recorder recorder;
    recorder.dir = &dir;
    ASSERT_EQ(WipeFile(empty, &recorder), 0);
    EXPECT_EQ(recorder.names.size(), 2u);
    EXPECT_EQ(recorder.writes, std::vector<std::size_t>{0});

    const std::string readOnly = dir / "read-only";
    qvtest::WriteBytes(readOnly, {1, 2, 3});
    chmod(readOnly.c_str(), 0444);
    EXPECT_EQ(WipeFile(readOnly), 0);
    EXPECT_TRUE(dir.Names().empty());
}

TEST(WipeFile, TakenTemporaryNamesLoseNothing) {
    struct Case {
        const char* taken;
        int renamesBeforeFailure;
    };
    for (const Case c : {Case{"~~~~~~~~.~~~", 0}, Case{"~", 1}}) {
        SCOPED_TRACE(c.taken);
        TempDir dir;
        const std::string path = dir / "secret.txt";
        qvtest::WriteText(path, "the user's plain text");
        qvtest::WriteText(dir / c.taken, "another file of the user's");

        Recorder recorder;
        recorder.dir = &dir;
        EXPECT_EQ(WipeFile(path, &recorder), -2);
        EXPECT_EQ(static_cast<int>(recorder.names.size()), c.renamesBeforeFailure);
        EXPECT_TRUE(recorder.writes.empty());
        // Both files are still there, under their own names, with their content.
        EXPECT_EQ(qvtest::ReadText(path), "the user's plain text");
        EXPECT_EQ(qvtest::ReadText(dir / c.taken), "another file of the user's");
        EXPECT_EQ(dir.Names().size(), 2u);
    }
}

TEST(WipeFile, MissingFileFails) {
    TempDir dir;
    EXPECT_EQ(WipeFile(dir / "gone"), -2);
}

TEST(WipeFile, SymbolicLinkFailsWithoutTouchingItsTarget) {
    TempDir dir;
    const std::string target = dir / "target.txt";
    qvtest::WriteText(target, "content behind the link");
    chmod(target.c_str(), 0444);
    ASSERT_EQ(symlink(target.c_str(), (dir / "link").c_str()), 0);

    EXPECT_EQ(WipeFile(dir / "link"), -2);
    EXPECT_EQ(qvtest::ReadText(target), "content behind the link");
    struct stat st {};
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0444u);
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"link", "target.txt"}));
}
