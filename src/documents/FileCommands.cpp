#include "documents/FileCommands.h"

#include <sys/stat.h>

#include <cmath>
#include <memory>
#include <string>

#include "analysis/Blur.h"
#include "analysis/ColourRange.h"
#include "core/Routine.h"
#include "documents/Files.h"
#include "engine/Host.h"
#include "engine/ImageIO.h"

namespace morv {

namespace {

constexpr const char* kOpenFilter = "*.bmp|*.bmp|*.jpg|*.jpg|Images: bmp, jpg|*.bmp;*.jpg";

std::string lastThree(const std::string& p) { return p.substr(p.size() >= 3 ? p.size() - 3 : 0); }

bool hasFraction(float v) { return v - std::floor(v) > 0.0f; }

/// True for a device, FIFO or socket: something that is there, though no picture.
/// Loading it reports what it is, rather than "Can not be found".
bool isSpecialFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode);
}

/// The steps of Open after the file dialog, on the chosen path.
void openChosen(Host& host, Routine& r, const std::string& chosen) {
    App& app = host.app();
    Session& s = app.session;
    Document& doc = host.document();

    bool stillOpen = false;
    r([&] {
        if (!s.gstrImageFile.empty()) stillOpen = !mnuFileClose_Click(host);
    });
    if (stillOpen || chosen.empty()) return;

    bool found = true;
    r([&] { found = fcnFileExists(app, chosen) || isSpecialFile(chosen); });
    if (!found) {
        r([&] {
            showMessage(app, "The file named..." + s.gstrCR2 + chosen + s.gstrCR2 + "Can not be found.", mb::OKOnly + mb::Critical,
                        "FILE NOT FOUND");
        });
        r([&] { doc.dialogFileName.clear(); });
        return;
    }

    r([&] {
        host.setStatus("WORKING... Loading Image");
        host.setWaitCursor(true);
    });
    // Every way out from here gives the pointer and the status bar back.
    struct Restore {
        Host& h;
        ~Restore() {
            h.setWaitCursor(false);
            h.setStatus("");
        }
    } restore{host};

    r([&] {
        s.gstrImageFile = chosen;
        s.gstrImageExt = lastThree(chosen);
        s.gstrContourFile = contourPathFor(chosen);
        doc.dialogFileName = chosen;
    });
    bool contourFound = true;
    r([&] { contourFound = fcnFileExists(app, s.gstrContourFile) || isSpecialFile(s.gstrContourFile); });
    bool loaded = false;
    if (!contourFound) {
        int answer = mb::No;
        r([&] {
            answer = showMessage(app,
                                 "The corresponding Coastlines image can not be found." + s.gstrCR +
                                     "It is possible to create one." + s.gstrCR2 + "Do you want to continue loading the image?",
                                 mb::YesNo + mb::Question, "FILE NOT FOUND");
        });
        if (answer != mb::Yes) return;
        loaded = r([&] {
            doc.disp.replace(host.loadPicture(s.gstrImageFile));
            doc.dispCL.replace(nullptr);
        });
    } else {
        loaded = r([&] {
            // Both pictures load before either display changes, so a failure leaves neither half-loaded.
            auto height = host.loadPicture(s.gstrImageFile);
            auto contour = host.loadPicture(s.gstrContourFile);
            checkPairSizes(*height, s.gstrImageFile, *contour, s.gstrContourFile);
            doc.disp.replace(std::move(height));
            doc.dispCL.replace(std::move(contour));
        });
    }
    if (!loaded) {
        // The error was reported and ignored: no image came in, so none is open.
        s.gstrImageFile.clear();
        doc.disp.replace(nullptr);
        doc.dispCL.replace(nullptr);
        return;
    }

    r([&] {
        const int w = doc.disp.width(), h = doc.disp.height();
        if (w != h) return;
        if (hasFraction(float(w) / 8.0f)) {
            showMessage(app,
                        "This image is not properly scaled to work within Trainz." + s.gstrCR2 +
                            "An image needs to be a factor of 8." + s.gstrCR2 +
                            "Click Tools -> Calc Img Size to determine the bet fit.",
                        mb::OKOnly + mb::Critical, "Image Size Mismatch");
        } else if (hasFraction(float(w) / 144.0f)) {
            showMessage(app,
                        "This image is not properly scaled to fit Trainz's Base Boards." + s.gstrCR2 +
                            "An image needs to be 145px to properly fit a Base Board." + s.gstrCR2 +
                            "Click Tools -> Calc Img Size to determine the bet fit.",
                        mb::OKOnly + mb::Information, "Image Not Scaled to BaseBoards");
        }
    });
    r([&] { host.setPictureCaption(s.gstrImageFile); });
    r([&] { host.setToolbarsVisible(true); });
    r([&] { host.fitSliders(); });
    r([&] { s.gblnOpening = true; });
    r([&] { cmdGetHighLowColor_Click(host); });
    r([&] { s.gblnOpening = false; });
    r([&] { LoadBlurData(host); });
    r([&] { host.showPictureWindow(); });
    r([&] { host.setSaveAsCloseEnabled(true); });
    r([&] {
        host.setWaitCursor(false);
        host.setStatus("");
    });
    r([&] { host.focusGroundLevel(); });
}

