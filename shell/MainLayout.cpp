#include "MainLayout.h"

#include <algorithm>
#include <utility>

namespace qv {

namespace {

constexpr int TreeMargin = 8;      // left panel width less the tree's width
constexpr int ListMargin = 12;     // right panel width less the lists' width
constexpr int TreeHeightLess = 40; // left panel height less the tree's height
constexpr int BarRoom = 14;        // the crypted list rises this much for its bar
constexpr int BarDistance = 4;     // from a list's bottom to its bar
constexpr int LabelBelowImage = 4; // from the top of a picture to the top of its label

} // namespace

void UpdateWidths(MainLayoutControls& c) {
    c.Tree.Width = std::max(c.LeftPanelWidth - TreeMargin, 0);
    c.DriveBox.Width = c.Tree.Width;
    c.PlainList.Width = std::max(c.RightPanelWidth - ListMargin, 0);
    c.CryptedList.Width = c.PlainList.Width;
    c.ProgressBar1.Width = c.PlainList.Width;
    c.ProgressBar2.Width = c.CryptedList.Width;
}

void RenderGrid2Images(MainLayoutControls& c) {
    c.CryptedImage.Top = c.CryptedList.Top + c.PlainImage.Top - c.PlainList.Top;
    c.CryptedLabel.Top = c.CryptedImage.Top + LabelBelowImage;
}

void Reresize(MainLayoutControls& c, bool singleFileWork) {
    UpdateWidths(c);
    c.Tree.Height = std::max(c.LeftPanelHeight - TreeHeightLess, 0);
    const int gap = singleFileWork ? ListGapWithBars : ListGap;
    const int shared = std::max(c.Tree.Height - gap, 0);
    c.CryptedList.Height = shared / 2;
    c.CryptedList.Top =
        c.Tree.Top + c.Tree.Height - c.CryptedList.Height - (singleFileWork ? BarRoom : 0);
    RenderGrid2Images(c);
    c.PlainList.Height = shared - c.CryptedList.Height;
    for (auto [list, bar] :
         {std::pair{&c.PlainList, &c.ProgressBar1}, std::pair{&c.CryptedList, &c.ProgressBar2}})
        bar->Top = singleFileWork ? list->Bottom() + BarDistance : list->Bottom() - bar->Height;
}

} // namespace qv
