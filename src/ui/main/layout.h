#pragma once
// Where the main window and its controls lie, in client pixels; a width of 0 follows the text.
#include "toolkit/graphics.h"

namespace ui::layout {

constexpr tk::Rect kForm1{372, 133, 501, 373};
constexpr tk::Rect kImage1{0, 0, 501, 373};
constexpr tk::Rect kRxLabel6{39, 9, 0, 23};
constexpr tk::Rect kRxLabel7{40, 31, 0, 16};
constexpr tk::Rect kImage3{8, 10, 30, 31};
constexpr tk::Rect kImage4{456, 3, 33, 31};
constexpr tk::Rect kImage5{420, 3, 33, 31};
constexpr tk::Rect kSBitBtn2{10, 50, 55, 23};
constexpr tk::Rect kSBitBtn3{69, 50, 55, 23};
constexpr tk::Rect kImage2{139, 53, 18, 17};
constexpr tk::Rect kSTrackBar1{158, 48, 307, 31};
constexpr tk::Rect kRxLabel5{463, 51, 18, 20};  // at least its design width
constexpr tk::Rect kGrid{10, 77, 481, 268};
constexpr int kGridColumns = 5;
constexpr int kGrid1ColumnWidth = 96;
constexpr int kGrid2ColumnWidth = 93;
constexpr int kGridRowHeight = 90;
constexpr tk::Rect kRxLabel2{17, 350, 104, 17};
constexpr tk::Rect kRxLabel3{201, 350, 73, 17};
constexpr tk::Rect kRxLabel1{328, 350, 107, 17};
constexpr tk::Rect kImage8{439, 350, 16, 18};
constexpr tk::Rect kImage7{456, 350, 17, 17};
constexpr tk::Rect kImage6{475, 350, 17, 18};
// Never shown: outside the client area.
constexpr tk::Rect kPanel1{505, 70, 57, 36};
constexpr tk::Rect kHiddenButton{0, 0, 23, 22};
constexpr tk::Rect kHiddenMemo{0, 0, 185, 89};

// Long texts end in "…" before they reach the picture buttons or the window's edge.
constexpr int kTitleMaxWidth = kImage5.left - 4 - kRxLabel6.left;
constexpr int kStatusMaxWidth = kForm1.width - 12 - kRxLabel7.left;

// Pictures on the face.
constexpr tk::Size kMenuPicture{16, 16};
constexpr tk::Size kButtonGlyph{14, 14};

}  // namespace ui::layout
