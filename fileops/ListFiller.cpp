#include "ListFiller.h"

#include "Paths.h"

#include <QFile>
#include <QMimeDatabase>

#include <algorithm>
#include <chrono>
#include <climits>
#include <unordered_map>

namespace qv {

namespace {

using Clock = std::chrono::steady_clock;

// A batch goes out when it is this old or this large, whichever comes first: often enough for
// the rows on screen to fill while the user watches, seldom enough for the window's thread to
// take each batch in one go.
constexpr auto BatchAge = std::chrono::milliseconds(15);
constexpr std::size_t BatchSize = 4096;
// How many files are read between two looks at whether the work is still wanted.
constexpr std::size_t CheckEvery = 64;
// The entries at the top of each list, whose facts and types are read first: more than a
// screenful.
constexpr std::size_t LeadingRows = 200;

// The types file names tell by their extensions, each extension looked up once.
class TypesByName {
public:
    explicit TypesByName(const QMimeDatabase& mime) : mime_(mime) {}

    std::int32_t Of(const std::string& fileName) {
        // Names without an extension may be told by their whole name ("Makefile"), so they are
        // looked up each.
        const std::size_t dot = fileName.rfind('.');
        std::string key = dot == std::string::npos || dot == 0 ? fileName : fileName.substr(dot);
        if (const auto found = indexOf_.find(key); found != indexOf_.end())
            return found->second;
        const QMimeType type = mime_.mimeTypeForFile(QFile::decodeName(fileName.c_str()),
                                                     QMimeDatabase::MatchExtension);
        auto index = static_cast<std::int32_t>(types_.size());
        for (std::size_t i = 0; i < types_.size(); ++i)
            if (types_[i] == type)
                index = static_cast<std::int32_t>(i);
        if (index == static_cast<std::int32_t>(types_.size()))
            types_.push_back(type);
        indexOf_.emplace(std::move(key), index);
        return index;
    }

    std::vector<QMimeType> Take() { return std::move(types_); }

private:
    const QMimeDatabase& mime_;
    std::unordered_map<std::string, std::int32_t> indexOf_;
    std::vector<QMimeType> types_;
};

} // namespace

TQV_ListFiller::TQV_ListFiller(Deliver deliver)
    : deliver_(std::move(deliver)), thread_([this] { Run(); }) {}

TQV_ListFiller::~TQV_ListFiller() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
        wanted_ = 0;
    }
    wake_.notify_one();
    thread_.join();
}

void TQV_ListFiller::Start(std::uint64_t generation, Listing listing) {
    {
        std::lock_guard lock(mutex_);
        next_ = Job{generation, std::move(listing)};
        wanted_ = generation;
    }
    wake_.notify_one();
}

void TQV_ListFiller::Stop() {
    std::lock_guard lock(mutex_);
    next_.reset();
    wanted_ = 0;
}

void TQV_ListFiller::Run() {
    // The type database is loaded on its first use; here, while the window is still being
    // built, rather than when the first folder is read.
    QMimeDatabase().mimeTypeForFile(QStringLiteral("a.txt"), QMimeDatabase::MatchExtension);
    for (;;) {
        Job job;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return quit_ || next_.has_value(); });
            if (quit_)
                return;
            job = std::move(*next_);
            next_.reset();
        }
        Work(job);
    }
}

