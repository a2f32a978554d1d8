#include "FileListView.h"

#include "FileListModel.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QListView>
#include <QProxyStyle>
#include <QStyleOptionHeader>
#include <QTreeView>

#include <algorithm>

namespace qv {

namespace {

// The details header's style: the window's own, except that every caption keeps
// CaptionPadding pixels more from both edges of its section, and a section's size hint grows by
// as much. With the style's own few pixels the right-aligned size caption ran into the date
// caption beside it; with these the captions stand apart as the cells below them do.
class HeaderStyle : public QProxyStyle {
public:
    static constexpr int CaptionPadding = 2;

    // A style of the application's kind, of the header's own.
    HeaderStyle() : QProxyStyle(QApplication::style()->name()) {}

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
        const auto* header = qstyleoption_cast<const QStyleOptionHeader*>(option);
        if (element != CE_HeaderLabel || !header) {
            QProxyStyle::drawControl(element, option, painter, widget);
            return;
        }
        QStyleOptionHeader inset = *header;
        inset.rect.adjust(CaptionPadding, 0, -CaptionPadding, 0);
        QProxyStyle::drawControl(element, &inset, painter, widget);
    }

    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget) const override {
        QSize hint = QProxyStyle::sizeFromContents(type, option, size, widget);
        if (type == CT_HeaderSection)
            hint.rwidth() += 2 * CaptionPadding;
        return hint;
    }
};

void SetUpView(QAbstractItemView* view) {
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setDragEnabled(true);
    view->setDragDropMode(QAbstractItemView::DragDrop);
    // A drop starts a command and never moves entries, so the source keeps what was dragged.
    view->setDefaultDropAction(Qt::CopyAction);
    view->setContextMenuPolicy(Qt::CustomContextMenu);
}

} // namespace

FileListView::FileListView(QWidget* parent)
    : QStackedWidget(parent), model_(new FileListModel(this)), details_(new QTreeView(this)),
      icons_(new QListView(this)) {
    details_->setModel(model_);
    details_->setRootIsDecorated(false);
    details_->setItemsExpandable(false);
    details_->setUniformRowHeights(true);
    details_->setAllColumnsShowFocus(true);
    details_->header()->setStretchLastSection(false);
    details_->header()->setSectionsMovable(false);
    details_->header()->setSectionsClickable(true);
    details_->header()->setSortIndicatorShown(false);
    // The header does not own the style it is given; as its child the style goes with it.
    auto* headerStyle = new HeaderStyle;
    headerStyle->setParent(details_->header());
    details_->header()->setStyle(headerStyle);
    SetUpView(details_);

    icons_->setModel(model_);
    icons_->setSelectionModel(details_->selectionModel());
    icons_->setResizeMode(QListView::Adjust);
    icons_->setMovement(QListView::Static);
    // A folder of many thousand files is laid out in steps, with the window answering between
    // them, whenever the icon styles are shown.
    icons_->setLayoutMode(QListView::Batched);
    icons_->setBatchSize(2000);
    SetUpView(icons_);

    addWidget(details_);
    addWidget(icons_);
    setCurrentWidget(details_);
    setFocusProxy(details_);

    connect(details_->header(), &QHeaderView::sectionClicked, this, [this](int column) {
        emit ColumnClicked(column);
        // The header turns its arrow on every click; it shows the order the entries are in.
        ShowSortIndicator();
    });

    for (QAbstractItemView* view :
         {static_cast<QAbstractItemView*>(details_), static_cast<QAbstractItemView*>(icons_)}) {
        view->installEventFilter(this);
        view->viewport()->installEventFilter(this);
        connect(view, &QAbstractItemView::doubleClicked, this, &FileListView::DoubleClicked);
        connect(view, &QWidget::customContextMenuRequested, this, [this, view](const QPoint& pos) {
            emit ContextMenuRequested(view->viewport()->mapToGlobal(pos));
        });
    }
}

QItemSelectionModel* FileListView::Selection() const {
    return details_->selectionModel();
}

QAbstractItemView* FileListView::CurrentView() const {
    return style_ == ViewStyle::Details ? static_cast<QAbstractItemView*>(details_) : icons_;
}

