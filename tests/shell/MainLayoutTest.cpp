#include "MainLayout.h"

#include <gtest/gtest.h>

using namespace qv;

namespace {

// A window as the form places it: the tree and the plain list 34 pixels down their panels, the
// plain list's picture 28 pixels above it, bars 10 pixels high.
MainLayoutControls Window(int leftWidth, int height, int rightWidth) {
    MainLayoutControls c;
    c.LeftPanelWidth = leftWidth;
    c.LeftPanelHeight = height;
    c.RightPanelWidth = rightWidth;
    c.DriveBox = {4, 4, 100, 26};
    c.Tree = {4, 34, 100, 100};
    c.PlainImage = {4, 6, 24, 24};
    c.PlainList = {4, 34, 200, 100};
    c.ProgressBar1 = {4, 144, 280, 10};
    c.CryptedImage = {4, 160, 24, 24};
    c.CryptedLabel = {32, 164, 80, 16};
    c.CryptedList = {4, 188, 200, 100};
    c.ProgressBar2 = {4, 300, 280, 10};
    return c;
}

int Gap(const MainLayoutControls& c) {
    return c.Tree.Height - c.PlainList.Height - c.CryptedList.Height;
}

} // namespace

TEST(MainLayout, TheListsShareTheTreesHeightLessTheGap) {
    MainLayoutControls c = Window(190, 400, 500);
    Reresize(c, false);
    EXPECT_EQ(c.Tree, (LayoutRect{4, 34, 182, 360}));
    EXPECT_EQ(c.DriveBox, (LayoutRect{4, 4, 182, 26}));
    EXPECT_EQ(Gap(c), ListGap);
    EXPECT_EQ(c.PlainList, (LayoutRect{4, 34, 488, 165}));
    // The crypted list ends where the tree ends.
    EXPECT_EQ(c.CryptedList, (LayoutRect{4, 229, 488, 165}));
    EXPECT_EQ(c.CryptedList.Bottom(), c.Tree.Bottom());
    // Its picture lies as far above it as the plain list's above the plain list.
    EXPECT_EQ(c.CryptedImage.Top, 201);
    EXPECT_EQ(c.CryptedLabel.Top, 205);
    EXPECT_EQ(c.CryptedLabel.Left, 32);
    // The bars lie behind the bottom edges of their lists, as wide as the lists.
    EXPECT_EQ(c.ProgressBar1, (LayoutRect{4, 189, 488, 10}));
    EXPECT_EQ(c.ProgressBar2, (LayoutRect{4, 384, 488, 10}));
}

TEST(MainLayout, DuringSingleFileWorkTheBarsSitUnderTheirLists) {
    MainLayoutControls c = Window(190, 400, 500);
    Reresize(c, true);
    EXPECT_EQ(Gap(c), ListGapWithBars);
    EXPECT_EQ(c.CryptedList.Height, 151);
    EXPECT_EQ(c.PlainList.Height, 151);
    EXPECT_EQ(c.CryptedList.Bottom(), c.Tree.Bottom() - 14);
    EXPECT_EQ(c.ProgressBar1.Top, c.PlainList.Bottom() + 4);
    EXPECT_EQ(c.ProgressBar2.Top, c.CryptedList.Bottom() + 4);
    EXPECT_EQ(c.ProgressBar2.Bottom(), c.Tree.Bottom());
    EXPECT_EQ(c.CryptedImage.Top, c.CryptedList.Top - 28);

    // After the work the same window lays out as before it.
    MainLayoutControls idle = Window(190, 400, 500);
    Reresize(idle, false);
    Reresize(c, false);
    EXPECT_EQ(c.PlainList, idle.PlainList);
    EXPECT_EQ(c.CryptedList, idle.CryptedList);
    EXPECT_EQ(c.ProgressBar1, idle.ProgressBar1);
    EXPECT_EQ(c.ProgressBar2, idle.ProgressBar2);
}

TEST(MainLayout, AnOddRemainderGoesToThePlainList) {
    MainLayoutControls c = Window(190, 401, 500); // tree 361, 331 to share
    Reresize(c, false);
    EXPECT_EQ(c.CryptedList.Height, 165);
    EXPECT_EQ(c.PlainList.Height, 166);
    EXPECT_EQ(Gap(c), ListGap);
}

TEST(MainLayout, AWindowTooSmallForTheGapGivesEmptyListsNotNegativeOnes) {
    for (int height : {0, 20, 40, 60, 70, 97}) {
        for (bool work : {false, true}) {
            MainLayoutControls c = Window(5, height, 8);
            Reresize(c, work);
            EXPECT_GE(c.Tree.Height, 0) << height;
            EXPECT_GE(c.PlainList.Height, 0) << height;
            EXPECT_GE(c.CryptedList.Height, 0) << height;
            EXPECT_EQ(c.Tree.Width, 0);
            EXPECT_EQ(c.PlainList.Width, 0);
            EXPECT_LE(c.CryptedList.Bottom(), c.Tree.Bottom()) << height;
        }
    }
}

TEST(MainLayout, TheSplitterChangesOnlyTheWidths) {
    MainLayoutControls c = Window(190, 400, 500);
    Reresize(c, false);
    MainLayoutControls moved = c;
    moved.LeftPanelWidth = 250;
    moved.RightPanelWidth = 440;
    UpdateWidths(moved);
    EXPECT_EQ(moved.Tree.Width, 242);
    EXPECT_EQ(moved.DriveBox.Width, 242);
    for (const LayoutRect* r :
         {&moved.PlainList, &moved.CryptedList, &moved.ProgressBar1, &moved.ProgressBar2})
        EXPECT_EQ(r->Width, 428);
    EXPECT_EQ(moved.Tree.Height, c.Tree.Height);
    EXPECT_EQ(moved.PlainList.Height, c.PlainList.Height);
    EXPECT_EQ(moved.CryptedList.Top, c.CryptedList.Top);
}
