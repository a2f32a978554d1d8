#include "BandBar.h"

#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using qv::BandBar;

namespace {

// A bar with four labelled bands in the main window's first arrangement: three rows, the last
// one holding two bands.
struct Bar {
    Bar() {
        bar.resize(600, 10);
        for (const char* name : {"one", "two", "three", "four"}) {
            auto* label = new QLabel(name);
            label->setObjectName(name);
            controls.push_back(label);
        }
        bar.AddBand(controls[0], 405, true);
        bar.AddBand(controls[1], 172, true);
        bar.AddBand(controls[2], 183, true);
        bar.AddBand(controls[3], 394, false);
        bar.show();
        bar.resize(600, bar.sizeHint().height());
    }

    std::vector<std::string> Order() const {
        std::vector<std::string> names;
        for (int b = 0; b < bar.BandCount(); ++b)
            names.push_back(bar.BandControl(b) ? bar.BandControl(b)->objectName().toStdString()
                                               : "");
        return names;
    }
    std::vector<int> Rows() const {
        std::vector<int> rows;
        for (int b = 0; b < bar.BandCount(); ++b)
            rows.push_back(bar.RowOf(b));
        return rows;
    }

    BandBar bar;
    std::vector<QLabel*> controls;
};

} // namespace

TEST(BandBar, LaysItsBandsOutInRowsOfEqualHeight) {
    Bar b;
    EXPECT_EQ(b.Rows(), (std::vector<int>{0, 1, 2, 2}));
    const int rowHeight = b.bar.RowHeight();
    EXPECT_GE(rowHeight, BandBar::MinBandHeight);
    EXPECT_EQ(b.bar.sizeHint().height(), 3 * rowHeight);
    for (int band = 0; band < 4; ++band)
        EXPECT_EQ(b.bar.BandRect(band).height(), rowHeight);
    // A band alone in its row, and the last band of a row, take the rest of the row.
    EXPECT_EQ(b.bar.BandRect(0).width(), 600);
    EXPECT_EQ(b.bar.BandRect(2).width(), 183);
    EXPECT_EQ(b.bar.BandRect(3).left(), 183);
    EXPECT_EQ(b.bar.BandRect(3).right(), 599);
    // Each control sits behind its band's grip.
    EXPECT_EQ(b.controls[3]->geometry().left(), 183 + BandBar::GripWidth);
}

TEST(BandBar, AControlMovedIntoABandLeavesItsOldOne) {
    Bar b;
    b.bar.SetBandControl(0, b.controls[2]);
    EXPECT_EQ(b.Order(), (std::vector<std::string>{"three", "two", "", "four"}));
    EXPECT_FALSE(b.controls[0]->isVisible()); // held by no band any more
    EXPECT_EQ(b.bar.BandOf(b.controls[0]), -1);

    b.bar.SetBandControl(1, nullptr);
    EXPECT_EQ(b.Order(), (std::vector<std::string>{"three", "", "", "four"}));
    b.bar.SetBandControl(2, b.controls[0]);
    EXPECT_TRUE(b.controls[0]->isVisible());
    EXPECT_EQ(b.Order(), (std::vector<std::string>{"three", "", "one", "four"}));
}

