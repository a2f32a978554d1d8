#include "ListFiller.h"

#include "Paths.h"

#include <QFile>
#include <QMimeDatabase>

#include <chrono>

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

void TQV_ListFiller::Start(std::uint64_t generation, std::string directory, std::vector<Item> facts,
                           std::vector<Item> types) {
    {
        std::lock_guard lock(mutex_);
        next_ = Job{generation, std::move(directory), std::move(facts), std::move(types)};
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
    Batch batch;
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

    const ListedFileReader reader(job.Directory);
    for (std::size_t i = 0; i < job.Facts.size(); ++i) {
        if (i % CheckEvery == 0 && Dropped(job))
            return;
        const Item& item = job.Facts[i];
        Fact fact{item.List, item.Id, false, {}};
        fact.Read = reader.Read(item.FileName, item.List == ListSide::Crypted, fact.Facts);
        batch.Facts.push_back(fact);
        send(false);
    }
    batch.FactsDone = true;
    send(true);

    // The type as a full look at the file tells it: by its name where that is unambiguous,
    // else by its content.
    const QMimeDatabase mime;
    for (std::size_t i = 0; i < job.Types.size(); ++i) {
        if (i % CheckEvery == 0 && Dropped(job))
            return;
        const Item& item = job.Types[i];
        const std::string path = JoinPath(job.Directory, item.FileName);
        batch.Types.push_back(
            {item.List, item.Id, mime.mimeTypeForFile(QFile::decodeName(path.c_str()))});
        send(false);
    }
    batch.TypesDone = true;
    send(true);
}

} // namespace qv
