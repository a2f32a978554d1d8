// The directory tree: the folders of one drive, with the folder shown selected. The folder it
// shows is always the process's current directory, so that file names taken from the lists
// resolve against it.
#pragma once

#include <QTreeView>

#include <memory>

class QFileSystemModel;

namespace qv {

class DriveFilter;
class FolderIcons;

class DirectoryTree : public QTreeView {
    Q_OBJECT

public:
    explicit DirectoryTree(QWidget* parent = nullptr);
    ~DirectoryTree() override;

    QFileSystemModel* FileSystem() const { return fileSystem_; }

    // Shows the folders of the drive (a folder path) and nothing above it.
    void SetDrive(const QString& drive);
    QString Drive() const;

    // Shows the folder selected and makes it the current directory. False, with a reason, when
    // the folder cannot be entered; the tree then stays where it was.
    bool SetDirectory(const QString& path, QString* reason = nullptr);
    QString Directory() const { return directory_; }

signals:
    // The user or the program moved the tree to another folder.
    void DirectoryChanged(const QString& path);
    // The user chose a folder that cannot be entered.
    void DirectoryRefused(const QString& path, const QString& reason);
    // The tree received the keyboard focus.
    void Entered();

protected:
    void focusInEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void ShowCurrent();
    void CurrentChanged(const QModelIndex& current);

    QFileSystemModel* fileSystem_;
    DriveFilter* filter_;
    std::unique_ptr<FolderIcons> icons_; // outlives the model, which is a child
    QString directory_;
    bool moving_ = false;
    bool revealing_ = false; // bring the folder shown into view as the tree fills
};

} // namespace qv
