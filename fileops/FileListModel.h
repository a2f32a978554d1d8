// The entries of one file list, for its views: a caption, an icon and the details of each file,
// held in one vector of plain records and turned into texts only for the rows a view draws, so
// that a folder of 100,000 files is listed, sorted and drawn without an object for every cell.
#pragma once

#include "ListEntries.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QMimeType>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

class TQV_ImageList;

// Item data of a list entry beside its texts.
enum FileListRole {
    ImageIndexRole = Qt::UserRole + 1, // column 0: index in the image lists
};

// The date column's text: the time as the file system keeps it (UTC, not turned into local
// time) in the user's short date format, a blank and the time as "hh:mm:ss".
QString FileDateText(std::int64_t secondsUtc);

// One entry of a list. Its caption is the start of its file name (the name itself, or the name
// of a crypted file without its ".cry"), so the name is kept once.
struct FileListEntry {
    std::string FileName; // the file the entry stands for, in the listed directory
    std::uint16_t CaptionLength = 0;
    bool Details = false;   // the facts were read: size, date, attributes and method are shown
    std::int32_t Type = -1; // index in the model's file types; -1: neither icon nor type name
    std::uint32_t Id = 0;   // given by the model: finds the entry again when details come later
    FileFacts Facts;

    // As shown, byte for byte as the file system names the file.
    std::string_view Caption() const { return std::string_view(FileName).substr(0, CaptionLength); }
    // The caption is the start of the file name whenever the lists make an entry; a caption
    // that is not is taken as the name too.
    void SetNames(std::string_view caption, std::string fileName);
    // The entry of a listed file: in the crypted list when its name says it is crypted
    // (crypted is set then), with its caption there as ShowCry has it.
    static FileListEntry Listed(const std::string& fileName, bool showCry, bool& crypted);
};

class FileListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    static constexpr int NameColumn = 0;
    static constexpr int SizeColumn = 1;
    static constexpr int DateColumn = 2;
    static constexpr int AttributesColumn = 3;
    static constexpr int TypeColumn = 4;

    explicit FileListModel(QObject* parent = nullptr);

    // The list of crypted files shows the method of each in the type column.
    void SetCrypted(bool crypted) { crypted_ = crypted; }
    // The icons the entries show; none without.
    void SetImages(const TQV_ImageList* images) { images_ = images; }

    // The column captions; the size column's caption reads right-aligned, like its numbers.
    void SetColumns(const QStringList& captions);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // A drop starts a command and never moves entries.
    Qt::DropActions supportedDragActions() const override { return Qt::CopyAction; }
    Qt::DropActions supportedDropActions() const override { return Qt::CopyAction; }

    // The order of entries by their captions: the positions of the entries, sorted stably.
    static std::vector<std::size_t> CaptionOrder(const std::vector<FileListEntry>& entries,
                                                 bool descending);

    // Every entry replaced at once, in one reset of the views. Unless captionOrder is empty
    // the entries come in the order by captions, descending when it holds true.
    void Reset(std::vector<FileListEntry> entries, std::optional<bool> captionOrder = {});
    void Append(FileListEntry entry);
    void Remove(int row);

    const FileListEntry& Entry(int row) const { return entries_[static_cast<std::size_t>(row)]; }
    // The entry at row, to be changed; Changed tells the views afterwards.
    FileListEntry& EditEntry(int row) { return entries_[static_cast<std::size_t>(row)]; }
    // Entries first to last were changed: the views draw them again, and an order by a column
    // other than the captions no longer holds.
    void Changed(int first, int last);
    // The row of the entry with this id, or -1 when it is gone.
    int RowOfId(std::uint32_t id) const;
    // The text a cell shows.
    QString Text(int row, int column) const;

    // The index of a file type in this list's table of types, adding it when it is new.
    std::int32_t TypeIndex(const QMimeType& type);

    // Orders the entries by a column in a stable sort: captions and the attribute and type
    // texts without regard to the case of a to z, sizes and dates by their values, an entry
    // without details before every entry with them. Selections follow their entries.
    void Sort(int column, bool descending);

private:
    struct FileType {
        QString Comment;     // shown, at most the length the shell hands out
        std::string SortKey; // the comment as it compares
        int Image = 0;       // index in the image lists
    };

    QString TypeText(const FileListEntry& entry) const;
    std::string TextKey(const FileListEntry& entry, int column) const;
    // Whether a comes before b in the ascending order by column.
    bool Before(const FileListEntry& a, const FileListEntry& b, int column) const;
    // Moves the entry at row up to its place among the ordered entries before it.
    void InsertInPlace(int row);
    void Reorder(const std::vector<std::size_t>& order);

    std::vector<FileListEntry> entries_;
    std::vector<FileType> types_;
    QHash<QString, std::int32_t> typeOfName_;
    QStringList columns_;
    const TQV_ImageList* images_ = nullptr;
    bool crypted_ = false;
    std::uint32_t nextId_ = 0;
    mutable std::vector<std::int32_t> rowOfId_; // rebuilt when entries moved
    mutable bool rowsMoved_ = true;
    // The order the first ordered_ entries are in, a column and a direction (-1: none); the
    // entries after them were appended since.
    static constexpr int MaxInsertedInPlace = 64;
    int orderColumn_ = -1;
    bool orderDescending_ = false;
    std::size_t ordered_ = 0;
};

} // namespace qv
