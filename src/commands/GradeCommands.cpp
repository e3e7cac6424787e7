#include "commands/GradeCommands.h"

#include <cctype>
#include <memory>

#include "analysis/Contours.h"
#include "core/Routine.h"

namespace morv {

GradeOutcome gradeMap(HeightImage& map, const MapScale& scale, const GradeRequest& request) {
    GradeOutcome out;
    out.profile = solveProfile(map, scale, request.line, request.profile);
    out.corridor = applyCorridor(map.grey(), map.width(), map.height(), out.profile, request.corridor);
    out.steps = levelSteps(out.profile);
    return out;
}

std::optional<GradeOutcome> gradeTrack(const Host& host, const GradeRequest& request) {
    App& app = host.app();
    Session& s = app.session;
    Document& doc = host.document();
    Routine r(app, "frmMain.mnuToolsGradeTrack_Click");
    std::optional<GradeOutcome> outcome;
    std::string refused;
    r([&] { host.activity.setWaitCursor(true); });
    r([&] {
        // The map is graded in a copy, so a refusal leaves the open map as it was.
        try {
            auto graded = std::make_shared<HeightImage>(*doc.disp.image);
            GradeOutcome done = gradeMap(*graded, doc.scale.value_or(MapScale{}), request);
            std::shared_ptr<HeightImage> contour;
            if (request.redrawContours)
                contour = std::make_shared<HeightImage>(contourPicture(*graded, s.glngGroundColor));
            doc.disp.replace(std::move(graded));
            if (contour) doc.dispCL.replace(std::move(contour));
            outcome = std::move(done);
        } catch (const GradeError& e) {
            refused = e.what();
        }
    });
    r([&] { host.activity.setWaitCursor(false); });
    if (!refused.empty()) {
        refused[0] = char(std::toupper(static_cast<unsigned char>(refused[0])));
        r([&] { showMessage(app, refused + ".", mb::OKOnly + mb::Exclamation, "Grade Track"); });
        return std::nullopt;
    }
    if (!outcome) return std::nullopt;
    r([&] { host.frame.refreshPicture(); });
    r([&] { host.frame.setSaveEnabled(true); });
    return outcome;
}

}  // namespace morv
