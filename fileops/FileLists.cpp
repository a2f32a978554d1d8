#include "FileLists.h"

#include "FileListBox.h"
#include "FileListView.h"
#include "ImageList.h"
#include "OneFile.h"
#include "Paths.h"
#include "PrgState.h"
#include "ProgramSettings.h"
#include "Pwd.h"

#include <QEventLoop>
#include <QFile>

#include <climits>

namespace qv {

TQV_FileLists::TQV_FileLists(FileListView& source, FileListView& crypted,
                             const TQV_FileListBox& files, TQV_PrgState& state, const TQV_Pwd& pwd,
                             const TQV_Settings& settings, const TQV_ImageList& smallImages,
                             const TQV_ImageList& largeImages, QObject* parent)
    : QObject(parent), source_(source), crypted_(crypted), files_(files), state_(state), pwd_(pwd),
      settings_(settings), smallImages_(smallImages), largeImages_(largeImages) {
    crypted_.Model()->SetCrypted(true);
    // Entries go from one list to the other only: plain files are dropped on the crypted list
    // to be encrypted, crypted files on the plain list to be decrypted.
    source_.SetDropSource(&crypted_);
    crypted_.SetDropSource(&source_);
    auto ask = [this](Direction direction) {
        return [this, direction] { emit CommandRequested(direction); };
    };
    connect(&source_, &FileListView::DoubleClicked, this, ask(Direction::Encrypt));
    connect(&crypted_, &FileListView::DoubleClicked, this, ask(Direction::Decrypt));
    connect(&source_, &FileListView::Dropped, this, ask(Direction::Decrypt));
    connect(&crypted_, &FileListView::Dropped, this, ask(Direction::Encrypt));
    connect(&source_, &FileListView::ColumnClicked, this,
            [this](int column) { ColumnClick(source_, column); });
    connect(&crypted_, &FileListView::ColumnClicked, this,
            [this](int column) { ColumnClick(crypted_, column); });
    // Batches come from the filler's thread and wait in a queue of their own; the first one
    // in an empty queue asks this object's thread to take them.
    filler_ = std::make_unique<TQV_ListFiller>([this](TQV_ListFiller::Batch&& batch) {
        bool wake = false;
        {
            std::lock_guard lock(batchesMutex_);
            wake = batches_.empty();
            batches_.push_back(std::move(batch));
        }
        if (wake)
            QMetaObject::invokeMethod(this, "TakeBatches", Qt::QueuedConnection);
    });
}

TQV_FileLists::~TQV_FileLists() = default;

std::string TQV_FileLists::PathOf(const std::string& fileName) const {
    return JoinPath(files_.Directory(), fileName);
}

bool TQV_FileLists::QuickMode() const {
    return (state_.BusyFlags & ProcessingTree) != 0 && (pwd_.OnePerList || pwd_.OnePassword);
}

void TQV_FileLists::UseImages(FileListView& list) {
    list.Model()->SetImages(list.Style() == ViewStyle::LargeIcons ? &largeImages_ : &smallImages_);
}

void TQV_FileLists::ReadFLists() {
    Fill(nullptr, nullptr, nullptr);
}

void TQV_FileLists::ReadFolder(const std::string& directory, TQV_FileListBox& files,
                               TQV_FileListBox& folders) {
    Fill(&directory, &files, &folders);
}

void TQV_FileLists::Fill(const std::string* directory, TQV_FileListBox* files,
                         TQV_FileListBox* folders) {
    const std::uint64_t generation = ++generation_;
    filler_->Stop();
    factsPending_ = false;
    typesPending_ = false;
    // A read still waiting for its details gives way to this one.
    if (awaiting_)
        awaiting_->quit();
    for (FileListView* list : {&source_, &crypted_}) {
        UseImages(*list);
        list->Model()->Reset({});
    }
    if (Status)
        Status("Retrieving directory contents...");

    const bool quick = QuickMode();
    // Without details there is little to do but the listing: it is read here.
    if (directory && quick)
        TQV_FileListBox::ReadBoth(*directory, *files, *folders);
    // With the folder read on the filler's thread, the listing is known when it comes.
    if (!(directory && !quick) && !files_.Items().empty())
        state_.ListDetails = !quick;
    filesOut_ = nullptr;
    foldersOut_ = nullptr;
    if (quick) {
        // Captions alone, as fast as they can be had: there is nothing to wait for.
        std::vector<FileListEntry> entries[2];
        for (const std::string& name : files_.Items()) {
            bool crypted = false;
            FileListEntry entry = FileListEntry::Listed(name, settings_.ShowCry, crypted);
            entries[crypted ? 1 : 0].push_back(std::move(entry));
        }
        source_.Model()->Reset(std::move(entries[0]));
        crypted_.Model()->Reset(std::move(entries[1]));
        // Drawn again also where a read this one took over from held the drawing back.
        for (FileListView* list : {&source_, &crypted_})
            list->HoldDrawing(false);
    } else {
        TQV_ListFiller::Listing listing;
        if (directory) {
            listing.Directory = *directory;
            filesOut_ = files;
            foldersOut_ = folders;
        } else {
            listing.Directory = files_.Directory();
            listing.Names = files_.SharedItems();
        }
        listing.ShowCry = settings_.ShowCry;
        // In order at once when the order is by captions, so that the first screen shows the
        // entries where they stay.
        if (SortColumn == FileListModel::NameColumn)
            listing.CaptionOrder = SortDescending;
        factsPending_ = true;
        typesPending_ = true;
        // The lists are not drawn empty in between: a small folder comes within a few
        // milliseconds, and the lists would flicker.
        for (FileListView* list : {&source_, &crypted_})
            list->HoldDrawing(true);
        filler_->Start(generation, std::move(listing));
        const bool done = Await(generation, factsPending_);
        if (generation != generation_)
            return; // a newer read has the lists
        for (FileListView* list : {&source_, &crypted_})
            list->HoldDrawing(false);
        if (!done)
            return; // the application is quitting
    }
    if (Status)
        Status(IdleMessage);
    SortList(source_);
    SortList(crypted_);
}

bool TQV_FileLists::Await(std::uint64_t generation, const bool& pending) {
    QEventLoop loop;
    QEventLoop* outer = std::exchange(awaiting_, &loop);
    // The loop ends when the batch that ends the wait comes, when a newer read begins, and
    // when the application quits (its loops then return at once).
    while (pending && generation == generation_)
        if (loop.exec() != 0)
            break;
    awaiting_ = outer;
    return !pending && generation == generation_;
}

void TQV_FileLists::AwaitTypes() {
    if (typesPending_)
        Await(generation_, typesPending_);
}

void TQV_FileLists::TakeBatches() {
    std::vector<TQV_ListFiller::Batch> taken;
    {
        std::lock_guard lock(batchesMutex_);
        taken.swap(batches_);
    }
    for (TQV_ListFiller::Batch& batch : taken)
        Take(batch);
}

void TQV_FileLists::Take(TQV_ListFiller::Batch& batch) {
    if (batch.Generation != generation_)
        return;
    if (batch.Files && filesOut_ && foldersOut_) {
        *filesOut_ = *batch.Files;
        *foldersOut_ = *batch.Folders;
        if (!files_.Items().empty())
            state_.ListDetails = true;
    }
    if (batch.HasEntries)
        for (ListSide side : {ListSide::Plain, ListSide::Crypted}) {
            const int index = TQV_ListFiller::Index(side);
            FileListModel& model = *ListOf(side).Model();
            std::vector<std::int32_t> types;
            for (const QMimeType& type : batch.NameTypes[index])
                types.push_back(model.TypeIndex(type));
            std::vector<FileListEntry>& entries = batch.Entries[index];
            for (FileListEntry& entry : entries)
                entry.Type = types[static_cast<std::size_t>(entry.Type)];
            std::optional<bool> captionOrder;
            if (SortColumn == FileListModel::NameColumn)
                captionOrder = SortDescending;
            model.Reset(std::move(entries), captionOrder);
            ListOf(side).HoldDrawing(false);
            // Whoever heard of the reset may have begun a newer read.
            if (batch.Generation != generation_)
                return;
        }
    struct Rows {
        int first = INT_MAX;
        int last = -1;
    } changed[2];
    auto entryOf = [&](ListSide side, std::uint32_t id) -> FileListEntry* {
        FileListModel& model = *ListOf(side).Model();
        const int row = model.RowOfId(id);
        if (row < 0)
            return nullptr; // removed meanwhile
        Rows& rows = changed[side == ListSide::Plain ? 0 : 1];
        rows.first = std::min(rows.first, row);
        rows.last = std::max(rows.last, row);
        return &model.EditEntry(row);
    };
    for (const TQV_ListFiller::Fact& fact : batch.Facts) {
        // A file that cannot be read keeps no details, as it had none before.
        if (!fact.Read)
            continue;
        if (FileListEntry* entry = entryOf(fact.List, fact.Id)) {
            entry->Facts = fact.Facts;
            entry->Details = true;
        }
    }
    for (const TQV_ListFiller::Type& type : batch.Types)
        if (FileListEntry* entry = entryOf(type.List, type.Id)) {
            entry->Type = ListOf(type.List).Model()->TypeIndex(type.Mime);
        }
    for (ListSide side : {ListSide::Plain, ListSide::Crypted})
        if (const Rows& rows = changed[side == ListSide::Plain ? 0 : 1]; rows.last >= 0)
            ListOf(side).Model()->Changed(rows.first, rows.last);

    if (batch.FactsDone)
        factsPending_ = false;
    if (batch.TypesDone) {
        typesPending_ = false;
        // A list sorted by its type column while types were still coming in is sorted again,
        // in the order it shows.
        for (FileListView* list : {&source_, &crypted_})
            if (list->SortedColumn() == FileListModel::TypeColumn)
                list->Sort(list->SortedColumn(), list->SortedDescending());
    }
    if ((batch.FactsDone || batch.TypesDone) && awaiting_)
        awaiting_->quit();
}

void TQV_FileLists::AddListItem(FileListView& list, const std::string& caption) {
    const std::string fileName =
        IsCrypted(list) ? CryptedFileName(files_.Directory(), caption, settings_.ShowCry) : caption;
    AddEntry(list, caption, fileName);
}

void TQV_FileLists::AddEntry(FileListView& list, const std::string& caption,
                             const std::string& fileName) {
    FileListEntry entry;
    entry.SetNames(caption, fileName);
    const bool quick = QuickMode();
    state_.ListDetails = !quick;
    if (!quick) {
        // The entry is complete before it joins the list, so the views hear of it once.
        const std::string path = PathOf(fileName);
        entry.Type =
            list.Model()->TypeIndex(mime_.mimeTypeForFile(QFile::decodeName(path.c_str())));
        entry.Details = ListedFileReader().Read(path, IsCrypted(list), entry.Facts);
    }
    UseImages(list);
    list.Model()->Append(std::move(entry));
}

int TQV_FileLists::GetImageIndex(const std::string& fileName) {
    return SystemImages().IndexForType(
        mime_.mimeTypeForFile(QFile::decodeName(PathOf(fileName).c_str())));
}

void TQV_FileLists::GetFileInfo(FileListView& list, int index) {
    FileListModel& model = *list.Model();
    if (index < 0 || index >= model.rowCount())
        return;
    const std::string path = PathOf(model.Entry(index).FileName);
    FileFacts facts;
    if (!ListedFileReader().Read(path, IsCrypted(list), facts))
        return;
    FileListEntry& entry = model.EditEntry(index);
    entry.Facts = facts;
    entry.Details = true;
    if (!IsCrypted(list)) {
        entry.Type = model.TypeIndex(mime_.mimeTypeForFile(QFile::decodeName(path.c_str())));
    }
    model.Changed(index, index);
}

std::string TQV_FileLists::FileNameOf(const FileListView& list, int row) const {
    const FileListModel& model = *list.Model();
    if (row < 0 || row >= model.rowCount())
        return {};
    return model.Entry(row).FileName;
}

int TQV_FileLists::FindCaption(const FileListView& list, const std::string& caption) const {
    const FileListModel& model = *list.Model();
    // Two files may differ in letter case only; the one named exactly is meant first.
    for (int row = 0; row < model.rowCount(); ++row)
        if (model.Entry(row).Caption() == caption)
            return row;
    const QString wanted = QString::fromStdString(caption);
    for (int row = 0; row < model.rowCount(); ++row)
        if (model.Text(row, FileListModel::NameColumn).compare(wanted, Qt::CaseInsensitive) == 0)
            return row;
    return -1;
}

void TQV_FileLists::RemoveListItem(FileListView& list, const std::string& caption) {
    const int row = FindCaption(list, caption);
    if (row >= 0)
        list.Model()->Remove(row);
}

void TQV_FileLists::UpdateFLists(const std::string& name, const std::string& newName,
                                 bool keepOther, Direction direction) {
    const ListMove move = MovedCaptions(name, newName, direction, settings_.ShowCry);
    FileListView& target = direction == Direction::Encrypt ? crypted_ : source_;
    FileListView& other = direction == Direction::Encrypt ? source_ : crypted_;
    AddListItem(target, move.Caption);
    SortList(target);
    if (!keepOther)
        RemoveListItem(other, move.OldCaption);
}

void TQV_FileLists::SortList(FileListView& list) {
    // Entries added without details have nothing to order by in a detail column.
    if (SortColumn != 0 && !state_.ListDetails)
        return;
    list.Sort(SortColumn, SortDescending);
}

void TQV_FileLists::ColumnClick(FileListView& list, int column) {
    if (!state_.ListDetails)
        return;
    SortColumn = column;
    SortDescending = !SortDescending;
    SortList(list);
}

} // namespace qv
