#include "commands/BoardCommands.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <memory>
#include <string>

#include "core/Routine.h"
#include "engine/ResultName.h"

namespace morv {

namespace {

/// The nearest whole number of boards a side covers, at least one.
int nearestBoards(BoardGrid grid, int side) {
    const int border = grid == BoardGrid::TenMetre ? 1 : 0;
    const double boards = double(side - border) / pixelsPerBoard(grid);
    return std::clamp(int(std::lround(boards)), 1, kMaxBoards);
}

}  // namespace

BoardFitChoice suggestedBoardFit(BoardGrid grid, int width, int height) {
    return {grid, nearestBoards(grid, width), nearestBoards(grid, height), BoardFitMethod::Scale};
}

std::string boardFitRefusal(int width, int height, const BoardFitChoice& c) {
    std::string why = fitRefusal(width, height, boardSide(c.grid, c.boardsWide), boardSide(c.grid, c.boardsHigh), c.method);
    if (why.empty()) return why;
    why[0] = char(std::toupper(static_cast<unsigned char>(why[0])));
    return why + " pixels.";
}

std::string boardFitAdvice(BoardFitMethod refused) {
    return refused == BoardFitMethod::Crop ? "Choose Pad or Scale, or fewer boards."
                                           : "Choose Crop or Scale, or more boards.";
}

void fitPicturesToBoards(Document& doc, const BoardFitChoice& c, Colour ground) {
    const int width = boardSide(c.grid, c.boardsWide), height = boardSide(c.grid, c.boardsHigh);
    auto map = std::make_shared<HeightImage>(fitToSize(*doc.disp.image, width, height, c.method, ground));
    std::shared_ptr<HeightImage> contour;
    if (!doc.dispCL.image->empty())
        contour = std::make_shared<HeightImage>(fitToSize(*doc.dispCL.image, width, height, c.method, ground));
    const int oldWidth = doc.disp.width(), oldHeight = doc.disp.height();
    doc.disp.replace(std::move(map));
    doc.dispCL.replace(std::move(contour));
    // The pixels now stand for other ground: the scale moves with them.
    if (doc.scale) doc.scale = fittedScale(*doc.scale, oldWidth, oldHeight, width, height, c.method);
}

bool fitMapToBoards(const Host& host, const BoardFitChoice& c) {
    App& app = host.app();
    Session& s = app.session;
    Document& doc = host.document();
    Routine r(app, "frmMain.mnuToolsFitBoards_Click");
    const int width = boardSide(c.grid, c.boardsWide), height = boardSide(c.grid, c.boardsHigh);
    std::string refused;
    r([&] { refused = boardFitRefusal(doc.disp.width(), doc.disp.height(), c); });
    if (!refused.empty()) {
        r([&] {
            showMessage(app, refused + s.gstrCR2 + boardFitAdvice(c.method), mb::OKOnly + mb::Exclamation, "Fit to Boards");
        });
        return false;
    }
    r([&] { host.activity.setWaitCursor(true); });
    const bool fitted = r([&] { fitPicturesToBoards(doc, c, s.glngGroundColor); });
    r([&] { host.activity.setWaitCursor(false); });
    if (!fitted) return false;
    r([&] {
        // The name of what the map went through: the last Redraw (or none), at the new size, and this fit.
        std::string ext;
        const std::string name = resultName(s.gstrImageFile, width, height, doc.drawnWith.value_or(TerrainControls{}), ext);
        s.gstrResultName = withFitAndExtension(name, boardFitTag(c.grid, c.boardsWide, c.boardsHigh), ext);
        host.frame.setPictureCaption("Morv: " + s.gstrResultName);
    });
    r([&] { host.frame.showPictureWindow(); });
    r([&] { host.frame.setSaveEnabled(true); });
    return true;
}

}  // namespace morv
