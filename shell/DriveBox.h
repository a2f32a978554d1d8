// The drive box: the root "/", the mount points of the real file systems and the home folder.
// It reads the mounted file systems again each time it opens, so a medium mounted later is
// offered.
#pragma once

#include <QComboBox>
#include <QStringList>

namespace qv {

// The drives of this system, root first, mount points by name, the home folder last.
QStringList ListDrives();

class DriveBox : public QComboBox {
    Q_OBJECT

public:
    explicit DriveBox(QWidget* parent = nullptr);

    // Fills the box with these drives (ListDrives by default), keeping the chosen drive
    // chosen when it is still there.
    void Refresh();
    void SetDrives(const QStringList& drives);

    QString DriveAt(int index) const;
    QString CurrentDrive() const;
    // Chooses the drive without telling anyone. False when the box does not hold it.
    bool SelectDrive(const QString& drive);
    // The drive that holds the path: the one with the longest match from the left.
    QString DriveFor(const QString& path) const;

    void showPopup() override;
};

} // namespace qv
