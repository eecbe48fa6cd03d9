#pragma once
// Layout of the secondary windows: their controls' places, where each window opens, the
// shared font face, and the placing helper.
#include "toolkit/toolkit.h"

namespace ui {

// The secondary windows' default font: MS Sans Serif, 8 points (11 pixels).
constexpr char kDialogFace[] = "MS Sans Serif";
constexpr int kDialogFontHeight = 11;
constexpr char kTitleFace[] = "Century Gothic";

// Secondary windows open centred over the main window's opening place; the background
// picture may be taller than the window, which shows its top rows.
void PlaceDialog(tk::Form& f, tk::Image& background, int w, int h, int picture_h);

namespace settings_layout {
constexpr int kWidth = 305, kHeight = 164, kPictureHeight = 164;
constexpr tk::Rect kImage2{264, 4, 32, 26};
constexpr tk::Rect kSLabel1{41, 12, 158, 19};
constexpr tk::Rect kImage3{11, 10, 26, 26};
constexpr tk::Rect kRbPanel1{6, 38, 294, 120};
// The check boxes reach the panel's inner edge (x 296), so captions in wider stand-in fonts
// still fit.
constexpr int kPanelInnerRight = 296;
constexpr tk::Rect kSCheckBox3{33, 48, kPanelInnerRight - 33, 19};
constexpr tk::Rect kSCheckBox2{56, 73, kPanelInnerRight - 56, 19};
constexpr tk::Rect kSCheckBox1{37, 98, kPanelInnerRight - 37, 19};
constexpr tk::Rect kSButton1{16, 123, 69, 25};
constexpr tk::Rect kSButton3{156, 125, 65, 25};
constexpr tk::Rect kSBitBtn1{226, 125, 68, 25};
// Beside the main window: to its right, or to its left in the right half of the screen.
constexpr int kRightOfMain = 497, kLeftOfMain = -301, kBelowMainTop = 208;
}  // namespace settings_layout

namespace editor_layout {
constexpr int kWidth = 497, kHeight = 164, kPictureHeight = 165;
constexpr tk::Rect kImage2{459, 8, 32, 25};
constexpr tk::Rect kSLabel1{40, 13, 214, 19};
constexpr tk::Rect kImage4{13, 10, 25, 26};
constexpr tk::Rect kRbPanel1{5, 37, 488, 122};
constexpr tk::Rect kImage3{10, 41, 85, 82};
constexpr tk::Rect kSCheckBox1{98, 107, 333, 19};
constexpr tk::Rect kSEdit1{100, 41, 390, 28};
constexpr tk::Rect kSEdit2{100, 74, 390, 28};
constexpr tk::Rect kSButton1{280, 129, 102, 27};
constexpr tk::Rect kSButton2{388, 129, 102, 27};
// Below the main window, or above it in the screen's lower half.
constexpr int kRightOfMainLeft = 2, kBelowMain = 369, kAboveMain = -158;
}  // namespace editor_layout

namespace notice_layout {
constexpr int kWidth = 302, kHeight = 135, kPictureHeight = 136;
constexpr tk::Rect kImage2{260, 4, 32, 25};
constexpr tk::Rect kSLabel1{53, 22, 201, 48};
constexpr tk::Rect kSButton1{150, 88, 129, 25};
constexpr tk::Rect kSButton2{32, 88, 105, 25};
// Centred: half the screen less these.
constexpr int kHalfWidthLess = 150, kHalfHeightLess = 100;
}  // namespace notice_layout

}  // namespace ui
