// Runs over many files in batches: each file ends as it would alone, and a process killed at any
// point of a batch leaves every file in at least one complete copy, with no plain file wiped
// before the crypted copies of its batch were flushed.
#include "FileBatch.h"
#include "CryptFile.h"
#include "FileSystem.h"
#include "Pwd.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace qv;
using qvtest::PatternBytes;
using qvtest::ReadBytes;
using qvtest::TempDir;
using qvtest::WriteBytes;

constexpr const char* Password = "batch-pass";

void Hold(TQV_Pwd& holder, const char* password) {
    holder.SetTypedPassword(reinterpret_cast<const std::uint8_t*>(password),
                            std::char_traits<char>::length(password));
    holder.HasPassword = true;
}

// Steps that answer like a script: replace nothing, one password, and a hook on each step.
class Steps : public CryptFileSteps {
public:
    explicit Steps(TQV_Pwd& holder, std::function<void(const char*)> hook)
        : holder_(holder), hook_(std::move(hook)) {}
    bool ReplaceExisting(const std::string&) override { return false; }
    TQV_Pwd* PasswordFor(const std::string&) override { return &holder_; }
    std::int32_t RunEngine(const std::function<std::int32_t()>& engine) override {
        const std::int32_t code = engine();
        hook_("written");
        return code;
    }
    bool OutputWritten(const std::string&, bool) override {
        hook_("output on disk");
        return true;
    }

private:
    TQV_Pwd& holder_;
    std::function<void(const char*)> hook_;
};

class Front : public BatchFront {
public:
    Front(unsigned jobs, std::function<void(const char*)> hook) : holders_(jobs), hook_(hook) {
        for (TQV_Pwd& holder : holders_)
            Hold(holder, Password);
    }
    CryptFileSteps& StepsFor(std::size_t index, unsigned worker) override {
        const std::lock_guard lock(mutex_);
        steps_[index] = std::make_unique<Steps>(holders_[worker], hook_);
        return *steps_[index];
    }
    void Finished(std::size_t index, const CryptOutcome& outcome) override {
        outcomes[index] = outcome;
        hook_("finished");
    }
    bool Stopped() override { return false; }

    std::map<std::size_t, CryptOutcome> outcomes;

private:
    std::vector<TQV_Pwd> holders_;
    std::function<void(const char*)> hook_;
    std::mutex mutex_;
    std::map<std::size_t, std::unique_ptr<Steps>> steps_;
};

std::vector<std::uint8_t> Decrypted(const std::string& crypted) {
    TQV_Pwd reader;
    Hold(reader, Password);
    TempDir scratch;
    const std::string copy = scratch / "copy.cry";
    WriteBytes(copy, ReadBytes(crypted));
    std::string stored;
    if (reader.DecryptFile(copy, stored) != CryptOk)
        return {};
    return ReadBytes(scratch / (stored.empty() ? "copy" : stored));
}

struct Tree {
    TempDir dir;
    std::vector<std::string> files;
    std::vector<std::vector<std::uint8_t>> contents;

    explicit Tree(int count) {
        for (int i = 0; i < count; ++i) {
            files.push_back(dir / ("f" + std::to_string(i) + ".bin"));
            contents.push_back(PatternBytes(3000 + 977 * static_cast<std::size_t>(i), i + 1));
            WriteBytes(files.back(), contents.back());
        }
    }
};

