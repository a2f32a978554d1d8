// The icons of the file lists. The program's own icon list stands in for the system image list:
// one index per distinct icon, filled as indices are asked for, with the icon of a file's MIME
// type taken from the icon theme. Index 0 is the icon of a file of no known type, and the answer
// whenever a file's own icon cannot be had.
#pragma once

#include <QHash>
#include <QIcon>
#include <QList>
#include <QString>

class QMimeType;

namespace qv {

class TQV_SystemImages {
public:
    TQV_SystemImages();

    // The index of the icon of a MIME type, adding the icon when it is new: the type's own
    // theme icon, else its generic one; 0 when the theme has neither.
    int IndexForType(const QMimeType& type);

    int Count() const { return static_cast<int>(icons_.size()); }
    QIcon Icon(int index) const;

private:
    int Add(const QIcon& icon);

    QList<QIcon> icons_;
    QHash<QString, int> indexOfName_;
};

// The process's icon list, shared by every image list that asks for it.
TQV_SystemImages& SystemImages();

// An image list of the file lists: small icons (16 pixels) for the small-icon, list and details
// styles, large icons (32 pixels) for the large-icon style. It shows the process's icon list
// once it has been set up, and is empty before.
class TQV_ImageList {
public:
    explicit TQV_ImageList(int iconSize) : iconSize_(iconSize) {}

    int IconSize() const { return iconSize_; }
    // The process's icon list becomes this list's content; it is shared, never owned.
    void ShareImages(TQV_SystemImages* images) { images_ = images; }
    bool IsSetUp() const { return images_ != nullptr; }
    int Count() const { return images_ ? images_->Count() : 0; }
    // The icon at index; a null icon when the list is empty or has no such index.
    QIcon Icon(int index) const { return images_ ? images_->Icon(index) : QIcon(); }

private:
    int iconSize_;
    TQV_SystemImages* images_ = nullptr;
};

// Gives the image list the process's icon list.
void SetupImageList(TQV_ImageList& list);

// Without a desktop that names an icon theme, Qt looks in "hicolor" alone, which holds the
// icons of applications but none of file types. This makes a common installed theme the
// fallback (looked in only for icons the desktop's theme lacks), so that files still show the
// icons of their types. Qt settles the themes at the first icon it looks up, so this runs
// before any window is made.
void PrepareFileTypeIcons();

} // namespace qv
