// The program's dialogs size themselves from the places of their controls, with margins that
// were chosen for the outer size of a window, frame and caption included. Qt sizes the client
// area, so those margins lose the frame of a dialog: its two side borders and, in height, the
// caption bar as well.
#pragma once

namespace qv {

inline constexpr int DialogFrameWidth = 6;   // left and right border together
inline constexpr int DialogFrameHeight = 25; // caption bar and the two borders

// The client width or height that gives a dialog the given outer width or height.
constexpr int ClientWidthFor(int outerWidth) {
    return outerWidth - DialogFrameWidth;
}
constexpr int ClientHeightFor(int outerHeight) {
    return outerHeight - DialogFrameHeight;
}

} // namespace qv
