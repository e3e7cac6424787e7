#include "commands/PictureCommands.h"

#include <memory>
#include <string>

#include "analysis/BaseLevel.h"
#include "analysis/ColourRange.h"
#include "analysis/Contours.h"
#include "core/Routine.h"

namespace morv {

void findGreyRange(const Host& host) {
    App& app = host.app();
    Session& s = app.session;
    Routine r(app, "frmMain.cmdGetHighLowColor_Click");
    r([&] {
        if (!s.gblnBusy && !s.gblnDrawing) {
            s.gblnBusy = true;
            host.activity.setControlsEnabled(false);
        }
    });
    r([&] { host.activity.setWaitCursor(true); });
    r([&] {
        s.gintCurHighColor = 0;
        s.gintCurLowColor = 255;
    });
    bool completed = false;
    r([&] {
        // Held by shared ownership: a close served during a yield may drop the display.
        const std::shared_ptr<const HeightImage> image = host.document().disp.image;
        const float total = float(image->pixelCount());
        GreyRange range;
        completed = scanGreyRange(*image, range, [&](std::int64_t visited) {
            s.gintCurHighColor = std::int16_t(range.high);
            s.gintCurLowColor = std::int16_t(range.low);
            host.activity.doEvents();
            const int percent = progressPercent(visited, total);
            host.activity.setProgress("WORKING... Getting Highest & Lowest Colors " + std::to_string(percent) + "%", percent);
            return s.gblnCancel && !s.gblnOpening;
        });
    });
    r([&] {
        if (completed && s.gblnOpening) {
            s.gintHighColor = s.gintCurHighColor;
            s.gintLowColor = s.gintCurLowColor;
        }
    });
    r([&] {
        if (s.gblnBusy && !s.gblnDrawing) {
            host.activity.setControlsEnabled(true);
            s.gblnBusy = false;
            s.gblnCancel = false;
        }
    });
    r([&] {
        host.activity.setWaitCursor(false);
        host.activity.setStatus("");
    });
}


void calcBase(const Host& host) {
    App& app = host.app();
    Session& s = app.session;
    Routine r(app, "frmMain.cmdCalcCL_Click");
    r([&] {
        s.gblnBusy = true;
        host.activity.setControlsEnabled(false);
    });
    float total = 0;
    r([&] { total = float(host.document().disp.image->pixelCount()); });
    r([&] {
        host.activity.setStatus("WORKING... Calculating Average Coastline Color");
        host.activity.setWaitCursor(true);
    });
    r([&] {
        host.frame.setContourVisible(true);
        host.activity.doEvents();
    });
    bool completed = false;
    ContourSum found;
    r([&] {
        const std::shared_ptr<const HeightImage> height = host.document().disp.image;
        const std::shared_ptr<const HeightImage> contour = host.document().dispCL.image;
        found = {};
        completed = sumUnderContours(*height, *contour, found, [&](std::int64_t visited) {
            host.activity.doEvents();
            if (s.gblnCancel) return true;
            const int percent = progressPercent(visited, total);
            host.activity.setProgress("WORKING... Calculating Average Coastline Color " + std::to_string(percent) + "%",
                                      percent);
            return false;
        });
    });
    if (completed) {
        r([&] {
            host.frame.setContourVisible(false);
            host.frame.setGroundLevelValue(found.average());
        });
    }
    r([&] {
        host.activity.setControlsEnabled(true);
        s.gblnBusy = false;
        s.gblnCancel = false;
        host.activity.setWaitCursor(false);
        host.activity.setStatus("");
    });
}


void drawNewContours(const Host& host) {
    App& app = host.app();
    Session& s = app.session;
    Routine r(app, "frmMain.cmdNewCoast_Click");
    r([&] {
        if (!s.gblnBusy && !s.gblnDrawing) {
            host.activity.setControlsEnabled(false);
            s.gblnDrawing = true;
        }
    });
    r([&] { host.activity.setWaitCursor(true); });
    float total = 0;
    r([&] { total = float(host.document().disp.image->pixelCount()); });
    r([&] {
        Document& doc = host.document();
        // The contour picture starts as a copy of the height picture. When nothing
        // else holds the old contour picture, the copy goes into its memory, so
        // the command needs no third picture's worth.
        std::shared_ptr<HeightImage> contour = doc.dispCL.image;
        if (contour && contour.use_count() == 2) *contour = *doc.disp.image;
        else contour = std::make_shared<HeightImage>(*doc.disp.image);
        doc.dispCL.replace(std::move(contour));
    });
    r([&] { host.frame.setShowContours(true); });
    r([&] { host.frame.refreshPicture(); });
    r([&] { host.activity.doEvents(); });
    bool completed = true;
    r([&] {
        // Held by shared ownership: a close served during a yield may drop the displays.
        const std::shared_ptr<const HeightImage> height = host.document().disp.image;
        const std::shared_ptr<HeightImage> contour = host.document().dispCL.image;
        completed = markContours(*height, s.glngGroundColor, *contour, [&](std::int64_t visited) {
            const int percent = progressPercent(visited, total);
            host.activity.setProgress("WORKING... Creating New Contours " + std::to_string(percent) + "%", percent);
            host.activity.doEvents();
            return s.gblnCancel;
        });
    });
    if (!completed) {
        r([&] { host.document().disp.replace(host.work.loadPicture(s.gstrImageFile)); });
        r([&] {
            // An image opened without a contour file goes back to having none.
            std::shared_ptr<HeightImage> contour;
            try {
                if (!s.gstrContourFile.empty()) contour = host.work.loadPicture(s.gstrContourFile);
            } catch (const RuntimeError& e) {
                if (e.number() != err::FileNotFound) throw;
            }
            host.document().dispCL.replace(std::move(contour));
        });
        r([&] { host.frame.setShowContours(false); });
        r([&] { host.activity.doEvents(); });
        r([&] { host.frame.setSaveEnabled(false); });
    }
    r([&] {
        if (!s.gblnBusy && s.gblnDrawing) {
            host.activity.setControlsEnabled(true);
            s.gblnDrawing = false;
        }
    });
    r([&] {
        s.gblnCancel = false;
        host.activity.setWaitCursor(false);
        host.activity.setStatus("");
    });
}

}  // namespace morv
