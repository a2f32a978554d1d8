// Fills the two file lists from a folder listing on a thread of its own, so that the window
// answers while a folder of many thousand files is read. In three steps, each handed out as it
// is done: the entries of both lists, with captions, the types their names tell and their order
// by captions; the facts of every file (size, date, attributes, the method of a crypted file),
// the entries at the top of the lists first; and each file's type as a full look at the file
// tells it. Results go out in batches, a few each tenth of a second.
#pragma once

#include "FileListBox.h"
#include "FileListModel.h"
#include "ListEntries.h"

#include <QMimeType>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace qv {

class TQV_ListFiller {
public:
    // What the lists are filled from.
    struct Listing {
        std::string Directory;
        // The folder's files, in the listing's order; never changed while it is read. Without
        // them the filler reads the folder first, its files and its subfolders.
        std::shared_ptr<const std::vector<std::string>> Names;
        bool ShowCry = false; // crypted files are shown with their ".cry"
        // When set, the entries come ordered by their captions, descending when it holds true.
        std::optional<bool> CaptionOrder;
    };
    // The facts of one file, named by its list and the entry's id there.
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
        // In the first batch: the entries of the plain and of the crypted list, their ids their
        // positions; their Type indexes name the types of NameTypes.
        bool HasEntries = false;
        // The folder's listings, when the filler read the folder.
        std::optional<TQV_FileListBox> Files;
        std::optional<TQV_FileListBox> Folders;
        std::vector<FileListEntry> Entries[2];
        std::vector<QMimeType> NameTypes[2];
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

    // Starts on a new listing; the work for an earlier one is dropped.
    void Start(std::uint64_t generation, Listing listing);
    // Drops the work in hand.
    void Stop();

    static int Index(ListSide side) { return side == ListSide::Plain ? 0 : 1; }

private:
    struct Job {
        std::uint64_t Generation = 0;
        Listing From;
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
