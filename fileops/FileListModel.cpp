#include "FileListModel.h"

#include "ImageList.h"

#include <QDateTime>
#include <QLocale>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <numeric>

namespace qv {

namespace {

// The longest type name the shell hands out.
constexpr int TypeNameLength = 80;

// What sizes and dates sort by: an entry without details first, then the numbers.
std::pair<bool, std::int64_t> NumberKey(const FileListEntry& entry, int column) {
    if (!entry.Details)
        return {false, 0};
    return {true, column == FileListModel::SizeColumn ? entry.Facts.Size : entry.Facts.ModifiedUtc};
}

// Sorts the positions 0 to count - 1 by a key each, stably, in either direction.
template <typename Key>
std::vector<std::size_t> StableOrder(const std::vector<Key>& keys, bool descending) {
    std::vector<std::size_t> order(keys.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    if (descending)
        std::stable_sort(order.begin(), order.end(),
                         [&](std::size_t a, std::size_t b) { return keys[b] < keys[a]; });
    else
        std::stable_sort(order.begin(), order.end(),
                         [&](std::size_t a, std::size_t b) { return keys[a] < keys[b]; });
    return order;
}

} // namespace

void FileListEntry::SetNames(std::string_view caption, std::string fileName) {
    if (caption.size() > UINT16_MAX ||
        std::string_view(fileName).substr(0, caption.size()) != caption)
        fileName = caption;
    CaptionLength = static_cast<std::uint16_t>(caption.size());
    FileName = std::move(fileName);
}

FileListEntry FileListEntry::Listed(const std::string& fileName, bool showCry, bool& crypted) {
    crypted = IsCryptedFileName(fileName);
    FileListEntry entry;
    entry.SetNames(crypted ? CryptedCaption(fileName, showCry) : fileName, fileName);
    return entry;
}

QString FileDateText(std::int64_t secondsUtc) {
    const QDateTime when = QDateTime::fromSecsSinceEpoch(secondsUtc, Qt::UTC);
    return QLocale::system().toString(when.date(), QLocale::ShortFormat) + ' ' +
           when.time().toString(QStringLiteral("hh:mm:ss"));
}

FileListModel::FileListModel(QObject* parent) : QAbstractTableModel(parent) {}

void FileListModel::SetColumns(const QStringList& captions) {
    // Columns added or taken away as such, so that the views keep the widths of the others.
    const auto had = static_cast<int>(columns_.size());
    const auto wanted = static_cast<int>(captions.size());
    if (wanted > had) {
        beginInsertColumns(QModelIndex(), had, wanted - 1);
        columns_ = captions;
        endInsertColumns();
    } else if (wanted < had) {
        beginRemoveColumns(QModelIndex(), wanted, had - 1);
        columns_ = captions;
        endRemoveColumns();
    } else {
        columns_ = captions;
    }
    if (wanted > 0)
        emit headerDataChanged(Qt::Horizontal, 0, wanted - 1);
}

int FileListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(entries_.size());
}

int FileListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QString FileListModel::TypeText(const FileListEntry& entry) const {
    if (crypted_)
        return QString::fromStdString(DetailsOf(entry.Facts, entry.FileName, true).Method);
    return entry.Type >= 0 ? types_[static_cast<std::size_t>(entry.Type)].Comment : QString();
}

QString FileListModel::Text(int row, int column) const {
    if (row < 0 || row >= rowCount())
        return {};
    const FileListEntry& entry = Entry(row);
    if (column == NameColumn)
        return QString::fromUtf8(entry.Caption().data(),
                                 static_cast<qsizetype>(entry.CaptionLength));
    if (!entry.Details)
        return {};
    switch (column) {
    case SizeColumn:
        return QString::number(entry.Facts.Size);
    case DateColumn:
        return FileDateText(entry.Facts.ModifiedUtc);
    case AttributesColumn:
        return QString::fromLatin1(AttributeLetters(true, entry.Facts.Mode, entry.FileName));
    case TypeColumn:
        return TypeText(entry);
    default:
        return {};
    }
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount())
        return {};
    const FileListEntry& entry = Entry(index.row());
    const bool typed = entry.Type >= 0;
    switch (role) {
    case Qt::DisplayRole:
        return Text(index.row(), index.column());
    case Qt::TextAlignmentRole:
        if (index.column() == SizeColumn)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    case Qt::DecorationRole:
        if (index.column() == NameColumn && typed && images_)
            return images_->Icon(types_[static_cast<std::size_t>(entry.Type)].Image);
        return {};
    case ImageIndexRole:
        if (index.column() == NameColumn && typed)
            return types_[static_cast<std::size_t>(entry.Type)].Image;
        return {};
    default:
        return {};
    }
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columns_.size())
        return {};
    if (role == Qt::DisplayRole)
        return columns_[section];
    if (role == Qt::TextAlignmentRole && section == SizeColumn)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

