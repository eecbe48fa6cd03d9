#include "toolkit/grid.h"

#include <algorithm>

#include "toolkit/skin.h"
#include "toolkit/ui_thread.h"

namespace tk {

PictureGrid::PictureGrid(Form* owner, std::string name, Rect bounds, int columns, int column_width,
                         int row_height)
    : WindowedControl(owner, std::move(name), bounds), columns_(columns),
      column_width_(column_width), row_height_(row_height),
      column_enabled_(static_cast<size_t>(columns), true), glide_(kScrollTickMs, false) {
  glide_.OnTimer = [this] { GlideStep(); };
}

void PictureGrid::AddRow() {
  TK_UI_THREAD_ONLY();
  rows_.emplace_back(static_cast<size_t>(columns_));
  Invalidate();
}

void PictureGrid::ClearRows() {
  TK_UI_THREAD_ONLY();
  rows_.clear();
  offset_ = target_ = 0;
  glide_.SetEnabled(false);
  hover_col_ = hover_row_ = -1;
  Invalidate();
}

void PictureGrid::SetCell(int col, int row, Bitmap picture, int tag) {
  TK_UI_THREAD_ONLY();
  if (col < 0 || col >= columns_ || row < 0 || row >= RowCount()) return;
  Cell& c = rows_[static_cast<size_t>(row)][static_cast<size_t>(col)];
  Size t = TileSize();
  if (picture.Empty())
    c.tile = Bitmap();
  else if (picture.width == t.width && picture.height == t.height)
    c.tile = std::move(picture);
  else
    c.tile = Resample(picture, t.width, t.height);
  c.tag = tag;
  Invalidate();
}

bool PictureGrid::HasPicture(int col, int row) const { return Tile(col, row) != nullptr; }

int PictureGrid::Tag(int col, int row) const {
  return HasPicture(col, row) ? rows_[static_cast<size_t>(row)][static_cast<size_t>(col)].tag : 0;
}

const Bitmap* PictureGrid::Tile(int col, int row) const {
  if (col < 0 || col >= columns_ || row < 0 || row >= RowCount()) return nullptr;
  const Bitmap& b = rows_[static_cast<size_t>(row)][static_cast<size_t>(col)].tile;
  return b.Empty() ? nullptr : &b;
}

void PictureGrid::SetColumnEnabled(int col, bool enabled) {
  if (col >= 0 && col < columns_) column_enabled_[static_cast<size_t>(col)] = enabled;
}

bool PictureGrid::ColumnEnabled(int col) const {
  return col >= 0 && col < columns_ && column_enabled_[static_cast<size_t>(col)];
}

void PictureGrid::SetColours(Colour grid, Colour cells) {
  grid_colour_ = grid;
  cell_colour_ = cells;
  Invalidate();
}

void PictureGrid::SetScrollBar(ScrollBar s) {
  scroll_bar_ = s;
  Invalidate();
}

bool PictureGrid::ScrollBarShown() const {
  return scroll_bar_ == ScrollBar::kAlways || ContentHeight() > bounds_.height;
}

int PictureGrid::MaxScroll() const { return std::max(0, ContentHeight() - bounds_.height); }

void PictureGrid::ScrollTo(int offset) {
  TK_UI_THREAD_ONLY();
  offset_ = target_ = std::clamp(offset, 0, MaxScroll());
  glide_.SetEnabled(false);
  Invalidate();
}

void PictureGrid::SetEmptyText(std::string text) {
  TK_UI_THREAD_ONLY();
  empty_text_ = std::move(text);
  Invalidate();
}

bool PictureGrid::EmptyTextShown() const {
  if (empty_text_.empty()) return false;
  for (const auto& row : rows_)
    for (const Cell& cell : row)
      if (!cell.tile.Empty()) return false;
  return true;
}

void PictureGrid::PaintEmptyText(Canvas& c) {
  std::vector<std::string> lines;
  for (size_t from = 0; from <= empty_text_.size();) {
    size_t nl = std::min(empty_text_.find('\n', from), empty_text_.size());
    lines.push_back(empty_text_.substr(from, nl - from));
    from = nl + 1;
  }
  Font heading = skin::MakeFont(skin::FontRole::kHint),
       body = skin::MakeFont(skin::FontRole::kHint);
  heading.height = 17;
  heading.style = kBold;
  int w = bounds_.width - (ScrollBarShown() ? kScrollBarWidth : 0);
  int line_h = c.MeasureText("Ag", body).height + 3;
  int head_h = c.MeasureText("Ag", heading).height + 10;
  // A radio mast above the heading, lit from the top left like the rest of the artwork.
  int icon = 34;
  int total = icon + 10 + head_h + line_h * static_cast<int>(lines.size() - 1);
  int y = std::max(4, (bounds_.height - total) / 2);
  double cx = w / 2.0, cy = y + icon / 2.0;
  Path disc;
  disc.AddEllipse(cx, cy, icon / 2.0, icon / 2.0);
  c.FillPath(disc, Paint::Radial(cx - 6, cy - 7, icon * 0.8,
                                 {{0, skin::kAccentLight}, {1, skin::kAccentDark}}));
  Path waves;
  waves.AddEllipse(cx, cy + 1, 2.6, 2.6);
  waves.AddArc(cx, cy + 1, 7, 35, 145, 2.2);
  waves.AddArc(cx, cy + 1, 12, 40, 140, 2.2);
  c.FillPath(waves, Rgb(255, 255, 255));
  y += icon + 10;
  c.DrawTextIn(lines[0], heading, skin::kText, {8, y, w - 16, head_h}, Align::kCentre);
  y += head_h;
  for (size_t i = 1; i < lines.size(); ++i, y += line_h)
    c.DrawTextIn(lines[i], body, Rgb(96, 108, 128), {8, y, w - 16, line_h}, Align::kCentre);
}

void PictureGrid::GlideStep() {
  int d = target_ - offset_;
  // A third of the way each tick: fast at first, gentle at the end.
  int step = d / 3;
  if (step == 0) step = d;
  offset_ += step;
  if (offset_ == target_) glide_.SetEnabled(false);
  Invalidate();
}

Rect PictureGrid::ThumbRect() const {
  int track = bounds_.height - 4;
  int content = std::max(ContentHeight(), bounds_.height);
  int h = std::max(24, track * bounds_.height / content);
  int max = MaxScroll();
  int y = 2 + (max > 0 ? (track - h) * offset_ / max : 0);
  return {bounds_.width - kScrollBarWidth + 3, y, kScrollBarWidth - 6, h};
}

bool PictureGrid::CellAtPoint(int x, int y, int* col, int* row) const {
  if (x < 0 || y < 0 || x >= bounds_.width || y >= bounds_.height) return false;
  if (ScrollBarShown() && x >= bounds_.width - kScrollBarWidth) return false;
  int c = x / column_width_, r = (y + offset_) / row_height_;
  if (c >= columns_ || r >= RowCount()) return false;
  *col = c;
  *row = r;
  return true;
}

void PictureGrid::Paint(Canvas& c) {
  Rect all{0, 0, bounds_.width, bounds_.height};
  c.FillRect(all, grid_colour_);
  int first = offset_ / row_height_;
  // Rows without a single picture under the note are left plain.
  for (int r = EmptyTextShown() ? RowCount() : first; r < RowCount(); ++r) {
    int y = r * row_height_ - offset_;
    if (y >= bounds_.height) break;
    for (int col = 0; col < columns_; ++col) {
      Rect cell{col * column_width_, y, column_width_, row_height_};
      c.FillRect(cell, cell_colour_);
      if (r == hover_row_ && col == hover_col_ && HasPicture(col, r) && enabled_ &&
          ColumnEnabled(col)) {
        Path p;
        p.AddRoundRect(cell.left + 1.5, cell.top + 1.5, cell.width - 4, cell.height - 4, 5);
        c.FillPath(p, WithAlpha(skin::kAccentLight, 60));
      }
      if (const Bitmap* t = Tile(col, r)) c.DrawBitmap(*t, cell.left + kMargin, cell.top + kMargin);
      // Grid lines along the right and bottom edges.
      c.FillRect({cell.Right() - 1, cell.top, 1, cell.height}, line_colour_);
      c.FillRect({cell.left, cell.Bottom() - 1, cell.width, 1}, line_colour_);
    }
  }
  if (EmptyTextShown()) PaintEmptyText(c);
  if (ScrollBarShown()) {
    Rect bar{bounds_.width - kScrollBarWidth, 0, kScrollBarWidth, bounds_.height};
    c.FillRect(bar, Rgb(238, 241, 246));
    c.FillRect({bar.left, 0, 1, bar.height}, Rgb(222, 227, 235));
    if (MaxScroll() > 0) {
      Rect t = ThumbRect();
      Path p;
      p.AddRoundRect(t.left, t.top, t.width, t.height, t.width / 2.0);
      c.FillPath(p, dragging_thumb_ ? skin::kAccent : Rgb(176, 188, 208));
    }
  }
}

void PictureGrid::MouseDown(const MouseArgs& a) {
  TK_UI_THREAD_ONLY();
  WindowedControl::MouseDown(a);
  if (!enabled_ || a.double_click || a.button == MouseButton::kMiddle) return;
  if (ScrollBarShown() && a.x >= bounds_.width - kScrollBarWidth) {
    if (a.button != MouseButton::kLeft || MaxScroll() == 0) return;
    Rect t = ThumbRect();
    if (a.y >= t.top && a.y < t.Bottom()) {
      dragging_thumb_ = true;
      drag_grab_ = a.y - t.top;
    } else {
      ScrollTo(offset_ + (a.y < t.top ? -bounds_.height : bounds_.height));  // a page
    }
    Invalidate();
    return;
  }
  int col, row;
  if (!CellAtPoint(a.x, a.y, &col, &row) || !ColumnEnabled(col)) return;
  if (OnSelectCell) Application::Get().Dispatch([&] { OnSelectCell(col, row); });
}

void PictureGrid::MouseMove(int x, int y, uint8_t shift) {
  WindowedControl::MouseMove(x, y, shift);
  if (dragging_thumb_) {
    int track = bounds_.height - 4, h = ThumbRect().height;
    int room = std::max(1, track - h);
    ScrollTo((y - drag_grab_ - 2) * MaxScroll() / room);
    return;
  }
  int col = -1, row = -1;
  if (!CellAtPoint(x, y, &col, &row)) col = row = -1;
  if (col != hover_col_ || row != hover_row_) {
    hover_col_ = col;
    hover_row_ = row;
    Invalidate();
  }
}

void PictureGrid::MouseUp(const MouseArgs& a) {
  TK_UI_THREAD_ONLY();
  if (dragging_thumb_ && a.button == MouseButton::kLeft) {
    dragging_thumb_ = false;
    Invalidate();
  }
  WindowedControl::MouseUp(a);
}

void PictureGrid::MouseLeave() {
  hover_col_ = hover_row_ = -1;
  WindowedControl::MouseLeave();
}

bool PictureGrid::MouseWheel(int notches) {
  if (MaxScroll() == 0) return true;
  target_ = std::clamp(target_ - notches * kWheelStep, 0, MaxScroll());
  if (target_ != offset_) glide_.SetEnabled(true);
  return true;
}

bool PictureGrid::KeyDown(int vk, uint8_t) {
  switch (vk) {
    case kVkPrior: ScrollTo(offset_ - bounds_.height); return true;
    case kVkNext: ScrollTo(offset_ + bounds_.height); return true;
    case kVkHome: ScrollTo(0); return true;
    case kVkEnd: ScrollTo(MaxScroll()); return true;
    default: return false;
  }
}

}  // namespace tk