void TQV_ListFiller::Work(const Job& job) {
    const Listing& from = job.From;
    Batch batch;
    batch.Generation = job.Generation;
    batch.HasEntries = true;
    std::shared_ptr<const std::vector<std::string>> listed = from.Names;
    if (!listed) {
        batch.Files.emplace(TQV_FileListBox::Kind::Files);
        batch.Folders.emplace(TQV_FileListBox::Kind::Directories);
        TQV_FileListBox::ReadBoth(from.Directory, *batch.Files, *batch.Folders);
        listed = batch.Files->SharedItems();
    }
    const std::vector<std::string>& names = *listed;
    const QMimeDatabase mime;

    // The entries, and for each the position of its file in the listing.
    std::vector<std::uint32_t> source[2];
    {
        TypesByName byName[2] = {TypesByName(mime), TypesByName(mime)};
        // Each list's room made once, and no more than it needs.
        const auto crypted =
            static_cast<std::size_t>(std::count_if(names.begin(), names.end(), IsCryptedFileName));
        for (int side : {0, 1}) {
            const std::size_t count = side == 1 ? crypted : names.size() - crypted;
            source[side].reserve(count);
            batch.Entries[side].reserve(count);
        }
        for (std::size_t i = 0; i < names.size(); ++i) {
            const std::string& name = names[i];
            bool crypted = false;
            FileListEntry entry = FileListEntry::Listed(name, from.ShowCry, crypted);
            const int side = crypted ? 1 : 0;
            entry.Type = byName[side].Of(name);
            batch.Entries[side].push_back(std::move(entry));
            source[side].push_back(static_cast<std::uint32_t>(i));
        }
        for (int side : {0, 1}) {
            batch.NameTypes[side] = byName[side].Take();
            std::vector<FileListEntry>& entries = batch.Entries[side];
            if (from.CaptionOrder) {
                const std::vector<std::size_t> order =
                    FileListModel::CaptionOrder(entries, *from.CaptionOrder);
                if (std::is_sorted(order.begin(), order.end()))
                    continue; // the listing's order is the captions' order already
                std::vector<FileListEntry> sorted;
                std::vector<std::uint32_t> sortedSource;
                sorted.reserve(entries.size());
                sortedSource.reserve(entries.size());
                for (std::size_t at : order) {
                    sorted.push_back(std::move(entries[at]));
                    sortedSource.push_back(source[side][at]);
                }
                entries = std::move(sorted);
                source[side] = std::move(sortedSource);
            }
        }
        for (std::vector<FileListEntry>& entries : batch.Entries)
            for (std::size_t position = 0; position < entries.size(); ++position)
                entries[position].Id = static_cast<std::uint32_t>(position);
    }
    if (Dropped(job))
        return;
    deliver_(std::move(batch));

    batch = Batch{};
    batch.Generation = job.Generation;
    auto sent = Clock::now();
    auto send = [&](bool now) {
        if (!now && batch.Facts.size() + batch.Types.size() < BatchSize &&
            Clock::now() - sent < BatchAge)
            return;
        deliver_(std::move(batch));
        batch = Batch{};
        batch.Generation = job.Generation;
        sent = Clock::now();
    };
    // Every entry once, the top of each list first, then the rest of the plain list and the
    // rest of the crypted list; false when the work was dropped.
    auto forEach = [&](auto&& work) {
        const std::pair<int, std::pair<std::size_t, std::size_t>> parts[] = {
            {0, {0, LeadingRows}},
            {1, {0, LeadingRows}},
            {0, {LeadingRows, SIZE_MAX}},
            {1, {LeadingRows, SIZE_MAX}}};
        std::size_t done = 0;
        for (const auto& [side, range] : parts)
            for (std::size_t position = range.first;
                 position < std::min(range.second, source[side].size()); ++position) {
                if (done++ % CheckEvery == 0 && Dropped(job))
                    return false;
                work(side == 0 ? ListSide::Plain : ListSide::Crypted,
                     static_cast<std::uint32_t>(position), names[source[side][position]]);
                send(false);
            }
        return true;
    };

    const ListedFileReader reader(from.Directory);
    if (!forEach([&](ListSide side, std::uint32_t id, const std::string& name) {
            Fact fact{side, id, false, {}};
            fact.Read = reader.Read(name, side == ListSide::Crypted, fact.Facts);
            batch.Facts.push_back(fact);
        }))
        return;
    batch.FactsDone = true;
    send(true);

    // The type as a full look at the file tells it: by its name where that is unambiguous,
    // else by its content.
    if (!forEach([&](ListSide side, std::uint32_t id, const std::string& name) {
            const std::string path = JoinPath(from.Directory, name);
            batch.Types.push_back(
                {side, id, mime.mimeTypeForFile(QFile::decodeName(path.c_str()))});
        }))
        return;
    batch.TypesDone = true;
    send(true);
}

} // namespace qv