Qt::ItemFlags FileListModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsDragEnabled |
           Qt::ItemNeverHasChildren;
}

void FileListModel::Reset(std::vector<FileListEntry> entries, std::optional<bool> captionOrder) {
    beginResetModel();
    entries_ = std::move(entries);
    nextId_ = 0;
    for (FileListEntry& entry : entries_)
        entry.Id = nextId_++;
    rowsMoved_ = true;
    orderColumn_ = captionOrder ? NameColumn : -1;
    orderDescending_ = captionOrder.value_or(false);
    ordered_ = captionOrder ? entries_.size() : 0;
    endResetModel();
}

std::vector<std::size_t> FileListModel::CaptionOrder(const std::vector<FileListEntry>& entries,
                                                     bool descending) {
    // Entries from a folder listing come in this order mostly: a look costs far less than a
    // sort.
    auto fold = [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte >= 'A' && byte <= 'Z' ? byte + ('a' - 'A') : byte;
    };
    auto notAfter = [&](std::string_view a, std::string_view b) {
        const std::size_t common = std::min(a.size(), b.size());
        for (std::size_t i = 0; i < common; ++i)
            if (fold(a[i]) != fold(b[i]))
                return fold(a[i]) < fold(b[i]);
        return a.size() <= b.size();
    };
    bool inOrder = !descending;
    for (std::size_t i = 1; inOrder && i < entries.size(); ++i)
        inOrder = notAfter(entries[i - 1].Caption(), entries[i].Caption());
    if (inOrder) {
        std::vector<std::size_t> order(entries.size());
        std::iota(order.begin(), order.end(), std::size_t{0});
        return order;
    }
    std::vector<std::string> keys;
    keys.reserve(entries.size());
    for (const FileListEntry& entry : entries)
        keys.push_back(CaptionKey(entry.Caption()));
    return StableOrder(keys, descending);
}

void FileListModel::Append(FileListEntry entry) {
    const int row = rowCount();
    beginInsertRows(QModelIndex(), row, row);
    entry.Id = nextId_++;
    entries_.push_back(std::move(entry));
    rowsMoved_ = true;
    endInsertRows();
}

void FileListModel::Remove(int row) {
    if (row < 0 || row >= rowCount())
        return;
    beginRemoveRows(QModelIndex(), row, row);
    entries_.erase(entries_.begin() + row);
    if (static_cast<std::size_t>(row) < ordered_)
        --ordered_;
    rowsMoved_ = true;
    endRemoveRows();
}

void FileListModel::Changed(int first, int last) {
    if (first > last || first < 0 || last >= rowCount())
        return;
    if (orderColumn_ != NameColumn)
        orderColumn_ = -1;
    emit dataChanged(index(first, 0), index(last, std::max(columnCount() - 1, 0)));
}

int FileListModel::RowOfId(std::uint32_t id) const {
    if (rowsMoved_) {
        rowOfId_.assign(nextId_, -1);
        for (std::size_t row = 0; row < entries_.size(); ++row)
            rowOfId_[entries_[row].Id] = static_cast<std::int32_t>(row);
        rowsMoved_ = false;
    }
    return id < rowOfId_.size() ? rowOfId_[id] : -1;
}

