// Reads the details and the content types of listed files on a thread of its own, so that the
// window answers while a folder of many thousand files is read: first the facts of every file
// (size, date, attributes, the method of a crypted file), then each file's type as its content
// tells it. Results go out in batches, a few each tenth of a second.
#pragma once

#include "ListEntries.h"

#include <QMimeType>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace qv {

class TQV_ListFiller {
public:
    // A file to read, named by its list and the entry's id there.
    struct Item {
        ListSide List = ListSide::Plain;
        std::uint32_t Id = 0;
        std::string FileName;
    };
    struct Fact {
        ListSide List = ListSide::Plain;
        std::uint32_t Id = 0;
        bool Read = false; // false: the file could not be asked or read, it shows no details
        FileFacts Facts;
    };
    struct Type {
        ListSide List = ListSide::Plain;
        std::uint32_t Id = 0;
        QMimeType Mime;
    };
    struct Batch {
        std::uint64_t Generation = 0;
        std::vector<Fact> Facts;
        std::vector<Type> Types;
        bool FactsDone = false; // the facts of every file have been handed out
        bool TypesDone = false; // and the types of every file
    };
    // Takes each batch; called on the filler's thread.
    using Deliver = std::function<void(Batch&&)>;

    explicit TQV_ListFiller(Deliver deliver);
    TQV_ListFiller(const TQV_ListFiller&) = delete;
    TQV_ListFiller& operator=(const TQV_ListFiller&) = delete;
    ~TQV_ListFiller();

    // Starts on the files of a new listing, in the order given: the facts of facts, then the
    // types of types. The work for an earlier listing is dropped.
    void Start(std::uint64_t generation, std::string directory, std::vector<Item> facts,
               std::vector<Item> types);
    // Drops the work in hand.
    void Stop();

private:
    struct Job {
        std::uint64_t Generation = 0;
        std::string Directory;
        std::vector<Item> Facts;
        std::vector<Item> Types;
    };

    void Run();
    void Work(const Job& job);
    bool Dropped(const Job& job) const { return wanted_.load() != job.Generation; }

    Deliver deliver_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::optional<Job> next_;
    bool quit_ = false;
    std::atomic<std::uint64_t> wanted_{0}; // the generation whose work is wanted; 0: none
    std::thread thread_;
};

} // namespace qv
