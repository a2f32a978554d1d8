#include "DirectoryTree.h"

#include <QDir>
#include <QFile>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QSortFilterProxyModel>

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace qv {

namespace {

bool Within(const QString& path, const QString& folder) {
    return folder == "/" || path == folder || path.startsWith(folder + '/');
}

} // namespace

// Keeps the folders of one drive: the drive itself, what lies below it, and the folders above
// it that lead there (shown only as the way to the drive, which is the top of the view).
// Hidden folders (names beginning with ".") are left out, except those on the way to the
// folder shown.
class DriveFilter : public QSortFilterProxyModel {
public:
    explicit DriveFilter(QObject* parent) : QSortFilterProxyModel(parent) {}

    void SetDrive(const QString& drive) {
        drive_ = drive;
        invalidateFilter();
    }
    const QString& Drive() const { return drive_; }

    void SetShown(const QString& folder) {
        const bool hiddenBefore = shown_.contains("/.");
        shown_ = folder;
        if (hiddenBefore || shown_.contains("/."))
            invalidateFilter();
    }

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
        const auto* fs = static_cast<const QFileSystemModel*>(sourceModel());
        const QModelIndex index = fs->index(row, 0, parent);
        const QString path = fs->filePath(index);
        if (!Within(path, drive_) && !Within(drive_, path))
            return false;
        return !fs->fileName(index).startsWith('.') || Within(shown_, path);
    }

private:
    QString drive_ = "/";
    QString shown_;
};

// The tree shows folders only, each with the folder icon. The model asks its icon provider about
// every entry of a folder it watches, files too, each time the folder changes; the standard
// provider reads each file's content to tell its type, which a run over many files in the
// folder shown would pay again and again.
class FolderIcons : public QAbstractFileIconProvider {
public:
    FolderIcons() : folder_(QFileIconProvider().icon(QAbstractFileIconProvider::Folder)) {}
    QIcon icon(IconType type) const override {
        return type == Folder ? folder_ : QAbstractFileIconProvider::icon(type);
    }
    QIcon icon(const QFileInfo&) const override { return folder_; }
    QString type(const QFileInfo& info) const override {
        return info.isDir() ? QStringLiteral("Folder") : QStringLiteral("File");
    }

private:
    QIcon folder_;
};

DirectoryTree::DirectoryTree(QWidget* parent)
    : QTreeView(parent), fileSystem_(new QFileSystemModel(this)), filter_(new DriveFilter(this)),
      icons_(std::make_unique<FolderIcons>()) {
    fileSystem_->setIconProvider(icons_.get());
    fileSystem_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Hidden);
    fileSystem_->setReadOnly(true);
    fileSystem_->setRootPath("/");
    filter_->setSourceModel(fileSystem_);
    filter_->setRecursiveFilteringEnabled(false);
    setModel(filter_);
    for (int column = 1; column < fileSystem_->columnCount(); ++column)
        hideColumn(column);
    setHeaderHidden(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformRowHeights(true);
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { CurrentChanged(current); });
    // Folders are read in the background; the folder shown is revealed again as the folders on
    // the way to it arrive.
    // Folders are read and sorted in the background, so the folder shown is revealed again as
    // the folders on the way to it arrive, until the user takes the tree in hand.
    connect(fileSystem_, &QFileSystemModel::directoryLoaded, this, [this](const QString& path) {
        if (revealing_ && Within(directory_, path))
            ShowCurrent();
    });
    connect(filter_, &QAbstractItemModel::layoutChanged, this, [this] {
        if (revealing_)
            ShowCurrent();
    });
}

void DirectoryTree::mousePressEvent(QMouseEvent* event) {
    revealing_ = false;
    QTreeView::mousePressEvent(event);
}

void DirectoryTree::keyPressEvent(QKeyEvent* event) {
    revealing_ = false;
    QTreeView::keyPressEvent(event);
}

void DirectoryTree::wheelEvent(QWheelEvent* event) {
    revealing_ = false;
    QTreeView::wheelEvent(event);
}

DirectoryTree::~DirectoryTree() {
    // The model goes before its icon provider: its gatherer may still ask for icons.
    setModel(nullptr);
    delete filter_;
    delete fileSystem_;
}

void DirectoryTree::SetDrive(const QString& drive) {
    filter_->SetDrive(drive);
    // The view's top is the drive's parent folder, whose only kept child is the drive.
    const QString above = drive == "/" ? QString() : QFileInfo(drive).absolutePath();
    setRootIndex(above.isEmpty() ? QModelIndex()
                                 : filter_->mapFromSource(fileSystem_->index(above)));
}

QString DirectoryTree::Drive() const {
    return filter_->Drive();
}

bool DirectoryTree::SetDirectory(const QString& path, QString* reason) {
    const QString folder = QDir::cleanPath(QDir(path).absolutePath());
    if (::chdir(QFile::encodeName(folder).constData()) != 0) {
        if (reason)
            *reason = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    const bool changed = folder != directory_;
    directory_ = folder;
    filter_->SetShown(folder);
    revealing_ = true;
    // A folder outside the drive shown is shown from the root.
    if (!Within(folder, Drive()))
        SetDrive("/");
    ShowCurrent();
    if (changed)
        emit DirectoryChanged(directory_);
    return true;
}

void DirectoryTree::ShowCurrent() {
    const QModelIndex index = filter_->mapFromSource(fileSystem_->index(directory_));
    if (!index.isValid())
        return;
    moving_ = true;
    setCurrentIndex(index);
    moving_ = false;
    expand(index);
    scrollTo(index, QAbstractItemView::PositionAtCenter);
}

void DirectoryTree::CurrentChanged(const QModelIndex& current) {
    if (moving_ || !current.isValid())
        return;
    const QString path = fileSystem_->filePath(filter_->mapToSource(current));
    if (path == directory_)
        return;
    QString reason;
    if (!SetDirectory(path, &reason)) {
        ShowCurrent();
        emit DirectoryRefused(path, reason);
    }
}

void DirectoryTree::focusInEvent(QFocusEvent* event) {
    QTreeView::focusInEvent(event);
    emit Entered();
}

} // namespace qv
