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
// whose path or output path another file of the batch already has.
std::size_t BatchEnd(const std::vector<std::string>& absolute, std::size_t first,
                     const BatchSettings& settings) {
    std::set<std::string> taken;
    std::int64_t bytes = 0;
    std::size_t end = first;
    for (; end < absolute.size() && end - first < settings.batchFiles; ++end) {
        const std::string& path = absolute[end];
        const std::string output = settings.direction == Direction::Encrypt
                                       ? path + CryptExtension
                                       : DerivedPlainPath(path);
        if (taken.count(path) != 0 || taken.count(output) != 0)
            break;
        const std::int64_t size = SizeOf(path);
        if (end > first && bytes + size > settings.batchBytes)
            break;
        bytes += size;
        taken.insert(path);
        taken.insert(output);
    }
    return std::max(end, first + 1);
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

    std::size_t started = 0;
    for (std::size_t first = 0; first < files.size() && !front.Stopped();) {
        const std::size_t end = BatchEnd(absolute, first, settings);
        const std::size_t count = end - first;
        FlushGroup outputs;
        FlushGroup wipes;
        std::vector<std::unique_ptr<SplitCrypt>> crypts(count);
        std::vector<bool> taken(count, false);

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
                    crypt->Encrypt(files[index], settings.method, &outputs);
                else
                    crypt->Decrypt(files[index], &outputs);
                crypts[k] = std::move(crypt);
            }
        };
        RunOnThreads(static_cast<unsigned>(std::min<std::size_t>(settings.jobs, count)), work);

        outputs.Flush();
        ByFolder(absolute, first, count, settings.jobs, [&](std::size_t k) {
            if (crypts[k])
                crypts[k]->Complete(outputs, settings.disposal, wipes);
        });
        outputs.Clear();
        wipes.Flush();
        for (auto& crypt : crypts)
            if (crypt)
                crypt->FinishWipe(wipes);
        wipes.Settle();

        for (std::size_t k = 0; k < count; ++k) {
            if (!crypts[k])
                continue;
            ++started;
            front.Finished(first + k, crypts[k]->Outcome());
        }
        // A stop leaves the rest of the batch untouched; started counts what was done.
        if (std::any_of(crypts.begin(), crypts.end(), [](const auto& c) { return !c; }))
            break;
        first = end;
    }
    return started;
}

} // namespace qv
