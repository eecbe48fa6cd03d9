#pragma once
// A grid of picture tiles: fixed columns, rows added one by one, a picture per cell drawn
// stretched into the cell less a margin, a selection event on a press, smooth scrolling.
#include <functional>
#include <vector>

#include "toolkit/controls.h"
#include "toolkit/toolkit.h"

namespace tk {

class PictureGrid : public WindowedControl {
 public:
  enum class ScrollBar { kWhenNeeded, kAlways };
  static constexpr int kMargin = 4;  // between a cell's edge and its picture
  static constexpr int kScrollBarWidth = 14;
  static constexpr int kWheelStep = 60;     // pixels per wheel notch
  static constexpr int kScrollTickMs = 15;  // the glide towards the wheel's target

  PictureGrid(Form* owner, std::string name, Rect bounds, int columns, int column_width,
              int row_height);

  int Columns() const { return columns_; }
  int ColumnWidth() const { return column_width_; }
  int RowHeight() const { return row_height_; }
  // The size a picture is drawn at.
  Size TileSize() const { return {column_width_ - 2 * kMargin, row_height_ - 2 * kMargin}; }

  int RowCount() const { return static_cast<int>(rows_.size()); }
  void AddRow();
  void ClearRows();
  // The picture is scaled to the tile size once, here (a picture of that size is taken as
  // it is); `tag` is the caller's number for it.
  void SetCell(int col, int row, Bitmap picture, int tag);
  bool HasPicture(int col, int row) const;
  // The tag of a cell with a picture, or 0.
  int Tag(int col, int row) const;
  const Bitmap* Tile(int col, int row) const;

  void SetColumnEnabled(int col, bool enabled);
  bool ColumnEnabled(int col) const;
  // The grid's background and the cells' background.
  void SetColours(Colour grid, Colour cells);
  Colour CellColour() const { return cell_colour_; }
  void SetLineColour(Colour c) {
    line_colour_ = c;
    Invalidate();
  }
  void SetScrollBar(ScrollBar s);
  // A short note drawn in the middle while no cell has a picture: its first line as a
  // heading, the others ("\n" between them) below it.
  void SetEmptyText(std::string text);
  const std::string& EmptyText() const { return empty_text_; }
  bool EmptyTextShown() const;
  bool ScrollBarShown() const;

  // Rows scrolled out of view at the top, in pixels; the target of a glide.
  int ScrollOffset() const { return offset_; }
  int MaxScroll() const;
  void ScrollTo(int offset);

  // A left or right press over a cell of the existing rows whose column is enabled.
  std::function<void(int col, int row)> OnSelectCell;

  bool WantsDoubleClicks() const override { return true; }
  void Paint(Canvas& c) override;
  void MouseDown(const MouseArgs& a) override;
  void MouseMove(int x, int y, uint8_t shift) override;
  void MouseUp(const MouseArgs& a) override;
  void MouseLeave() override;
  bool MouseWheel(int notches) override;
  bool KeyDown(int vk, uint8_t shift) override;

 private:
  struct Cell {
    Bitmap tile;
    int tag = 0;
  };
  Rect ThumbRect() const;
  int ContentHeight() const { return RowCount() * row_height_; }
  bool CellAtPoint(int x, int y, int* col, int* row) const;
  void GlideStep();
  void PaintEmptyText(Canvas& c);

  int columns_, column_width_, row_height_;
  std::vector<std::vector<Cell>> rows_;
  std::vector<bool> column_enabled_;
  Colour grid_colour_ = Rgb(255, 255, 255);
  Colour cell_colour_ = Rgb(255, 255, 255);
  Colour line_colour_ = Rgb(255, 255, 255);
  ScrollBar scroll_bar_ = ScrollBar::kWhenNeeded;
  int offset_ = 0, target_ = 0;
  Timer glide_;
  int hover_col_ = -1, hover_row_ = -1;
  bool dragging_thumb_ = false;
  int drag_grab_ = 0;
  std::string empty_text_;
};

}  // namespace tk
