// One file list of the main window: a model of entries shown either in details (a tree view
// with columns) or as large icons, small icons or a list (a list view), the two views sharing
// the model and one selection. Entries can be dragged; a drop is taken only from the list named
// as the drop source, and it changes no entry: it only tells that it happened.
#pragma once

#include <QStackedWidget>
#include <QStringList>

#include <string>
#include <vector>

class QAbstractItemView;
class QListView;
class QTreeView;
class QItemSelectionModel;

namespace qv {

class FileListModel;

enum class ViewStyle { LargeIcons, SmallIcons, List, Details };

class FileListView : public QStackedWidget {
    Q_OBJECT
    // The column captions, and their widths as numbers separated by commas.
    Q_PROPERTY(QStringList Columns READ Columns WRITE SetColumns)
    Q_PROPERTY(QString ColumnWidths READ ColumnWidthsText WRITE SetColumnWidthsText)

public:
    explicit FileListView(QWidget* parent = nullptr);

    FileListModel* Model() const { return model_; }
    QItemSelectionModel* Selection() const;
    QTreeView* DetailsView() const { return details_; }
    QListView* IconView() const { return icons_; }
    // The view that shows the entries in the present style.
    QAbstractItemView* CurrentView() const;

    ViewStyle Style() const { return style_; }
    void SetStyle(ViewStyle style);

    QStringList Columns() const;
    void SetColumns(const QStringList& captions);
    int ColumnCount() const;
    int ColumnWidth(int column) const;
    void SetColumnWidth(int column, int width);
    QString ColumnWidthsText() const;
    void SetColumnWidthsText(const QString& widths);

    // Holds the drawing of the entries back, or lets it go on and draws them.
    void HoldDrawing(bool hold);

    // The captions of the selected entries, in list order.
    std::vector<std::string> SelectedCaptions() const;

    // Orders the entries by a column (a stable sort through the model's comparison) and shows
    // the order in the details header.
    void Sort(int column, bool descending);
    int SortedColumn() const { return sortedColumn_; }
    bool SortedDescending() const { return sortedDescending_; }

    // The only list whose entries may be dropped here; nullptr refuses every drop.
    void SetDropSource(const FileListView* source) { dropSource_ = source; }
    // Whether a drag that started at source (a widget, or nullptr for one from another
    // program) may be dropped here: only one from the drop source.
    bool AcceptsDropFrom(const QObject* source) const;
    // A drop that started at source: when accepted, emits Dropped and answers true.
    bool DropFrom(const QObject* source);
    // Whether the object is this list or one of its views.
    bool Holds(const QObject* object) const;

signals:
    // The list received the keyboard focus.
    void Entered();
    void DoubleClicked();
    // A context menu was asked for at this global position.
    void ContextMenuRequested(const QPoint& globalPos);
    // A click on the caption of a column in the details view.
    void ColumnClicked(int column);
    // Entries of the drop source were dropped here.
    void Dropped();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowSortIndicator();
    bool DragEvent(QEvent* event);

    FileListModel* model_;
    QTreeView* details_;
    QListView* icons_;
    ViewStyle style_ = ViewStyle::Details;
    const FileListView* dropSource_ = nullptr;
    int sortedColumn_ = -1; // not sorted yet
    bool sortedDescending_ = false;
};

} // namespace qv
