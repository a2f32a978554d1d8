#include "FileListView.h"

#include <QHeaderView>
#include <QListView>
#include <QStandardItemModel>
#include <QTest>
#include <QTreeView>

#include <gtest/gtest.h>

using namespace qv;

namespace {

void Fill(FileListView& list, std::initializer_list<const char*> captions) {
    for (const char* caption : captions)
        list.Model()->appendRow(new QStandardItem(caption));
}

} // namespace

TEST(FileListView, TakesItsColumnsFromItsProperties) {
    FileListView list;
    list.setProperty("Columns", QStringList{"名稱", "大小", "日期"});
    list.setProperty("ColumnWidths", QString("100, 80,x,"));
    EXPECT_EQ(list.ColumnCount(), 3);
    EXPECT_EQ(list.Columns(), (QStringList{"名稱", "大小", "日期"}));
    EXPECT_EQ(list.ColumnWidth(0), 100);
    EXPECT_EQ(list.ColumnWidth(1), 80);
    EXPECT_EQ(list.Model()->headerData(1, Qt::Horizontal, Qt::TextAlignmentRole).toInt() &
                  Qt::AlignRight,
              Qt::AlignRight);
    // A width below the header's least would make the column unreachable.
    list.SetColumnWidth(2, -5);
    EXPECT_EQ(list.ColumnWidth(2), list.DetailsView()->header()->minimumSectionSize());
    list.SetColumnWidth(7, 50); // no such column: nothing happens
    EXPECT_EQ(list.ColumnCount(), 3);
}

TEST(FileListView, GivesTheSelectedCaptionsInListOrderInEveryStyle) {
    FileListView list;
    list.SetColumns({"名稱"});
    Fill(list, {"d.txt", "a.txt", "c.txt", "b.txt"});
    list.show();
    QItemSelectionModel* selection = list.Selection();
    selection->select(list.Model()->index(2, 0),
                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
    selection->select(list.Model()->index(0, 0),
                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
    EXPECT_EQ(list.SelectedCaptions(), (std::vector<std::string>{"d.txt", "c.txt"}));

    for (ViewStyle style :
         {ViewStyle::LargeIcons, ViewStyle::SmallIcons, ViewStyle::List, ViewStyle::Details}) {
        list.SetStyle(style);
        EXPECT_EQ(list.Style(), style);
        EXPECT_EQ(list.currentWidget(), list.CurrentView());
        EXPECT_EQ(list.SelectedCaptions(), (std::vector<std::string>{"d.txt", "c.txt"}));
    }
    EXPECT_EQ(list.IconView()->selectionModel(), list.DetailsView()->selectionModel());
}

TEST(FileListView, TellsWhenItReceivesTheFocus) {
    FileListView list;
    list.SetColumns({"名稱"});
    int entered = 0;
    QObject::connect(&list, &FileListView::Entered, [&] { ++entered; });
    list.show();
    list.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&list));
    list.setFocus();
    EXPECT_TRUE(QTest::qWaitFor([&] { return entered == 1; }));
    // In another style the other view has the focus, and tells the same.
    list.SetStyle(ViewStyle::List);
    list.clearFocus();
    const int before = entered;
    list.setFocus();
    EXPECT_TRUE(QTest::qWaitFor([&] { return entered == before + 1; }));
    EXPECT_TRUE(list.IconView()->hasFocus());
}