TEST(RunBatches, EachFileEndsAsItWouldAloneWhateverTheJobsAndBatches) {
    struct Case {
        unsigned jobs;
        std::size_t batchFiles;
        std::size_t sideBySide; // small files enciphered together by one worker
    };
    for (const Case c : {Case{1, 256, 256}, Case{3, 256, 256}, Case{4, 5, 256}, Case{2, 256, 1},
                         Case{2, 256, 3}}) {
        SCOPED_TRACE("jobs " + std::to_string(c.jobs) + ", batches of " +
                     std::to_string(c.batchFiles) + ", side by side " +
                     std::to_string(c.sideBySide));
        Tree tree(23);
        // One file too large to be enciphered side by side with the others.
        tree.contents[10] = PatternBytes(300000, 77);
        WriteBytes(tree.files[10], tree.contents[10]);
        // One file is missing and one named twice: they fail or wait, as alone.
        std::vector<std::string> files = tree.files;
        files.push_back(tree.dir / "missing.bin");
        files.push_back(tree.files[4]);
        Front front(c.jobs, [](const char*) {});
        BatchSettings settings;
        settings.method = MethodIdea;
        settings.jobs = c.jobs;
        settings.batchFiles = c.batchFiles;
        settings.sideBySideFiles = c.sideBySide;
        ASSERT_EQ(RunBatches(files, settings, front), files.size());

        for (std::size_t i = 0; i < tree.files.size(); ++i) {
            EXPECT_EQ(front.outcomes[i].Status, CryptStatus::Done) << tree.files[i];
            EXPECT_TRUE(front.outcomes[i].SourceErased);
            EXPECT_FALSE(PathExists(tree.files[i]));
            EXPECT_EQ(Decrypted(tree.files[i] + ".cry"), tree.contents[i]);
        }
        EXPECT_EQ(front.outcomes[23].Status, CryptStatus::SourceMissing);
        EXPECT_EQ(front.outcomes[24].Status, CryptStatus::SourceMissing)
            << "the second name of a file comes after the first is done";
        EXPECT_FALSE(PathExists(tree.dir / "~")) << "no wipe left a file behind";

        // And back, with the crypted files deleted.
        std::vector<std::string> crypted;
        for (const std::string& file : tree.files)
            crypted.push_back(file + ".cry");
        Front back(c.jobs, [](const char*) {});
        settings.direction = Direction::Decrypt;
        settings.disposal = SourceDisposal::Delete;
        RunBatches(crypted, settings, back);
        for (std::size_t i = 0; i < tree.files.size(); ++i) {
            EXPECT_EQ(back.outcomes[i].Status, CryptStatus::Done);
            EXPECT_EQ(ReadBytes(tree.files[i]), tree.contents[i]);
            EXPECT_FALSE(PathExists(crypted[i]));
        }
    }
}

// The next batch is written while the one before it is disposed of; a file whose path or output
// that batch still holds waits for it, and ends as it would in a run of one file at a time.
TEST(RunBatches, AFileThatTheBatchBeforeStillHoldsWaitsForIt) {
    BatchSettings settings;
    settings.method = MethodIdea;
    settings.jobs = 2;
    settings.batchFiles = 3;

    // Encrypting a file named twice, the second time first in the next batch: by then the
    // file is encrypted and wiped.
    Tree tree(4);
    std::vector<std::string> files = {tree.files[0], tree.files[1], tree.files[2], tree.files[0],
                                      tree.files[3]};
    Front front(2, [](const char*) {});
    ASSERT_EQ(RunBatches(files, settings, front), files.size());
    EXPECT_EQ(front.outcomes[3].Status, CryptStatus::SourceMissing);
    for (std::size_t i = 0; i < tree.files.size(); ++i) {
        EXPECT_FALSE(PathExists(tree.files[i]));
        EXPECT_EQ(Decrypted(tree.files[i] + ".cry"), tree.contents[i]);
    }

    // Decrypting a.cry.cry, whose plain name is a.cry, a crypted file of the batch before: it
    // is decrypted once a.cry is, and gone.
    TempDir dir;
    const std::string a = dir / "a";
    WriteBytes(a, PatternBytes(5000, 7));
    Front once(1, [](const char*) {});
    ASSERT_EQ(RunBatches({a}, settings, once), 1u);
    ASSERT_EQ(rename((a + ".cry").c_str(), (a + ".cry.x").c_str()), 0);
    WriteBytes(a, PatternBytes(6000, 8));
    ASSERT_EQ(RunBatches({a}, settings, once), 1u);
    ASSERT_EQ(rename((a + ".cry.x").c_str(), (a + ".cry.cry").c_str()), 0);
    std::vector<std::string> crypted = {a + ".cry", tree.files[1] + ".cry", tree.files[2] + ".cry",
                                        a + ".cry.cry"};
    settings.direction = Direction::Decrypt;
    settings.disposal = SourceDisposal::Delete;
    Front back(2, [](const char*) {});
    ASSERT_EQ(RunBatches(crypted, settings, back), crypted.size());
    for (std::size_t i = 0; i < crypted.size(); ++i) {
        EXPECT_EQ(back.outcomes[i].Status, CryptStatus::Done) << crypted[i];
    }
    EXPECT_EQ(ReadBytes(a), PatternBytes(6000, 8));
    EXPECT_EQ(ReadBytes(a + ".cry"), PatternBytes(5000, 7)) << "a.cry.cry's plain file";
    EXPECT_FALSE(PathExists(a + ".cry.cry"));
}