void FileListView::SetStyle(ViewStyle style) {
    struct Look {
        QListView::ViewMode mode;
        QListView::Flow flow;
        int iconSize;
        bool wordWrap;
    };
    style_ = style;
    if (style != ViewStyle::Details) {
        const Look look = style == ViewStyle::LargeIcons
                              ? Look{QListView::IconMode, QListView::LeftToRight, 32, true}
                          : style == ViewStyle::SmallIcons
                              ? Look{QListView::ListMode, QListView::LeftToRight, 16, false}
                              : Look{QListView::ListMode, QListView::TopToBottom, 16, false};
        icons_->setViewMode(look.mode);
        icons_->setFlow(look.flow);
        icons_->setWrapping(true);
        icons_->setIconSize(QSize(look.iconSize, look.iconSize));
        icons_->setWordWrap(look.wordWrap);
    }
    // The same style again keeps the arrangement; the item view recomputes it when shown.
    QWidget* shown = CurrentView();
    const bool hadFocus = currentWidget() && currentWidget()->hasFocus();
    setCurrentWidget(shown);
    setFocusProxy(shown);
    if (hadFocus)
        shown->setFocus();
}

QStringList FileListView::Columns() const {
    QStringList captions;
    for (int c = 0; c < model_->columnCount(); ++c)
        captions << model_->headerData(c, Qt::Horizontal).toString();
    return captions;
}

void FileListView::SetColumns(const QStringList& captions) {
    model_->SetColumns(captions);
}

int FileListView::ColumnCount() const {
    return model_->columnCount();
}

int FileListView::ColumnWidth(int column) const {
    return details_->header()->sectionSize(column);
}

void FileListView::SetColumnWidth(int column, int width) {
    if (column < 0 || column >= model_->columnCount())
        return;
    // A width below the header's least (from a damaged setting) would hide the column for good.
    details_->header()->resizeSection(column,
                                      std::max(width, details_->header()->minimumSectionSize()));
}

QString FileListView::ColumnWidthsText() const {
    QStringList widths;
    for (int c = 0; c < model_->columnCount(); ++c)
        widths << QString::number(ColumnWidth(c));
    return widths.join(',');
}

void FileListView::SetColumnWidthsText(const QString& widths) {
    const QStringList parts = widths.split(',', Qt::SkipEmptyParts);
    for (int c = 0; c < parts.size(); ++c) {
        bool ok = false;
        const int width = parts[c].trimmed().toInt(&ok);
        if (ok)
            SetColumnWidth(c, width);
    }
}

void FileListView::HoldDrawing(bool hold) {
    // The views' viewports, not the list: the frame and the header are drawn as ever, also
    // where the list is a window of its own that has not been shown yet.
    details_->viewport()->setUpdatesEnabled(!hold);
    icons_->viewport()->setUpdatesEnabled(!hold);
}

std::vector<std::string> FileListView::SelectedCaptions() const {
    QModelIndexList rows = details_->selectionModel()->selectedRows(0);
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    std::vector<std::string> captions;
    captions.reserve(static_cast<std::size_t>(rows.size()));
    // The captions byte for byte, also where a name is not valid UTF-8 and its shown text is
    // not the name.
    for (const QModelIndex& index : rows)
        captions.emplace_back(model_->Entry(index.row()).Caption());
    return captions;
}

void FileListView::Sort(int column, bool descending) {
    if (column < 0 || column >= model_->columnCount())
        return;
    model_->Sort(column, descending);
    sortedColumn_ = column;
    sortedDescending_ = descending;
    ShowSortIndicator();
}

void FileListView::ShowSortIndicator() {
    QHeaderView* header = details_->header();
    header->setSortIndicatorShown(sortedColumn_ >= 0);
    if (sortedColumn_ >= 0)
        header->setSortIndicator(sortedColumn_,
                                 sortedDescending_ ? Qt::DescendingOrder : Qt::AscendingOrder);
}

bool FileListView::Holds(const QObject* object) const {
    return object && (object == this || object == details_ || object == icons_ ||
                      object == details_->viewport() || object == icons_->viewport());
}

bool FileListView::AcceptsDropFrom(const QObject* source) const {
    return dropSource_ && dropSource_->Holds(source);
}

bool FileListView::DropFrom(const QObject* source) {
    if (!AcceptsDropFrom(source))
        return false;
    emit Dropped();
    return true;
}

// Drags are judged here, before the views see them: the views would otherwise insert the
// dropped entries into the model, and the source would remove them after a move.
bool FileListView::DragEvent(QEvent* event) {
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (AcceptsDropFrom(drag->source())) {
            drag->setDropAction(Qt::CopyAction);
            drag->accept();
        } else {
            drag->ignore();
        }
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        if (AcceptsDropFrom(drop->source())) {
            drop->setDropAction(Qt::CopyAction);
            drop->accept();
            DropFrom(drop->source());
        } else {
            drop->ignore();
        }
        return true;
    }
    default:
        return false;
    }
}

bool FileListView::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn && (watched == details_ || watched == icons_))
        emit Entered();
    if ((watched == details_->viewport() || watched == icons_->viewport()) && DragEvent(event))
        return true;
    return QStackedWidget::eventFilter(watched, event);
}

} // namespace qv
