#include "engine/Redraw.h"

#include <memory>

#include "analysis/Blur.h"
#include "analysis/ColourRange.h"
#include "analysis/Contours.h"
#include "core/Routine.h"
#include "engine/Host.h"
#include "engine/Passes.h"
#include "engine/ResultName.h"

namespace morv {

namespace {

/// One pass in its frame: after each column a yield, the status text and the
/// cancel check; a commit after the last column. Returns false when cancelled.
bool passFrame(Host& host, const PassTable& table, int strength, float total) {
    Session& s = host.app().session;
    // The picture is held by shared ownership while events run between columns.
    const std::shared_ptr<HeightImage> image = host.document().disp.image;
    const bool completed = runPass(*image, table, [&](std::int64_t visited) {
        host.doEvents();
        host.setStatus(passStatusText(table.kind, strength, progressPercent(visited, total)));
        return s.gblnCancel;
    });
    if (completed) host.document().disp.commit();
    return completed;
}

}  // namespace

void cmdRedraw_Click(Host& host) {
    App& app = host.app();
    Session& s = app.session;
    Document& doc = host.document();
    Routine r(app, "frmMain.cmdRedraw_Click");

    r([&] {
        s.gblnBusy = true;
        s.gblnDrawing = true;
        host.SetControlsEnabled(false);
    });
    const TerrainControls c = host.controls();
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
        r([&] { doc.disp.replace(host.loadPicture(doc.dialogFileName)); });
        r([&] {
            host.setContourVisible(false);
            host.setShowContours(false);
        });
        r([&] { host.doEvents(); });
        r([&] { host.setWaitCursor(true); });
        r([&] {
            total = float(doc.disp.image->pixelCount());
            s.gintCurHighColor = s.gintHighColor;
            s.gintCurLowColor = s.gintLowColor;
        });
        if (c.flattenTicked) {
            if (c.flattenTag == "Flatten")
                pass([&] { return flattenTable(s.gintGroundLevel, s.gsngMountainFactor); }, mountainStrength(s.gsngMountainFactor));
            else
                pass([&] { return lowerTable(s.gintGroundLevel, s.gintCurHighColor, s.gsngMountainFactor); },
                     mountainStrength(s.gsngMountainFactor));
        }
        if (c.fillTicked) {
            if (c.fillLetter == 'F')
                pass([&] { return fillTable(s.gintGroundLevel, s.gdblValleyFactor); }, valleyStrength(s.gdblValleyFactor));
            else if (c.fillLetter == 'I')
                pass([&] { return invertTable(s.gintGroundLevel, s.gintCurLowColor, s.gdblValleyFactor); },
                     valleyStrength(s.gdblValleyFactor));
        }
        if (s.gblnScaleUp && !cancelled) {
            r([&] { cmdGetHighLowColor_Click(host); });
            pass([&] { return raiseTable(s.gintGroundLevel, s.gintCurHighColor); }, 0);
        }
        if (!cancelled) {
            if (c.blurTicked) r([&] { ApplyBlur(host); });
            if (c.autoContours) r([&] { cmdNewCoast_Click(host); });
            r([&] { doc.disp.commit(); });
            r([&] { cmdGetHighLowColor_Click(host); });
            r([&] {
                s.gstrResultName = resultName(s.gstrImageFile, doc.disp.width(), doc.disp.height(), c, s.gstrImageExt);
                host.setPictureCaption("Morv: " + s.gstrResultName);
            });
            r([&] { host.setSaveEnabled(true); });
        } else {
            r([&] { doc.disp.replace(host.loadPicture(doc.dialogFileName)); });
            r([&] { host.doEvents(); });
            r([&] { host.setSaveEnabled(false); });
        }
    }

    r([&] {
        s.gblnDrawing = false;
        s.gblnBusy = false;
        s.gblnCancel = false;
        host.SetControlsEnabled(true);
        host.setWaitCursor(false);
        host.setStatus("");
        host.beep();
    });
}

}  // namespace morv
