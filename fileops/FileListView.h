// One file list of the main window: a model of entries shown either in details (a tree view
// with columns) or as large icons, small icons or a list (a list view), the two views sharing
// the model and one selection.
#pragma once

#include <QStackedWidget>
#include <QStringList>

#include <string>
#include <vector>

class QAbstractItemView;
class QListView;
class QStandardItemModel;
class QTreeView;
class QItemSelectionModel;

namespace qv {

enum class ViewStyle { LargeIcons, SmallIcons, List, Details };

class FileListView : public QStackedWidget {
    Q_OBJECT
    // The column captions, and their widths as numbers separated by commas.
    Q_PROPERTY(QStringList Columns READ Columns WRITE SetColumns)
    Q_PROPERTY(QString ColumnWidths READ ColumnWidthsText WRITE SetColumnWidthsText)

public:
    explicit FileListView(QWidget* parent = nullptr);

    QStandardItemModel* Model() const { return model_; }
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

    // The captions of the selected entries, in list order.
    std::vector<std::string> SelectedCaptions() const;

signals:
    // The list received the keyboard focus.
    void Entered();
    void DoubleClicked();
    // A context menu was asked for at this global position.
    void ContextMenuRequested(const QPoint& globalPos);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ApplyColumnAlignment();

    QStandardItemModel* model_;
    QTreeView* details_;
    QListView* icons_;
    ViewStyle style_ = ViewStyle::Details;
};

} // namespace qv
