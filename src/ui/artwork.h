#pragma once
#include "toolkit/toolkit.h"

// The windows' built-in artwork, drawn on lime (see-through) so it gives each window its shape.
namespace ui {

// The main window's face: a rounded panel with a header, the tile area and a footer.
tk::Bitmap MainBackground(int width, int height);
// The secondary windows: a white rounded rectangle with a grey border and a close mark in
// the top right corner.
tk::Bitmap DialogBackground(int width, int height);

}  // namespace ui
