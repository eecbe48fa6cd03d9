#pragma once
// The built-in skin: one look for buttons, sliders, check boxes, edit fields, menus and hints
// in all windows. Light from the top left; one blue accent.
#include <string>

#include "toolkit/canvas.h"

namespace tk::skin {

enum class State { kNormal, kHot, kPressed, kDisabled };
// A control's look from its state; `pressed` only counts while the mouse is over it.
State StateOf(bool enabled, bool pressed, bool hot);

// The palette, for the skin and the program's artwork.
constexpr Colour kFace = Rgb(238, 242, 247);
constexpr Colour kText = Rgb(24, 32, 44);
constexpr Colour kDisabledText = Rgb(150, 158, 170);
constexpr Colour kAccent = Rgb(47, 111, 208);
constexpr Colour kAccentLight = Rgb(104, 160, 238);
constexpr Colour kAccentDark = Rgb(28, 74, 156);
constexpr Colour kBorder = Rgb(138, 153, 178);
constexpr Colour kBorderHot = Rgb(86, 132, 204);
constexpr Colour kHighlight = Rgb(255, 255, 255);  // the button-highlight colour
constexpr Colour kOutline = Rgb(84, 98, 124);      // the main window's outline
constexpr Colour kInk = Rgb(62, 76, 100);          // dark glyphs
constexpr Colour kGreen = Rgb(46, 160, 67);
constexpr Colour kGreenLight = Rgb(110, 206, 120);
constexpr Colour kRed = Rgb(200, 58, 46);
constexpr Colour kRedLight = Rgb(240, 118, 100);
constexpr Colour kGold = Rgb(240, 160, 24);
constexpr Colour kGoldLight = Rgb(255, 220, 96);

// Fonts: one constructor for every text; the skin's own texts by their role.
enum class FontRole { kMenu, kHint };
Font MakeFont(const std::string& face, int height, uint8_t style = 0, Colour colour = Rgb(0, 0, 0));
Font MakeFont(FontRole role);

constexpr int kTrackMargin = 2;
constexpr int kCheckBoxSize = 14;
constexpr int kMenuItemHeight = 24;
constexpr int kMenuPictureColumn = 28;
constexpr int kMenuBorder = 3;

void DrawButton(Canvas& c, const Rect& r, State s, bool focused);
void DrawTrackBar(Canvas& c, const Rect& r, const Rect& thumb, State thumb_state, bool focused);
void DrawCheckBox(Canvas& c, const Rect& box, bool checked, State s);
void DrawEditFrame(Canvas& c, const Rect& r, State s, bool focused);
void DrawFocus(Canvas& c, const Rect& r);

// Width of an item's text with its margins and picture column.
int MenuItemWidth(TextRenderer& text, const std::string& caption);
void DrawMenuFrame(Canvas& c, const Rect& r);
// The caption's "&" marks the access key, underlined when show_keys is set.
void DrawMenuItem(Canvas& c, const Rect& r, const std::string& caption, const Bitmap& picture,
                  bool highlighted, bool enabled, bool show_keys);

// Hint texts: "\n" separates lines.
Size HintSize(TextRenderer& text, const std::string& hint);
void DrawHint(Canvas& c, const Rect& r, const std::string& hint);

}  // namespace tk::skin
