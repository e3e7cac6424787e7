#pragma once
#include <string>

#include "commands/Host.h"
#include "engine/BoardFit.h"

namespace morv {

/// A layout of whole base boards and how the map is brought to it.
struct BoardFitChoice {
    BoardGrid grid = BoardGrid::FiveMetre;
    int boardsWide = 1;  ///< 1..kMaxBoards
    int boardsHigh = 1;  ///< 1..kMaxBoards
    BoardFitMethod method = BoardFitMethod::Scale;
};

/// The layout offered for a map of width x height pixels: the nearest whole number
/// of boards each way on grid (at least one), fitted by scaling.
BoardFitChoice suggestedBoardFit(BoardGrid grid, int width, int height);

/// Why the choice cannot be made of a map of width x height pixels, as a sentence
/// ("Cropping cannot make 600 x 450 pixels into 720 x 576 pixels."); "" when it can.
std::string boardFitRefusal(int width, int height, const BoardFitChoice& choice);

/// What to choose instead when a method is refused ("Choose Pad or Scale, or
/// fewer boards.").
std::string boardFitAdvice(BoardFitMethod refused);

/// Brings the document's height image and its contour image (when it has one) to
/// the choice's whole boards, padding with ground. Both are fitted before either
/// is replaced, so a fit that fails changes nothing. Throws std::invalid_argument
/// with fitRefusal's reason when the method cannot make that size.
void fitPicturesToBoards(Document& doc, const BoardFitChoice& choice, Colour ground);

/// Tools > Fit to Boards: brings the height image and its contour image to the
/// chosen whole boards (padding with the ground level), names the result after the
/// last Redraw with the fit recorded ("..._B-0_FB-4x3.bmp"), resizes the picture
/// window and marks the map unsaved. A crop that would have to grow the map or a
/// pad that would have to shrink it is refused in a message box and changes
/// nothing. Returns true when fitted. Traces "frmMain.mnuToolsFitBoards_Click".
bool fitMapToBoards(const Host& host, const BoardFitChoice& choice);

}  // namespace morv