// A batch holds its outputs and wipes open until they are flushed: under a low limit of open
// files the batches are smaller, and every file is still done.
TEST(RunBatches, ALowLimitOfOpenFilesMakesSmallerBatches) {
    Tree tree(150);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const rlimit low{100, 100};
        if (setrlimit(RLIMIT_NOFILE, &low) != 0)
            _exit(3);
        Front front(2, [](const char*) {});
        BatchSettings settings;
        settings.method = MethodIdea;
        settings.jobs = 2;
        RunBatches(tree.files, settings, front);
        for (const auto& [index, outcome] : front.outcomes)
            if (outcome.Status != CryptStatus::Done || !outcome.SourceErased)
                _exit(1);
        _exit(front.outcomes.size() == tree.files.size() ? 0 : 2);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: a file failed, 2: files missing, 3: no limit set";
    for (std::size_t i = 0; i < tree.files.size(); ++i) {
        EXPECT_FALSE(PathExists(tree.files[i]));
        EXPECT_EQ(Decrypted(tree.files[i] + ".cry"), tree.contents[i]);
    }
}

// The process is killed at a chosen step of a batch of 12 files; every file must then be in at
// least one complete copy: its plain file as it was, or a crypted file that decrypts to it.
TEST(RunBatches, AKillAtAnyStepOfABatchLeavesEveryFileWhole) {
    struct Case {
        const char* what;
        const char* step; // the hook's step at which the process dies
        int count;        // on its count-th occurrence
        bool plainFilesAllThere;
    };
    const Case cases[] = {
        {"after the crypted files are written, before their flush", "written", 12, true},
        {"in the middle of the writes", "written", 5, true},
        {"while the sources are disposed of", "output on disk", 6, false},
        {"after the first file is reported", "finished", 1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Tree tree(12);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            std::atomic<int> seen{0};
            Front front(2, [&](const char* step) {
                if (std::string(step) == c.step && ++seen == c.count)
                    raise(SIGKILL);
            });
            BatchSettings settings;
            settings.method = MethodTripleDes;
            settings.jobs = 2;
            RunBatches(tree.files, settings, front);
            _exit(0);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the run ended before its kill";

        int plainLeft = 0;
        for (std::size_t i = 0; i < tree.files.size(); ++i) {
            const std::string& file = tree.files[i];
            if (PathExists(file)) {
                ++plainLeft;
                EXPECT_EQ(ReadBytes(file), tree.contents[i]) << file << " was touched";
            } else {
                ASSERT_TRUE(PathExists(file + ".cry")) << file << " is gone in every form";
                EXPECT_EQ(Decrypted(file + ".cry"), tree.contents[i]) << file;
            }
        }
        if (c.plainFilesAllThere)
            EXPECT_EQ(plainLeft, 12) << "no plain file is wiped before its batch is flushed";
        else
            EXPECT_LT(plainLeft, 12);
    }
}

} // namespace
