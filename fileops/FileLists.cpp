#include "FileLists.h"

#include "FileListBox.h"
#include "FileListView.h"
#include "ImageList.h"
#include "OneFile.h"
#include "Paths.h"
#include "PrgState.h"
#include "ProgramSettings.h"
#include "Pwd.h"

#include <QDateTime>
#include <QFile>
#include <QLocale>
#include <QStandardItemModel>

namespace qv {

namespace {

constexpr int SizeColumn = 1;
constexpr int DateColumn = 2;
constexpr int AttributesColumn = 3;
constexpr int TypeColumn = 4;
// The longest type name the shell hands out.
constexpr int TypeNameLength = 80;

// An entry's cell. Sizes and dates compare by their values; captions, attributes and type names
// by their texts. A cell without details sorts before every cell with them.
class FileListItem : public QStandardItem {
public:
    FileListItem() { setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsDragEnabled); }
    explicit FileListItem(const QString& text) : FileListItem() { setText(text); }

    QStandardItem* clone() const override { return new FileListItem(*this); }

    bool operator<(const QStandardItem& other) const override {
        const QVariant mine = data(SortValueRole);
        const QVariant theirs = other.data(SortValueRole);
        if (mine.isValid() || theirs.isValid()) {
            if (!mine.isValid() || !theirs.isValid())
                return !mine.isValid() && theirs.isValid();
            return mine.toLongLong() < theirs.toLongLong();
        }
        return CompareCaptions(text().toStdString(), other.text().toStdString()) < 0;
    }

private:
    FileListItem(const FileListItem& other) = default;
};

QList<QStandardItem*> RowOf(const QStandardItemModel& model, int row) {
    QList<QStandardItem*> cells;
    for (int column = 0; column < model.columnCount(); ++column)
        cells << model.item(row, column);
    return cells;
}

void SetCell(const QList<QStandardItem*>& cells, int column, const QString& text,
             const QVariant& sortValue = QVariant()) {
    if (column >= cells.size() || !cells[column])
        return;
    cells[column]->setText(text);
    if (sortValue.isValid())
        cells[column]->setData(sortValue, SortValueRole);
}

} // namespace

QString FileDateText(std::int64_t secondsUtc) {
    const QDateTime when = QDateTime::fromSecsSinceEpoch(secondsUtc, Qt::UTC);
    return QLocale::system().toString(when.date(), QLocale::ShortFormat) + ' ' +
           when.time().toString(QStringLiteral("hh:mm:ss"));
}

TQV_FileLists::TQV_FileLists(FileListView& source, FileListView& crypted,
                             const TQV_FileListBox& files, TQV_PrgState& state, const TQV_Pwd& pwd,
                             const TQV_Settings& settings, const TQV_ImageList& smallImages,
                             const TQV_ImageList& largeImages, QObject* parent)
    : QObject(parent), source_(source), crypted_(crypted), files_(files), state_(state), pwd_(pwd),
      settings_(settings), smallImages_(smallImages), largeImages_(largeImages) {
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
}

std::string TQV_FileLists::PathOf(const std::string& fileName) const {
    return JoinPath(files_.Directory(), fileName);
}

void TQV_FileLists::ReadFLists() {
    for (FileListView* list : {&source_, &crypted_}) {
        list->setUpdatesEnabled(false);
        list->Model()->removeRows(0, list->Model()->rowCount());
    }
    if (Status)
        Status("Retrieving directory contents...");
    for (const std::string& name : files_.Items()) {
        if (IsCryptedFileName(name))
            AddEntry(crypted_, CryptedCaption(name, settings_.ShowCry), name);
        else
            AddEntry(source_, name, name);
    }
    if (Status)
        Status(IdleMessage);
    for (FileListView* list : {&source_, &crypted_}) {
        list->setUpdatesEnabled(true);
        SortList(*list);
    }
}

void TQV_FileLists::AddListItem(FileListView& list, const std::string& caption) {
    const std::string fileName =
        IsCrypted(list) ? CryptedFileName(files_.Directory(), caption, settings_.ShowCry) : caption;
    AddEntry(list, caption, fileName);
}

