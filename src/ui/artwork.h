#pragma once
// The program's artwork, drawn in code: one palette, light from the top left. Pictures have
// alpha; window backgrounds are opaque with lime where the window is see-through.
#include "toolkit/graphics.h"

namespace ui::art {

// The main window's face: rounded body, header, tile well and footer.
tk::Bitmap MainBackground();
// The secondary windows: a white rounded rectangle with a grey border and a close mark in
// the top right corner.
tk::Bitmap DialogBackground(int width, int height);

// 30 x 31: the favourite mark, set (gold star) or not (grey star).
tk::Bitmap FavouriteMark(bool favourite);
// 18 x 17: the speaker, sounding or muted.
tk::Bitmap Speaker(bool muted);
// 33 x 31 round picture buttons of the header, plain and under the mouse.
tk::Bitmap CloseButton(bool hot);
tk::Bitmap TrayButton(bool hot);
// The footer's small pictures.
tk::Bitmap EditIcon();      // 16 x 18
tk::Bitmap SettingsIcon();  // 17 x 17
tk::Bitmap SiteIcon();      // 17 x 18
// Glyphs of the play and stop buttons.
tk::Bitmap PlayGlyph();
tk::Bitmap StopGlyph();

// A neutral tile for a station whose logo cannot be read: a muted radio on a light card.
tk::Bitmap PlaceholderLogo(int width, int height);

// 24 x 24 window icons of the secondary windows.
enum class DialogPicture { kSettings, kEditor };
tk::Bitmap DialogIcon(DialogPicture which);

// The product icon at a size in pixels (square): a blue disc with white radio waves.
tk::Bitmap ProductIcon(int size);

// 16 x 16 menu pictures.
enum class MenuPicture { kSettings, kPlay, kStop, kSound, kHelp, kExit };
tk::Bitmap MenuIcon(MenuPicture which);

// Turns a picture drawn with soft edges into a window face: where it is mostly transparent
// it becomes lime, elsewhere it is laid over `edge` so no green fringe remains.
tk::Bitmap Flatten(const tk::Bitmap& b, tk::Colour edge);

}  // namespace ui::art