std::int32_t FileListModel::TypeIndex(const QMimeType& type) {
    const QString name = type.name();
    if (const auto found = typeOfName_.constFind(name); found != typeOfName_.constEnd())
        return *found;
    FileType added;
    added.Comment = type.comment().left(TypeNameLength);
    added.SortKey = CaptionKey(added.Comment.toStdString());
    added.Image = SystemImages().IndexForType(type);
    types_.push_back(std::move(added));
    const auto index = static_cast<std::int32_t>(types_.size() - 1);
    typeOfName_.insert(name, index);
    return index;
}

std::string FileListModel::TextKey(const FileListEntry& entry, int column) const {
    if (column == NameColumn)
        return CaptionKey(entry.Caption());
    if (!entry.Details)
        return {};
    if (column == AttributesColumn)
        return CaptionKey(AttributeLetters(true, entry.Facts.Mode, entry.FileName));
    if (crypted_)
        return CaptionKey(DetailsOf(entry.Facts, entry.FileName, true).Method);
    return entry.Type >= 0 ? types_[static_cast<std::size_t>(entry.Type)].SortKey : std::string();
}

bool FileListModel::Before(const FileListEntry& a, const FileListEntry& b, int column) const {
    if (column == SizeColumn || column == DateColumn)
        return NumberKey(a, column) < NumberKey(b, column);
    return TextKey(a, column) < TextKey(b, column);
}

void FileListModel::Sort(int column, bool descending) {
    if (column < 0 || column >= columnCount())
        return;
    if (column == orderColumn_ && descending == orderDescending_) {
        // A stable sort leaves the entries that are in order as they are, and puts each entry
        // appended since where the first entry greater than it stands: a file added after an
        // operation costs a search, not a sort of the whole list.
        if (rowCount() - static_cast<int>(ordered_) <= MaxInsertedInPlace) {
            for (; ordered_ < entries_.size(); ++ordered_)
                InsertInPlace(static_cast<int>(ordered_));
            return;
        }
    }
    if (column == SizeColumn || column == DateColumn) {
        std::vector<std::pair<bool, std::int64_t>> keys;
        keys.reserve(entries_.size());
        for (const FileListEntry& entry : entries_)
            keys.push_back(NumberKey(entry, column));
        Reorder(StableOrder(keys, descending));
    } else if (column == NameColumn) {
        Reorder(CaptionOrder(entries_, descending));
    } else {
        std::vector<std::string> keys;
        keys.reserve(entries_.size());
        for (const FileListEntry& entry : entries_)
            keys.push_back(TextKey(entry, column));
        Reorder(StableOrder(keys, descending));
    }
    orderColumn_ = column;
    orderDescending_ = descending;
    ordered_ = entries_.size();
}

void FileListModel::InsertInPlace(int row) {
    const FileListEntry& entry = entries_[static_cast<std::size_t>(row)];
    const auto end = entries_.begin() + row;
    const auto place = std::upper_bound(
        entries_.begin(), end, entry, [&](const FileListEntry& a, const FileListEntry& b) {
            return orderDescending_ ? Before(b, a, orderColumn_) : Before(a, b, orderColumn_);
        });
    const int to = static_cast<int>(place - entries_.begin());
    if (to == row)
        return;
    beginMoveRows(QModelIndex(), row, row, QModelIndex(), to);
    std::rotate(place, end, end + 1);
    rowsMoved_ = true;
    endMoveRows();
}

void FileListModel::Reorder(const std::vector<std::size_t>& order) {
    bool same = true;
    for (std::size_t i = 0; same && i < order.size(); ++i)
        same = order[i] == i;
    if (same)
        return; // in order already: nothing moves, and the views need not hear of it
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    // Where each entry goes, for the indexes the views keep (selection, current entry).
    std::vector<int> newRow(order.size());
    for (std::size_t to = 0; to < order.size(); ++to)
        newRow[order[to]] = static_cast<int>(to);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& index : before)
        after << this->index(newRow[static_cast<std::size_t>(index.row())], index.column());
    changePersistentIndexList(before, after);

    std::vector<FileListEntry> sorted;
    sorted.reserve(entries_.size());
    for (std::size_t from : order)
        sorted.push_back(std::move(entries_[from]));
    entries_ = std::move(sorted);
    rowsMoved_ = true;
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

} // namespace qv
