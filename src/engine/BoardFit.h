#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/HeightImage.h"
#include "engine/MapScale.h"

namespace morv {

/// Pixels a base board covers on the 5 m grid: 720 m at 5 m a pixel.
inline constexpr int kPixelsPerBoard = 144;

/// The most boards a layout has each way: the side of 227 boards on the 5 m grid
/// (32688 pixels) stays within the picture size limits, one more does not.
inline constexpr int kMaxBoards = 227;

/// The simulator's terrain grids: vertices every 5 m (144 pixels a 720 m base
/// board) or every 10 m (72 pixels a board, plus the closing edge row).
enum class BoardGrid { FiveMetre = 5, TenMetre = 10 };

/// How a map is brought to whole boards.
enum class BoardFitMethod { Crop, Pad, Scale };

/// Pixels a base board covers on a grid: 144 on the 5 m grid, 72 on the 10 m grid.
int pixelsPerBoard(BoardGrid grid) noexcept;

/// The image side for n boards: 144 x n on the 5 m grid; 72 x n + 1 on the 10 m
/// grid, where neighbouring boards share their edge vertices and the last board
/// needs its closing edge.
int boardSide(BoardGrid grid, int boards) noexcept;

/// Metres across a pixel of a map made for grid: 5 or 10.
double gridPixelMetres(BoardGrid grid) noexcept;

/// Metres across a pixel once a side of side pixels made for grid is resampled to
/// fitted pixels: the same ground over another number of steps (on the 10 m grid
/// the steps run between vertices, one fewer than the pixels).
double scaledPixelMetres(BoardGrid grid, int side, int fitted) noexcept;

/// Reads a grid ("5" or "10"), a method ("crop", "pad", "scale") or a layout
/// ("WxH", each 1..kMaxBoards boards so the side stays within the size limits).
std::optional<BoardGrid> parseBoardGrid(std::string_view text);
std::optional<BoardFitMethod> parseBoardFitMethod(std::string_view text);
std::optional<std::pair<int, int>> parseBoardLayout(std::string_view text);

/// What the result name records of a fit: "_FB-" W "x" H in boards, with "10"
/// after "FB" on the 10 m grid ("_FB-4x3", "_FB10-4x3").
std::string boardFitTag(BoardGrid grid, int boardsWide, int boardsHigh);

/// Why method cannot bring a picture of w x h pixels to width x height: cropping
/// cannot grow a side, padding cannot shrink one ("cropping cannot make 600 x 450
/// pixels into 720 x 576"); "" when it can.
std::string fitRefusal(int w, int h, int width, int height, BoardFitMethod method);

/// A copy of image brought to width x height pixels. Crop keeps the middle (an odd
/// pixel more is cut from the right and bottom); Pad centres the image on a plane
/// of colour ground (the odd pixel goes to the right and bottom); Scale resamples
/// each direction on its own, averaging the covered area when it shrinks and by
/// bicubic interpolation (Catmull-Rom) when it grows, rounding levels to nearest.
/// Colour pictures are fitted channel by channel. Throws std::invalid_argument
/// with fitRefusal's reason when Crop would have to grow or Pad to shrink a side.
HeightImage fitToSize(const HeightImage& image, int width, int height, BoardFitMethod method, Colour ground);

/// The scale of a w x h map once fitToSize has brought it to width x height by
/// method: Scale stretches each pixel (the metres a pixel become the mean of the
/// two directions' when they differ); Crop and Pad move the grid's origin by the
/// pixels cut or added on the left and top. Heights keep their scale.
MapScale fittedScale(const MapScale& scale, int w, int h, int width, int height, BoardFitMethod method);

}  // namespace morv
