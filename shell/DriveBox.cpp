#include "DriveBox.h"

#include "Drives.h"

#include <QDir>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QSet>
#include <QStorageInfo>

namespace qv {

namespace {

// Network file systems have no device node but are drives all the same.
const QSet<QByteArray> NetworkFileSystems = {"nfs",   "nfs4",       "cifs", "smb3",
                                             "smbfs", "fuse.sshfs", "9p",   "virtiofs"};

bool UnderSystemFolder(const QString& path) {
    for (const char* folder : {"/proc", "/sys", "/dev", "/run"})
        if (path == folder || path.startsWith(QString(folder) + '/'))
            return !path.startsWith("/run/media/");
    return false;
}

} // namespace

QStringList ListDrives() {
    QStringList mounts;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        const QString root = volume.rootPath();
        const QByteArray type = volume.fileSystemType();
        if (!volume.isValid() || root == "/" || IsPseudoFileSystemType(type.toStdString()) ||
            UnderSystemFolder(root) || !QFileInfo(root).isDir())
            continue;
        if (!volume.device().startsWith('/') && !NetworkFileSystems.contains(type))
            continue;
        if (!mounts.contains(root))
            mounts << root;
    }
    mounts.sort();
    QStringList drives{"/"};
    drives << mounts;
    const QString home = QDir::homePath();
    if (!home.isEmpty() && !drives.contains(home))
        drives << home;
    return drives;
}

DriveBox::DriveBox(QWidget* parent) : QComboBox(parent) {
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(8);
}

void DriveBox::Refresh() {
    SetDrives(ListDrives());
}

void DriveBox::SetDrives(const QStringList& drives) {
    const QString chosen = CurrentDrive();
    const bool quiet = blockSignals(true);
    clear();
    QFileIconProvider icons;
    const QString home = QDir::homePath();
    for (const QString& drive : drives)
        addItem(icons.icon(drive == home ? QFileIconProvider::Folder : QFileIconProvider::Drive),
                drive, drive);
    const int index = findData(chosen);
    setCurrentIndex(index >= 0 ? index : 0);
    blockSignals(quiet);
}

QString DriveBox::DriveAt(int index) const {
    return itemData(index).toString();
}

QString DriveBox::CurrentDrive() const {
    return currentData().toString();
}

bool DriveBox::SelectDrive(const QString& drive) {
    const int index = findData(drive);
    if (index < 0)
        return false;
    const bool quiet = blockSignals(true);
    setCurrentIndex(index);
    blockSignals(quiet);
    return true;
}

QString DriveBox::DriveFor(const QString& path) const {
    QString best;
    for (int i = 0; i < count(); ++i) {
        const QString drive = DriveAt(i);
        const bool holds = drive == "/" || path == drive || path.startsWith(drive + '/');
        if (holds && drive.size() > best.size())
            best = drive;
    }
    return best;
}

void DriveBox::showPopup() {
    Refresh();
    QComboBox::showPopup();
}

} // namespace qv