void TQV_FileLists::AddEntry(FileListView& list, const std::string& caption,
                             const std::string& fileName) {
    QStandardItemModel& model = *list.Model();
    QList<QStandardItem*> cells;
    auto* name = new FileListItem(QString::fromStdString(caption));
    // The name as the directory has it, byte for byte, whatever the caption shows.
    name->setData(QByteArray::fromStdString(fileName), FileNameRole);
    cells << name;
    for (int column = 1; column < model.columnCount(); ++column)
        cells << new FileListItem();
    if (SizeColumn < cells.size())
        cells[SizeColumn]->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);

    const bool quick =
        (state_.BusyFlags & ProcessingTree) != 0 && (pwd_.OnePerList || pwd_.OnePassword);
    state_.ListDetails = !quick;
    if (!quick) {
        // The entry is complete before it joins the list, so the views hear of it once.
        const QMimeType type = mime_.mimeTypeForFile(QFile::decodeName(PathOf(fileName).c_str()));
        const int image = SystemImages().IndexForType(type);
        const TQV_ImageList& images =
            list.Style() == ViewStyle::LargeIcons ? largeImages_ : smallImages_;
        name->setData(image, ImageIndexRole);
        name->setIcon(images.Icon(image));
        FillDetails(cells, fileName, IsCrypted(list), &type);
    }
    model.appendRow(cells);
}

int TQV_FileLists::GetImageIndex(const std::string& fileName) {
    return SystemImages().IndexForType(
        mime_.mimeTypeForFile(QFile::decodeName(PathOf(fileName).c_str())));
}

void TQV_FileLists::GetFileInfo(FileListView& list, int index) {
    if (index < 0 || index >= list.Model()->rowCount())
        return;
    FillDetails(RowOf(*list.Model(), index), FileNameOf(list, index), IsCrypted(list), nullptr);
}

void TQV_FileLists::FillDetails(const QList<QStandardItem*>& cells, const std::string& fileName,
                                bool crypted, const QMimeType* type) {
    const std::string path = PathOf(fileName);
    FileDetails details;
    if (!ReadFileDetails(path, crypted, details))
        return;
    SetCell(cells, SizeColumn, QString::number(details.Size), qint64{details.Size});
    SetCell(cells, DateColumn, FileDateText(details.ModifiedUtc), qint64{details.ModifiedUtc});
    SetCell(cells, AttributesColumn, QString::fromStdString(details.Attributes));
    if (crypted) {
        SetCell(cells, TypeColumn, QString::fromStdString(details.Method));
        return;
    }
    const QString typeName =
        (type ? *type : mime_.mimeTypeForFile(QFile::decodeName(path.c_str()))).comment();
    if (!typeName.isEmpty())
        SetCell(cells, TypeColumn, typeName.left(TypeNameLength));
}

std::string TQV_FileLists::FileNameOf(const FileListView& list, int row) const {
    const QStandardItem* name = list.Model()->item(row, 0);
    if (!name)
        return {};
    const QVariant stored = name->data(FileNameRole);
    if (stored.isValid())
        return stored.toByteArray().toStdString();
    const std::string caption = name->text().toStdString();
    return IsCrypted(list) ? CryptedFileName(files_.Directory(), caption, settings_.ShowCry)
                           : caption;
}

int TQV_FileLists::FindCaption(const FileListView& list, const std::string& caption) const {
    const QStandardItemModel& model = *list.Model();
    const QString wanted = QString::fromStdString(caption);
    // Two files may differ in letter case only; the one named exactly is meant first.
    for (Qt::CaseSensitivity sensitivity : {Qt::CaseSensitive, Qt::CaseInsensitive})
        for (int row = 0; row < model.rowCount(); ++row)
            if (const QStandardItem* name = model.item(row, 0);
                name && name->text().compare(wanted, sensitivity) == 0)
                return row;
    return -1;
}

void TQV_FileLists::RemoveListItem(FileListView& list, const std::string& caption) {
    const int row = FindCaption(list, caption);
    if (row >= 0)
        list.Model()->removeRow(row);
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
