#include "commands/BoardCommands.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <memory>
#include <stdexcept>
#include <string>

#include "core/Routine.h"
#include "engine/ResultName.h"

namespace morv {

namespace {

/// The nearest whole number of boards a side covers, at least one.
int nearestBoards(BoardGrid grid, int side) {
    const int border = grid == BoardGrid::TenMetre ? 1 : 0;
    const double boards = double(side - border) / pixelsPerBoard(grid);
    return std::clamp(int(std::lround(boards)), 1, 227);
}

}  // namespace

BoardFitChoice suggestedBoardFit(BoardGrid grid, int width, int height) {
    return {grid, nearestBoards(grid, width), nearestBoards(grid, height), BoardFitMethod::Scale};
}

bool fitMapToBoards(const Host& host, const BoardFitChoice& c) {
    App& app = host.app();
    Session& s = app.session;
    Document& doc = host.document();
    Routine r(app, "frmMain.mnuToolsFitBoards_Click");
    const int width = boardSide(c.grid, c.boardsWide), height = boardSide(c.grid, c.boardsHigh);
    std::string refused;
    bool fitted = r([&] {
        host.activity.setWaitCursor(true);
        try {
            // Both pictures are fitted before either display changes.
            auto map = std::make_shared<HeightImage>(fitToSize(*doc.disp.image, width, height, c.method, s.glngGroundColor));
            std::shared_ptr<HeightImage> contour;
            if (!doc.dispCL.image->empty())
                contour = std::make_shared<HeightImage>(
                    fitToSize(*doc.dispCL.image, width, height, c.method, s.glngGroundColor));
            doc.disp.replace(std::move(map));
            doc.dispCL.replace(std::move(contour));
        } catch (const std::invalid_argument& e) {
            refused = e.what();
        }
        host.activity.setWaitCursor(false);
    });
    if (!refused.empty()) {
        refused[0] = char(std::toupper(static_cast<unsigned char>(refused[0])));
        r([&] {
            showMessage(app, refused + " pixels." + s.gstrCR2 + "Choose Pad or Scale, or another number of boards.",
                        mb::OKOnly + mb::Exclamation, "Fit to Boards");
        });
        return false;
    }
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