TEST(BandBar, ABandDroppedElsewhereMovesThere) {
    struct Case {
        const char* what;
        int band;
        QPoint (*where)(const BandBar&);
        std::vector<std::string> order;
        std::vector<int> rows;
    };
    const Case cases[] = {
        {"into a new row below",
         0,
         [](const BandBar& bar) { return QPoint(20, bar.RowCount() * bar.RowHeight() + 4); },
         {"two", "three", "four", "one"},
         {0, 1, 1, 2}},
        {"into a new row above",
         3,
         [](const BandBar&) { return QPoint(20, -3); },
         {"four", "one", "two", "three"},
         {0, 1, 2, 3}},
        {"to the right of the first band",
         2,
         [](const BandBar& bar) { return QPoint(500, bar.RowHeight() / 2); },
         {"one", "three", "two", "four"},
         {0, 0, 1, 2}},
        {"before the band beside it",
         3,
         [](const BandBar& bar) { return QPoint(10, 2 * bar.RowHeight() + 5); },
         {"one", "two", "four", "three"},
         {0, 1, 2, 2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bar b;
        int changes = 0;
        QObject::connect(&b.bar, &BandBar::BandsChanged, [&] { ++changes; });
        b.bar.DropBand(c.band, c.where(b.bar));
        EXPECT_EQ(b.Order(), c.order);
        EXPECT_EQ(b.Rows(), c.rows);
        for (int band = 1; band < 4; ++band)
            EXPECT_EQ(b.bar.BandBreak(band), c.rows[static_cast<std::size_t>(band)] !=
                                                 c.rows[static_cast<std::size_t>(band) - 1]);
        EXPECT_GE(changes, 1);
        EXPECT_EQ(b.bar.sizeHint().height(), (c.rows.back() + 1) * b.bar.RowHeight());
    }
}

TEST(BandBar, DraggingAGripAlongItsRowSetsTheWidthBeforeIt) {
    Bar b;
    const int rowTop = 2 * b.bar.RowHeight();
    const QPoint grip(183 + 3, rowTop + 5);
    QTest::mousePress(&b.bar, Qt::LeftButton, {}, grip);
    QTest::mouseMove(&b.bar, grip + QPoint(60, 0));
    QTest::mouseRelease(&b.bar, Qt::LeftButton, {}, grip + QPoint(60, 0));
    EXPECT_EQ(b.Order(), (std::vector<std::string>{"one", "two", "three", "four"}));
    EXPECT_EQ(b.bar.BandWidth(2), 243);
    EXPECT_EQ(b.bar.BandRect(3).left(), 243);

    // Dragged up onto the first row's far end, the band joins that row.
    const QPoint moved(243 + 3, rowTop + 5);
    QTest::mousePress(&b.bar, Qt::LeftButton, {}, moved);
    QTest::mouseRelease(&b.bar, Qt::LeftButton, {}, QPoint(560, 5));
    EXPECT_EQ(b.Order(), (std::vector<std::string>{"one", "four", "two", "three"}));
    EXPECT_EQ(b.Rows(), (std::vector<int>{0, 0, 1, 2}));
}

TEST(BandBar, ARowWithoutRoomShrinksItsBandsFromTheRight) {
    Bar b;
    b.bar.SetBandBreak(1, false);
    b.bar.SetBandBreak(2, false);
    // 405 + 172 + 183 asked for before the last band, 600 there: the bands give way from the
    // right down to their least width (their label still drawn whole), the last band keeps its
    // least width.
    EXPECT_EQ(b.Rows(), (std::vector<int>{0, 0, 0, 0}));
    for (int band = 0; band < 4; ++band)
        EXPECT_GE(b.bar.LeastWidth(band),
                  std::max(BandBar::MinBandWidth, b.controls[band]->minimumSizeHint().width()));
    EXPECT_EQ(b.bar.BandRect(0).width(), 405);
    EXPECT_EQ(b.bar.BandRect(1).width(), 600 - 405 - b.bar.LeastWidth(2) - b.bar.LeastWidth(3));
    EXPECT_EQ(b.bar.BandRect(2).width(), b.bar.LeastWidth(2));
    EXPECT_EQ(b.bar.BandRect(3).width(), b.bar.LeastWidth(3));
    EXPECT_EQ(b.bar.BandRect(3).right(), 599);
    // The widths asked for are kept for when there is room again.
    EXPECT_EQ(b.bar.BandWidth(1), 172);
    b.bar.resize(1000, b.bar.height());
    EXPECT_EQ(b.bar.BandRect(1).width(), 172);
    EXPECT_EQ(b.bar.BandRect(2).width(), 183);
}
