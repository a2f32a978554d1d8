// Encrypts or decrypts many files with several workers at once, in batches that share their
// flushes: the outputs of a batch are written, then made durable together, and only then are
// the sources of the batch wiped or deleted; the overwrites of the wipes are flushed together
// as well (SplitCrypt). While one batch is flushed and its sources disposed of, the workers
// write the outputs of the next. A crash at any moment leaves every file in at least one
// complete copy.
// Each file goes through the same checks, questions and steps as EncryptOne or DecryptOne
// alone, with the same outcome.
#pragma once

#include "ListEntries.h"
#include "OneFile.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace qv {

struct BatchSettings {
    Direction direction = Direction::Encrypt;
    std::int32_t method = 0; // encrypting
    SourceDisposal disposal = SourceDisposal::Wipe;
    unsigned jobs = 1; // files worked on at once
    // A batch ends after this many files or bytes of sources, whichever comes first: a
    // larger batch shares a flush among more files, a smaller one wipes its sources sooner.
    std::size_t batchFiles = 256;
    std::int64_t batchBytes = std::int64_t(256) << 20;
    // Encrypting, up to this many small files of a batch are enciphered side by side by one
    // worker (1: each file on its own).
    std::size_t sideBySideFiles = 256;
};

// What the run asks of its front end.
class BatchFront {
public:
    virtual ~BatchFront() = default;
    // The steps of file index (into the run's list), for worker (0 to jobs - 1). They are used
    // by one thread at a time, but not always the same one: PasswordServed and OutputWritten
    // come once the output is on disk, from the thread that disposes of the sources of the
    // file's folder. They stay in use until Finished for index.
    virtual CryptFileSteps& StepsFor(std::size_t index, unsigned worker) = 0;
    // File index is done (its outcome final); on the thread of RunBatches, in list order.
    virtual void Finished(std::size_t index, const CryptOutcome& outcome) = 0;
    // No file starts once this is true; the files already written are finished.
    virtual bool Stopped() = 0;
};

// Runs work(0) on the calling thread and work(1) to work(threads - 1) on threads of their own,
// and returns when every one has returned.
void RunOnThreads(unsigned threads, const std::function<void(unsigned)>& work);

// Runs over files (paths as given) and returns how many were started; the rest were not
// touched because of a stop. Two names of one file, or a file and its own output, never share
// a batch, nor a batch and the one being disposed of: the later one waits until the earlier is
// done.
std::size_t RunBatches(const std::vector<std::string>& files, const BatchSettings& settings,
                       BatchFront& front);

} // namespace qv
