#include "ImageList.h"

#include <QDir>
#include <QFileIconProvider>
#include <QMimeType>

namespace qv {

TQV_SystemImages::TQV_SystemImages() {
    // The plain document icon of the desktop, or of the widget style when there is no theme.
    icons_.append(QFileIconProvider().icon(QFileIconProvider::File));
}

int TQV_SystemImages::IndexForType(const QMimeType& type) {
    const QString own = type.iconName();
    if (const auto found = indexOfName_.constFind(own); found != indexOfName_.constEnd())
        return *found;
    int index = 0;
    if (QIcon::hasThemeIcon(own)) {
        index = Add(QIcon::fromTheme(own));
    } else {
        // Types without an icon of their own share their generic one ("text-x-generic").
        const QString generic = type.genericIconName();
        if (const auto found = indexOfName_.constFind(generic); found != indexOfName_.constEnd())
            index = *found;
        else if (QIcon::hasThemeIcon(generic))
            index = Add(QIcon::fromTheme(generic));
        indexOfName_.insert(generic, index);
    }
    // A type whose icon the theme lacks is remembered too, so it is looked for once.
    indexOfName_.insert(own, index);
    return index;
}

int TQV_SystemImages::Add(const QIcon& icon) {
    icons_.append(icon);
    return static_cast<int>(icons_.size()) - 1;
}

QIcon TQV_SystemImages::Icon(int index) const {
    return index >= 0 && index < icons_.size() ? icons_[index] : QIcon();
}

TQV_SystemImages& SystemImages() {
    static TQV_SystemImages images;
    return images;
}

void SetupImageList(TQV_ImageList& list) {
    list.ShareImages(&SystemImages());
}

void PrepareFileTypeIcons() {
    const QString fallback = QIcon::fallbackThemeName();
    if (!fallback.isEmpty() && fallback != QStringLiteral("hicolor"))
        return;
    for (const char* theme : {"Adwaita", "breeze", "oxygen", "Tango", "gnome"})
        for (const QString& base : QIcon::themeSearchPaths())
            if (QDir(base).exists(QString::fromLatin1(theme) + QStringLiteral("/index.theme"))) {
                QIcon::setFallbackThemeName(QString::fromLatin1(theme));
                return;
            }
}

} // namespace qv
