#include "commands/Redraw.h"

#include <memory>

#include "commands/BlurCommands.h"
#include "commands/PictureCommands.h"
#include "core/Routine.h"
#include "engine/Passes.h"
#include "engine/ResultName.h"

namespace morv {

namespace {

/// One pass in its frame: after each column a yield, the status text and the
/// cancel check; a commit after the last column. Returns false when cancelled.
bool passFrame(const Host& host, const PassTable& table, int strength, float total) {
    Session& s = host.app().session;
    // The picture is held by shared ownership while events run between columns.
    const std::shared_ptr<HeightImage> image = host.document().disp.image;
    const bool completed = runPass(*image, table, [&](std::int64_t visited) {
        host.activity.doEvents();
        const int percent = progressPercent(visited, total);
        host.activity.setProgress(passStatusText(table.kind, strength, percent), percent);
        return s.gblnCancel;
    });
    if (completed) host.document().disp.commit();
    return completed;
}

}  // namespace

void redraw(const Host& host) {
    App& app = host.app();
    Session& s = app.session;
    Document& doc = host.document();
    Routine r(app, "frmMain.cmdRedraw_Click");

    r([&] {
        s.gblnBusy = true;
        s.gblnDrawing = true;
        host.activity.setControlsEnabled(false);
    });
    const TerrainControls c = host.work.controls();
    bool noTask = false;
    r([&] {
        if (!c.flattenTicked && !c.fillTicked && !s.gblnScaleUp) {
            noTask = true;
            showMessage(app, "You don't have any draw options selected.", mb::Information, "No Task Selected");
        }
    });

    bool cancelled = false;
    float total = 0;
    auto pass = [&](auto makeTable, int strength) {
        if (cancelled) return;
        r([&] { cancelled = !passFrame(host, makeTable(), strength, total); });
    };

    if (!noTask) {
        r([&] { doc.disp.replace(host.work.loadPicture(doc.dialogFileName)); });
        r([&] {
            host.frame.setContourVisible(false);
            host.frame.setShowContours(false);
        });
        r([&] { host.activity.doEvents(); });
        r([&] { host.activity.setWaitCursor(true); });
        r([&] {
            total = float(doc.disp.image->pixelCount());
            s.gintCurHighColor = s.gintHighColor;
            s.gintCurLowColor = s.gintLowColor;
        });
        if (c.flattenTicked) {
            if (c.mountainMode == MountainMode::Flatten)
                pass([&] { return flattenTable(s.gintGroundLevel, s.gsngMountainFactor); }, mountainStrength(s.gsngMountainFactor));
            else
                pass([&] { return lowerTable(s.gintGroundLevel, s.gintCurHighColor, s.gsngMountainFactor); },
                     mountainStrength(s.gsngMountainFactor));
        }
        if (c.fillTicked) {
            if (c.valleyMode == ValleyMode::Fill)
                pass([&] { return fillTable(s.gintGroundLevel, s.gdblValleyFactor); }, valleyStrength(s.gdblValleyFactor));
            else
                pass([&] { return invertTable(s.gintGroundLevel, s.gintCurLowColor, s.gdblValleyFactor); },
                     valleyStrength(s.gdblValleyFactor));
        }
        if (s.gblnScaleUp && !cancelled) {
            r([&] { findGreyRange(host); });
            pass([&] { return raiseTable(s.gintGroundLevel, s.gintCurHighColor); }, 0);
        }
        if (!cancelled) {
            if (c.blurTicked) r([&] { applyBlur(host); });
            if (c.autoContours) r([&] { drawNewContours(host); });
            r([&] { doc.disp.commit(); });
            r([&] { findGreyRange(host); });
            r([&] {
                s.gstrResultName = resultName(s.gstrImageFile, doc.disp.width(), doc.disp.height(), c, s.gstrImageExt);
                doc.drawnWith = c;
                host.frame.setPictureCaption("Morv: " + s.gstrResultName);
            });
            r([&] { host.frame.setSaveEnabled(true); });
        } else {
            r([&] { doc.disp.replace(host.work.loadPicture(doc.dialogFileName)); });
            r([&] { host.activity.doEvents(); });
            r([&] { host.frame.setSaveEnabled(false); });
        }
    }

    r([&] {
        s.gblnDrawing = false;
        s.gblnBusy = false;
        s.gblnCancel = false;
        host.activity.setControlsEnabled(true);
        host.activity.setWaitCursor(false);
        host.activity.setStatus("");
        host.frame.beep();
    });
}

}  // namespace morv
