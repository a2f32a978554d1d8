#include "FileBatch.h"

#include "CryptFile.h"
#include "FileSystem.h"
#include "FlushGroup.h"
#include "Paths.h"

#include <algorithm>
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <sys/stat.h>
#include <thread>

namespace qv {

namespace {

std::int64_t SizeOf(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 ? static_cast<std::int64_t>(st.st_size) : 0;
}

// The files from first on that make one batch: up to the settings' limits, and before any file
// whose path or output path another file of the batch already has, or the batch still being
// disposed of (busy). Fills paths with the batch's paths. Returns first when the first file is
// busy: it waits until that batch is done.
std::size_t BatchEnd(const std::vector<std::string>& absolute, std::size_t first,
                     const BatchSettings& settings, const std::set<std::string>& busy,
                     std::set<std::string>& paths) {
    paths.clear();
    std::int64_t bytes = 0;
    std::size_t end = first;
    for (; end < absolute.size() && end - first < settings.batchFiles; ++end) {
        const std::string& path = absolute[end];
        const std::string output = settings.direction == Direction::Encrypt
                                       ? path + CryptExtension
                                       : DerivedPlainPath(path);
        if (paths.count(path) != 0 || paths.count(output) != 0 || busy.count(path) != 0 ||
            busy.count(output) != 0)
            break;
        const std::int64_t size = SizeOf(path);
        if (end > first && bytes + size > settings.batchBytes)
            break;
        bytes += size;
        paths.insert(path);
        paths.insert(output);
    }
    return end;
}

// Runs step(k) for every file k of the batch with up to jobs threads. The files of one folder
// go to one thread, in their order: a wipe renames its file to names of its folder's own, so
// two wipes in one folder cannot run at once.
void ByFolder(const std::vector<std::string>& absolute, std::size_t first, std::size_t count,
              unsigned jobs, const std::function<void(std::size_t)>& step) {
    std::map<std::string, std::vector<std::size_t>> folders;
    for (std::size_t k = 0; k < count; ++k)
        folders[DirectoryPart(absolute[first + k])].push_back(k);
    std::vector<const std::vector<std::size_t>*> groups;
    for (const auto& [folder, files] : folders)
        groups.push_back(&files);
    std::atomic<std::size_t> next{0};
    RunOnThreads(static_cast<unsigned>(std::min<std::size_t>(jobs, groups.size())), [&](unsigned) {
        for (std::size_t g; (g = next++) < groups.size();)
            for (const std::size_t k : *groups[g])
                step(k);
    });
}

// A batch whose outputs are written: what its disposal needs, and what it reports.
struct Batch {
    std::size_t first = 0;       // its first file's index in the run's list
    std::set<std::string> paths; // the sources and outputs of its files
    FlushGroup outputs;
    FlushGroup wipes;
    std::vector<std::unique_ptr<SplitCrypt>> crypts; // null for a file a stop kept from starting
};

// Makes the batch's outputs durable, then disposes of the sources of those that are, and makes
// the wipes durable; every outcome is final afterwards.
void Dispose(Batch& batch, const std::vector<std::string>& absolute,
             const BatchSettings& settings) {
    batch.outputs.Flush();
    ByFolder(absolute, batch.first, batch.crypts.size(), settings.jobs, [&](std::size_t k) {
        if (batch.crypts[k])
            batch.crypts[k]->Complete(batch.outputs, settings.disposal, batch.wipes);
    });
    batch.outputs.Clear();
    batch.wipes.Flush();
    for (auto& crypt : batch.crypts)
        if (crypt)
            crypt->FinishWipe(batch.wipes);
    batch.wipes.Settle();
}

} // namespace

void RunOnThreads(unsigned threads, const std::function<void(unsigned)>& work) {
    std::vector<std::thread> helpers;
    for (unsigned t = 1; t < threads; ++t)
        helpers.emplace_back(work, t);
    work(0);
    for (std::thread& helper : helpers)
        helper.join();
}

std::size_t RunBatches(const std::vector<std::string>& files, const BatchSettings& settings,
                       BatchFront& front) {
    std::vector<std::string> absolute;
    absolute.reserve(files.size());
    for (const std::string& file : files)
        absolute.push_back(AbsolutePath(file));

    // While the workers write the outputs of one batch, the batch before it is flushed and its
    // sources wiped on a thread of its own: the one waits for the processors, the other for the
    // disk. Every batch keeps its own order (outputs durable, then wipes, then their flush), and
    // no path of the batch being disposed of is touched by the next.
    std::unique_ptr<Batch> disposing;
    std::thread disposer;
    std::size_t started = 0;
    const std::set<std::string> none;
    auto finishDisposal = [&] {
        if (!disposing)
            return;
        disposer.join();
        for (std::size_t k = 0; k < disposing->crypts.size(); ++k) {
            if (!disposing->crypts[k])
                continue;
            ++started;
            front.Finished(disposing->first + k, disposing->crypts[k]->Outcome());
        }
        disposing.reset();
    };

    for (std::size_t first = 0; first < files.size() && !front.Stopped();) {
        auto batch = std::make_unique<Batch>();
        const std::size_t end =
            BatchEnd(absolute, first, settings, disposing ? disposing->paths : none, batch->paths);
        if (end == first) {
            finishDisposal();
            continue;
        }
        batch->first = first;
        const std::size_t count = end - first;
        batch->crypts.resize(count);

        // The workers take the files of the batch in list order, one at a time.
        std::atomic<std::size_t> next{0};
        auto work = [&](unsigned worker) {
            for (;;) {
                if (front.Stopped())
                    return;
                const std::size_t k = next.fetch_add(1);
                if (k >= count)
                    return;
                const std::size_t index = first + k;
                auto crypt = std::make_unique<SplitCrypt>(front.StepsFor(index, worker));
                if (settings.direction == Direction::Encrypt)
                    crypt->Encrypt(files[index], settings.method, &batch->outputs);
                else
                    crypt->Decrypt(files[index], &batch->outputs);
                batch->crypts[k] = std::move(crypt);
            }
        };
        RunOnThreads(static_cast<unsigned>(std::min<std::size_t>(settings.jobs, count)), work);

        finishDisposal();
        // A stop leaves the rest of the batch untouched; started counts what was done.
        const bool whole = std::all_of(batch->crypts.begin(), batch->crypts.end(),
                                       [](const auto& crypt) { return crypt != nullptr; });
        disposing = std::move(batch);
        disposer =
            std::thread(Dispose, std::ref(*disposing), std::cref(absolute), std::cref(settings));
        if (!whole)
            break;
        first = end;
    }
    finishDisposal();
    return started;
}

} // namespace qv
