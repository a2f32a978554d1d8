#include "FileBatch.h"

#include "CryptFile.h"
#include "FileSystem.h"
#include "FlushGroup.h"
#include "Paths.h"
#include "Pwd.h"

#include <algorithm>
#include <atomic>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <sys/resource.h>
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
                     std::set<std::string>& paths, std::vector<std::int64_t>& sizes) {
    paths.clear();
    sizes.clear();
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
        sizes.push_back(size);
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

// Step 1 of SplitCrypt for several files at once, each crypts[i] encrypting sourcePaths[i]: the
// files that share a password holder go through one engine call (EncryptFiles), which enciphers
// small files side by side. Each file gets the same checks, questions, steps and outcome as
// Encrypt; its output waits in outputs.
void EncryptSideBySide(const std::vector<SplitCrypt*>& crypts,
                       const std::vector<std::string>& sourcePaths, std::int32_t method,
                       FlushGroup& outputs) {
    // One engine call for the files of each password holder (usually one for all).
    std::vector<TQV_Pwd*> holders(crypts.size(), nullptr);
    std::vector<TQV_Pwd::SideBySideFile> files(crypts.size());
    for (std::size_t i = 0; i < crypts.size(); ++i) {
        bool mayReplace = false;
        holders[i] = crypts[i]->BeginEncrypt(sourcePaths[i], &outputs, mayReplace);
        files[i] = {crypts[i]->Outcome().SourcePath, mayReplace, CryptOk};
    }
    for (std::size_t i = 0; i < crypts.size(); ++i) {
        TQV_Pwd* holder = holders[i];
        if (!holder)
            continue;
        std::vector<TQV_Pwd::SideBySideFile> group;
        std::vector<std::size_t> members;
        for (std::size_t j = i; j < crypts.size(); ++j)
            if (holders[j] == holder) {
                group.push_back(files[j]);
                members.push_back(j);
                holders[j] = nullptr;
            }
        holder->FlushLater = &outputs;
        holder->EncryptFiles(group, method);
        holder->FlushLater = nullptr;
        for (std::size_t m = 0; m < members.size(); ++m)
            crypts[members[m]]->EndEncrypt(group[m].code);
    }
}

// A batch whose outputs are written: what its disposal needs, and what it reports.
struct Batch {
    std::size_t first = 0;           // its first file's index in the run's list
    std::set<std::string> paths;     // the sources and outputs of its files
    std::vector<std::int64_t> sizes; // of its sources when the batch was made
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

// How many files a batch may have within the process's limit of open files: a batch holds an
// open file for each of its outputs and then each of its wipes until they are flushed, and the
// next batch is written meanwhile, so three batches' worth may be open at once, beside what the
// process holds anyway.
std::size_t FilesWithinOpenLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return std::numeric_limits<std::size_t>::max();
    constexpr rlim_t Reserve = 64;
    return limit.rlim_cur > Reserve + 3 ? static_cast<std::size_t>((limit.rlim_cur - Reserve) / 3)
                                        : 1;
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
    BatchSettings limited = settings;
    limited.batchFiles = std::clamp<std::size_t>(settings.batchFiles, 1, FilesWithinOpenLimit());
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
            BatchEnd(absolute, first, limited, disposing ? disposing->paths : none, batch->paths,
                     batch->sizes);
        if (end == first) {
            finishDisposal();
            continue;
        }
        batch->first = first;
        const std::size_t count = end - first;
        batch->crypts.resize(count);

        // The workers take the files of the batch in list order. Encrypting, a worker takes up to
        // sideBySideFiles small files at once and enciphers them side by side: the wide kernels
        // want hundreds of blocks per step, and one worker with all of them is faster than two
        // with half each. A large file, or a file to decrypt (whose blocks are deciphered many
        // at once anyway), goes alone.
        const std::size_t share = settings.direction == Direction::Encrypt
                                      ? std::max<std::size_t>(settings.sideBySideFiles, 1)
                                      : 1;
        std::mutex taking;
        std::size_t cursor = 0;
        auto take = [&](std::vector<std::size_t>& mine) {
            const std::lock_guard lock(taking);
            mine.clear();
            while (cursor < count && mine.size() < share) {
                const bool small = batch->sizes[cursor] <= TQV_Pwd::SideBySideMaxBytes;
                if (!small && !mine.empty())
                    break;
                mine.push_back(cursor++);
                if (!small)
                    break;
            }
            return !mine.empty();
        };
        auto work = [&](unsigned worker) {
            std::vector<std::size_t> mine;
            std::vector<SplitCrypt*> group;
            std::vector<std::string> paths;
            while (!front.Stopped() && take(mine)) {
                group.clear();
                paths.clear();
                for (const std::size_t k : mine) {
                    auto crypt = std::make_unique<SplitCrypt>(front.StepsFor(first + k, worker));
                    group.push_back(crypt.get());
                    paths.push_back(files[first + k]);
                    batch->crypts[k] = std::move(crypt);
                }
                if (settings.direction == Direction::Decrypt)
                    group.front()->Decrypt(paths.front(), &batch->outputs);
                else if (group.size() == 1)
                    group.front()->Encrypt(paths.front(), settings.method, &batch->outputs);
                else
                    EncryptSideBySide(group, paths, settings.method, batch->outputs);
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