/// Writes the height picture and the contour picture as a pair. The contour
/// display of an image opened without one is written as a white picture of the
/// height image's size. Returns true when both files were written.
bool writePictures(Host& host, Routine& r, const std::string& imagePath, const std::string& contourPath) {
    Document& doc = host.document();
    return r([&] {
        doc.disp.commit();
        doc.dispCL.commit();
        const HeightImage& height = *doc.disp.image;
        std::unique_ptr<HeightImage> blank;
        const HeightImage* contour = doc.dispCL.image.get();
        if (contour->empty()) {
            blank = std::make_unique<HeightImage>(height.width(), height.height(), 255);
            contour = blank.get();
        }
        savePictureFiles({{&height, imagePath}, {contour, contourPath}});
    });
}

/// Asks before a save replaces an existing height image; true to go on.
bool confirmOverwrite(Host& host, Routine& r, const std::string& path) {
    App& app = host.app();
    bool go = true;
    r([&] {
        if (fcnFileExists(app, path) && app.session.gblnOverwriteNotify) {
            const std::string answer = host.askOverwrite();
            go = answer != "7" && answer != "2";
        }
    });
    return go;
}

}  // namespace

void mnuFileOpen_Click(Host& host) {
    App& app = host.app();
    Routine r(app, "frmMain.mnuFileOpen_Click");
    std::string chosen;
    r([&] {
        const Document& doc = host.document();
        const std::string initial = doc.dialogFileName.empty() ? app.session.gstrImageFile : doc.dialogFileName;
        chosen = app.prompter ? app.prompter->openFileName(kOpenFilter, 3, initial) : std::string();
    });
    openChosen(host, r, chosen);
}

void openFile(Host& host, const std::string& chosen) {
    Routine r(host.app(), "frmMain.mnuFileOpen_Click");
    openChosen(host, r, chosen);
}

void mnuFileSave_Click(Host& host) {
    Session& s = host.app().session;
    Routine r(host.app(), "frmMain.mnuFileSave_Click");
    if (!confirmOverwrite(host, r, host.document().dialogFileName)) return;
    // The mark of unsaved changes goes off only when both files were written.
    if (writePictures(host, r, s.gstrImageFile, s.gstrContourFile)) r([&] { host.setSaveEnabled(false); });
}

bool mnuFileSaveAs_Click(Host& host) {
    App& app = host.app();
    Session& s = app.session;
    Routine r(app, "frmMain.mnuFileSaveAs_Click");
    std::string chosen;
    r([&] { chosen = app.prompter ? app.prompter->saveFileName(s.gstrResultName) : std::string(); });
    if (chosen.empty()) return false;
    // The session moves to the chosen name only once both files are written there:
    // a declined or failed save leaves Redraw and Save on the files they had.
    if (!confirmOverwrite(host, r, chosen)) return false;
    if (!writePictures(host, r, chosen, contourPathFor(chosen))) return false;
    r([&] {
        s.gstrImageFile = chosen;
        s.gstrImageExt = lastThree(chosen);
        s.gstrContourFile = contourPathFor(chosen);
        host.document().dialogFileName = chosen;
    });
    r([&] { host.setSaveEnabled(false); });
    return true;
}

bool mnuFileClose_Click(Host& host) {
    App& app = host.app();
    Session& s = app.session;
    Document& doc = host.document();
    Routine r(app, "frmMain.mnuFileClose_Click");
    int answer = mb::No;
    r([&] {
        if (host.saveEnabled())
            answer = showMessage(app, "The current image has not been saved.  Do you want to save the file first?",
                                 mb::YesNoCancel + mb::Question, "FILE NOT SAVED");
    });
    if (answer == mb::Cancel) return false;
    // Yes and then nothing saved (the save dialog cancelled, the overwrite declined,
    // the write failed) keeps the image open rather than losing the work.
    bool saved = true;
    if (answer == mb::Yes) r([&] { saved = mnuFileSaveAs_Click(host); });
    if (!saved) return false;

    r([&] { s.gblnClosing = true; });
    r([&] { releaseBlurData(host); });
    r([&] { host.unloadPictureWindow(); });
    r([&] {
        doc.disp.replace(nullptr);
        doc.dispCL.replace(nullptr);
    });
    r([&] {
        s.gstrImageFile.clear();
        s.gintHighColor = 0;
        s.gintLowColor = 255;
        s.gintCurHighColor = 0;
        s.gintCurLowColor = 255;
    });
    r([&] { host.setShowContours(false); });
    r([&] { host.setScaleUpOff(); });
    r([&] { host.setToolbarsVisible(false); });
    r([&] {
        host.setSaveEnabled(false);
        host.setSaveAsCloseEnabled(false);
    });
    r([&] { s.gblnClosing = false; });
    return true;
}

}  // namespace morv
