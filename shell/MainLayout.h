// The layout rules of the main window: the directory tree and the two file lists keep their
// proportions when the window, the status bands or the splitter change, and the progress bars
// sit under the lists while a file is being encrypted or decrypted. Plain arithmetic on the
// controls' rectangles; the main window reads its controls into them and places them after.
#pragma once

namespace qv {

struct LayoutRect {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;

    int Bottom() const { return Top + Height; }
    bool operator==(const LayoutRect&) const = default;
};

// The controls the rules place, each in the coordinates of its panel: the left panel holds the
// drive box and the directory tree, the right panel the lists with their pictures, the label
// of the crypted list and the progress bars. A picture stands for both pictures of its list
// (the plain one and the highlighted one), which share their place.
struct MainLayoutControls {
    int LeftPanelWidth = 0;
    int LeftPanelHeight = 0;
    int RightPanelWidth = 0;

    LayoutRect DriveBox;
    LayoutRect Tree;
    LayoutRect PlainImage;
    LayoutRect PlainList;
    LayoutRect ProgressBar1;
    LayoutRect CryptedImage;
    LayoutRect CryptedLabel;
    LayoutRect CryptedList;
    LayoutRect ProgressBar2;
};

// The room between the lists: for the crypted list's pictures and label, and during
// single-file work for the plain list's progress bar as well.
inline constexpr int ListGap = 30;
inline constexpr int ListGapWithBars = 58;

// The widths: the tree and the drive box fill the left panel less 8 pixels, both lists and
// their bars the right panel less 12.
void UpdateWidths(MainLayoutControls& c);

// The crypted list's pictures and label keep the distance to their list that the plain list's
// pictures have to theirs.
void RenderGrid2Images(MainLayoutControls& c);

// Widths, then heights: the tree fills the left panel less 40 pixels; the two lists share the
// tree's height less the gap, the crypted list's bottom on the tree's bottom (14 pixels above it
// during single-file work, for its bar). During single-file work each bar sits 4 pixels below
// its list; otherwise it lies behind its list's bottom edge. A window too small for the gap
// gives lists of no height, never negative ones.
void Reresize(MainLayoutControls& c, bool singleFileWork);

} // namespace qv
