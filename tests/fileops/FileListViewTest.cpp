#include "FileListView.h"

#include "FileListModel.h"
#include <QHeaderView>
#include <QImage>
#include <QListView>
#include <QMimeData>
#include <QTest>
#include <QTreeView>

#include <gtest/gtest.h>

#include <memory>

using namespace qv;

namespace {

void Fill(FileListView& list, std::initializer_list<const char*> captions) {
    for (const char* caption : captions) {
        FileListEntry entry;
        entry.SetNames(caption, caption);
        list.Model()->Append(std::move(entry));
    }
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

// The size caption stands right-aligned before the left-aligned date caption; the two keep a
// gap that reads as one, not only the line between the sections.
TEST(FileListView, KeepsTheSizeCaptionApartFromTheNextCaption) {
    FileListView list;
    list.SetColumns({"名稱", "大小", "日期"});
    list.setProperty("ColumnWidths", QString("100,80,100"));
    list.resize(320, 80);
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    QHeaderView* header = list.DetailsView()->header();
    const QImage picture = header->grab().toImage();
    // A column of the picture holds ink where the text colour was drawn: far darker than the
    // header's face and the line between the sections.
    auto inked = [&](int x) {
        for (int y = 0; y < picture.height(); ++y)
            if (qGray(picture.pixel(x, y)) < 100)
                return true;
        return false;
    };
    const int edge = header->sectionViewportPosition(2);
    int sizeEnd = edge - 1;
    while (sizeEnd > 0 && !inked(sizeEnd))
        --sizeEnd;
    int dateStart = edge;
    while (dateStart < picture.width() - 1 && !inked(dateStart))
        ++dateStart;
    ASSERT_GT(sizeEnd, header->sectionViewportPosition(1));
    ASSERT_LT(dateStart, picture.width() - 1);
    EXPECT_GE(dateStart - sizeEnd - 1, 9) << "the gap between the captions";
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

TEST(FileListView, TakesDropsOnlyFromItsDropSourceAndNeverChangesItsEntries) {
    FileListView plain, crypted;
    Fill(plain, {"a.txt"});
    Fill(crypted, {"b"});
    plain.SetDropSource(&crypted);
    int dropped = 0;
    QObject::connect(&plain, &FileListView::Dropped, [&] { ++dropped; });

    // Its own entries, another program's files, or no list at all: refused.
    for (const QObject* source :
         {static_cast<const QObject*>(plain.DetailsView()->viewport()),
          static_cast<const QObject*>(&plain), static_cast<const QObject*>(plain.Model()),
          static_cast<const QObject*>(nullptr)})
        EXPECT_FALSE(plain.DropFrom(source));
    EXPECT_EQ(dropped, 0);
    // The partner, whichever view it shows.
    EXPECT_TRUE(plain.DropFrom(crypted.DetailsView()->viewport()));
    EXPECT_TRUE(plain.AcceptsDropFrom(crypted.IconView()));
    EXPECT_EQ(dropped, 1);
    EXPECT_FALSE(crypted.AcceptsDropFrom(plain.DetailsView())); // it named no source

    // A drop reaching the view itself (from outside this program here) inserts nothing.
    plain.show();
    std::unique_ptr<QMimeData> data(plain.Model()->mimeData({plain.Model()->index(0, 0)}));
    for (QAbstractItemView* view : {static_cast<QAbstractItemView*>(plain.DetailsView()),
                                    static_cast<QAbstractItemView*>(plain.IconView())}) {
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction | Qt::MoveAction, data.get(),
                              Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(view->viewport(), &enter);
        EXPECT_FALSE(enter.isAccepted());
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction | Qt::MoveAction, data.get(), Qt::LeftButton,
                        Qt::NoModifier);
        QCoreApplication::sendEvent(view->viewport(), &drop);
        EXPECT_FALSE(drop.isAccepted());
    }
    EXPECT_EQ(plain.Model()->rowCount(), 1);
    EXPECT_EQ(dropped, 1);
}

TEST(FileListView, SortsByAColumnAndShowsTheOrderInTheHeader) {
    FileListView list;
    list.SetColumns({"名稱", "大小"});
    Fill(list, {"b", "c", "a"});
    EXPECT_FALSE(list.DetailsView()->header()->isSortIndicatorShown());
    list.Sort(0, true);
    EXPECT_EQ(list.Model()->Text(0, 0), "c");
    EXPECT_EQ(list.Model()->Text(2, 0), "a");
    EXPECT_EQ(list.SortedColumn(), 0);
    EXPECT_TRUE(list.SortedDescending());
    QHeaderView* header = list.DetailsView()->header();
    EXPECT_TRUE(header->isSortIndicatorShown());
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);

    // A click on a caption is told; the header's arrow keeps showing the order the entries are
    // in until the list is sorted again.
    std::vector<int> clicked;
    QObject::connect(&list, &FileListView::ColumnClicked, [&](int c) { clicked.push_back(c); });
    list.show();
    const QPoint at(header->sectionViewportPosition(1) + 5, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    EXPECT_EQ(clicked, std::vector<int>{1});
    EXPECT_EQ(header->sortIndicatorSection(), 0);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);
    list.Sort(7, false); // no such column: nothing happens
    EXPECT_EQ(list.SortedColumn(), 0);
}

TEST(FileListView, AnEntryAddedToASortedListGoesWhereAFullSortPutsIt) {
    struct Case {
        std::vector<const char*> before;
        const char* added;
        bool descending;
    };
    const Case cases[] = {
        {{"b", "d", "f"}, "c", false}, {{"b", "d", "f"}, "a", false}, {{"b", "d", "f"}, "g", false},
        {{"b", "D", "f"}, "d", false}, // equal without regard to case: after the one there
        {{"f", "d", "b"}, "c", true},  {{"f", "d", "b"}, "D", true},  {{}, "a", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.added);
        FileListView inPlace, sorted;
        for (FileListView* list : {&inPlace, &sorted}) {
            list->SetColumns({"名稱"});
            for (const char* caption : c.before)
                Fill(*list, {caption});
            list->Sort(0, c.descending);
        }
        // The entries on either side of the new one stay selected where they are.
        inPlace.Selection()->select(inPlace.Model()->index(0, 0),
                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
        const std::vector<std::string> selected = inPlace.SelectedCaptions();
        Fill(inPlace, {c.added});
        inPlace.Sort(0, c.descending);

        // The same entries appended one by one and then sorted as a whole.
        FileListView whole;
        whole.SetColumns({"名稱"});
        for (const char* caption : c.before)
            Fill(whole, {caption});
        Fill(whole, {c.added});
        whole.Sort(0, c.descending);
        ASSERT_EQ(inPlace.Model()->rowCount(), whole.Model()->rowCount());
        for (int row = 0; row < whole.Model()->rowCount(); ++row)
            EXPECT_EQ(inPlace.Model()->Text(row, 0), whole.Model()->Text(row, 0)) << row;
        EXPECT_EQ(inPlace.SelectedCaptions(), selected);
    }
}

TEST(FileListView, SelectedEntriesStaySelectedWhenTheListIsSorted) {
    FileListView list;
    list.SetColumns({"名稱"});
    Fill(list, {"d", "a", "c", "b", "e"});
    for (int row : {0, 3}) // d and b
        list.Selection()->select(list.Model()->index(row, 0),
                                 QItemSelectionModel::Select | QItemSelectionModel::Rows);
    list.Selection()->setCurrentIndex(list.Model()->index(2, 0), QItemSelectionModel::NoUpdate);
    list.Sort(0, false);
    EXPECT_EQ(list.SelectedCaptions(), (std::vector<std::string>{"b", "d"}));
    EXPECT_EQ(list.Selection()->currentIndex().data().toString(), "c");
    list.Sort(0, true);
    EXPECT_EQ(list.SelectedCaptions(), (std::vector<std::string>{"d", "b"}));
}
