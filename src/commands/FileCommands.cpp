#include "commands/FileCommands.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <exception>
#include <vector>
#include <memory>
#include <string>

#include "commands/BlurCommands.h"
#include "commands/PictureCommands.h"
#include "core/Routine.h"
#include "engine/BoardFit.h"
#include "io/Files.h"
#include "io/ImageIO.h"
#include "io/ScaleFile.h"

namespace morv {

namespace {

// The first three entries as they always were (the third preselected), then the
// other kinds of height map that can be read, and last every readable extension.
std::string openFilter() {
    std::string filter =
        "*.bmp|*.bmp|*.jpg|*.jpg|Images: bmp, jpg|*.bmp;*.jpg|"
        "*.png|*.png|*.tif|*.tif;*.tiff|*.tga|*.tga|Height maps: bmp, jpg, png, tif, tga|";
    for (const std::string& ext : readableExtensions()) filter += (filter.back() == '|' ? "*." : ";*.") + ext;
    return filter;
}

/// What Save As offers: the first three entries of Open's list, the third
/// preselected, all writing 24-bit BMP as Save As always has; then the 8-bit types.
const std::vector<std::string> kSaveTypes = {"*.bmp (*.bmp)", "*.jpg (*.jpg)", "Images: bmp, jpg (*.bmp *.jpg)",
                                             "8-bit grey BMP (*.bmp)", "8-bit grey PNG (*.png)"};
constexpr PictureType kSaveTypeOf[] = {PictureType::Bmp24, PictureType::Bmp24, PictureType::Bmp24, PictureType::Bmp8,
                                       PictureType::Png8};
constexpr int kSaveTypePreselected = 2;

std::string lastThree(const std::string& p) { return p.substr(p.size() >= 3 ? p.size() - 3 : 0); }

bool hasFraction(float v) { return v - std::floor(v) > 0.0f; }

/// True for a device, FIFO or socket: something that is there, though no picture.
/// Loading it reports what it is, rather than "Can not be found".
bool isSpecialFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode);
}

/// Where the file name starts in a path.
std::size_t nameStart(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? 0 : slash + 1;
}

/// True when the file name of path ends in "." and extension (any letter case).
bool namesExtension(const std::string& path, const std::string& extension) {
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || dot < nameStart(path)) return false;
    std::string ext = path.substr(dot + 1);
    for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
    return ext == extension;
}

/// The name Save As offers: the result name a Redraw of this map produced, else
/// the map's own name; with the extension of the preselected type (".bmp"), since
/// that is what the files are written as whatever their names say.
std::string offeredSaveName(const Session& s) {
    const std::string ext = writtenExtension(kSaveTypeOf[kSaveTypePreselected]);
    std::string name = s.gstrResultName.empty() ? s.gstrImageFile : s.gstrResultName;
    if (name.empty() || namesExtension(name, ext)) return name;
    const std::size_t start = nameStart(name);
    const std::size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > start) name.erase(dot);
    return name + "." + ext;
}

/// A chosen name without an extension gets the one of the type it is written as
/// ("bmp" unless another type was picked): the contour name rule needs one.
std::string withExtension(const std::string& chosen, const std::string& extension) {
    const std::size_t dot = chosen.find_last_of('.');
    return dot != std::string::npos && dot > nameStart(chosen) ? chosen : chosen + "." + extension;
}

/// The session and the dialog take the image's path, its extension and its contour
/// image's path.
void takeImagePaths(const Host& host, const std::string& path) {
    Session& s = host.session();
    s.gstrImageFile = path;
    s.gstrImageExt = lastThree(path);
    s.gstrContourFile = contourPathFor(path);
    host.document().dialogFileName = path;
}

/// Open's first step: an open image is closed first (with its unsaved-changes
/// question). Returns false when it stays open.
bool closeOpenImage(const Host& host, Routine& r) {
    bool stillOpen = false;
    r([&] {
        if (!host.session().gstrImageFile.empty()) stillOpen = !closeImage(host);
    });
    return !stillOpen;
}

/// Tells the user a chosen file is missing; returns false then.
bool checkChosenExists(const Host& host, Routine& r, const std::string& chosen) {
    App& app = host.app();
    bool found = true;
    r([&] { found = fileExists(app, chosen) || isSpecialFile(chosen); });
    if (found) return true;
    r([&] {
        showMessage(app, "The file named..." + app.session.gstrCR2 + chosen + app.session.gstrCR2 + "Can not be found.",
                    mb::OKOnly + mb::Critical, "FILE NOT FOUND");
    });
    r([&] { host.document().dialogFileName.clear(); });
    return false;
}

/// A PNG or TIFF map read before the open map is closed, so that a 16-bit map's
/// levels are chosen while backing out still loses nothing. It is read once: the
/// picture (or the failure) is handed on to the loading step.
struct Preread {
    std::shared_ptr<HeightImage> image;  ///< Read with the levels chosen; null: read it when loading.
    std::exception_ptr error;            ///< The read's failure, reported where Open reports one.
    std::optional<SampleRange> levels;   ///< The 16-bit samples chosen for levels 0..255.

    /// The height picture at path: the one read already, else read now.
    std::shared_ptr<HeightImage> take(const Host& host, const std::string& path) const {
        if (error) std::rethrow_exception(error);
        return image ? image : host.work.loadPicture(path);
    }
};

/// Reads a chosen PNG or TIFF map ahead and, when it holds 16-bit grey samples,
/// asks which of them the 256 levels cover. Returns false when the user cancels.
bool prereadChosen(const Host& host, Routine& r, const std::string& chosen, Preread& pre) {
    const auto kind = pictureFileTypeOf(chosen);
    if (kind != PictureFileType::Png && kind != PictureFileType::Tiff) return true;
    LoadedPicture loaded;
    host.activity.setWaitCursor(true);
    try {
        loaded = loadPicture(chosen);
    } catch (...) {
        pre.error = std::current_exception();
    }
    host.activity.setWaitCursor(false);
    if (pre.error) return true;
    pre.image = loaded.image;
    if (!loaded.mapping) return true;
    std::optional<SampleRange> range;
    r([&] { range = host.frame.askLevelRange(*loaded.mapping); });
    if (!range) return false;
    pre.levels = *range;
    // Another range is another reading of the samples.
    if (*range != loaded.mapping->used) pre.image.reset();
    return true;
}

/// Loads the height image and, when it has one, its contour image into the
/// displays; without one, asks whether to go on. Returns false when nothing is open
/// afterwards (declined, or a load error reported and ignored).
bool loadChosenPair(const Host& host, Routine& r, const Preread& pre) {
    App& app = host.app();
    Session& s = app.session;
    Document& doc = host.document();
    bool contourFound = true;
    r([&] { contourFound = fileExists(app, s.gstrContourFile) || isSpecialFile(s.gstrContourFile); });
    bool loaded = false;
    if (!contourFound) {
        int answer = mb::No;
        r([&] {
            answer = showMessage(app,
                                 "The corresponding Coastlines image can not be found." + s.gstrCR +
                                     "It is possible to create one." + s.gstrCR2 + "Do you want to continue loading the image?",
                                 mb::YesNo + mb::Question, "FILE NOT FOUND");
        });
        if (answer != mb::Yes) return false;
        loaded = r([&] {
            doc.disp.replace(pre.take(host, s.gstrImageFile));
            doc.dispCL.replace(nullptr);
        });
    } else {
        loaded = r([&] {
            // Both pictures load before either display changes, so a failure leaves neither half-loaded.
            // Save writes the pair back in the type the height image was read as.
            auto height = pre.take(host, s.gstrImageFile);
            auto contour = host.work.loadPicture(s.gstrContourFile);
            checkPairSizes(*height, s.gstrImageFile, *contour, s.gstrContourFile);
            doc.disp.replace(std::move(height));
            doc.dispCL.replace(std::move(contour));
        });
    }
    if (loaded) {
        const auto kind = pictureFileTypeOf(s.gstrImageFile);
        doc.saveType = saveTypeFor(kind.value_or(PictureFileType::Bmp));
    }
    if (!loaded) {
        // The error was reported and ignored: no image came in, so none is open.
        s.gstrImageFile.clear();
        doc.levels.reset();
        doc.scale.reset();
        doc.disp.replace(nullptr);
        doc.dispCL.replace(nullptr);
    }
    return loaded;
}

/// The scale of the map just loaded from path: its scale file's, else for a
/// 16-bit map the samples' own (taken as metres), else none. A scale file that
/// cannot be read is told in a message box and the map opens without a scale.
void adoptScale(const Host& host, Routine& r, const std::string& path) {
    App& app = host.app();
    Document& doc = host.document();
    std::string problem;
    r([&] {
        doc.scale.reset();
        try {
            doc.scale = readScaleFile(path);
            if (!doc.scale && doc.levels)
                doc.scale = scaleOfSamples(*doc.levels, gridPixelMetres(doc.disp.width(), doc.disp.height()));
        } catch (const RuntimeError& e) {
            problem = e.description();
        }
    });
    if (problem.empty()) return;
    r([&] {
        showMessage(app, problem + app.session.gstrCR2 + "The map opens without a scale.", mb::OKOnly + mb::Exclamation,
                    "Map Scale");
    });
}

/// Warns about a square picture whose side is not whole base boards.
void warnAboutBoardFit(const Host& host, Routine& r) {
    App& app = host.app();
    const Session& s = app.session;
    r([&] {
        const int w = host.document().disp.width(), h = host.document().disp.height();
        if (w != h) return;
        if (hasFraction(float(w) / 8.0f)) {
            showMessage(app,
                        "This image is not properly scaled to work within Trainz." + s.gstrCR2 +
                            "An image needs to be a factor of 8." + s.gstrCR2 +
                            "Click Tools -> Calc Img Size to determine the bet fit.",
                        mb::OKOnly + mb::Critical, "Image Size Mismatch");
        } else if (hasFraction(float(w) / float(kPixelsPerBoard))) {
            showMessage(app,
                        "This image is not properly scaled to fit Trainz's Base Boards." + s.gstrCR2 +
                            "An image needs to be 145px to properly fit a Base Board." + s.gstrCR2 +
                            "Click Tools -> Calc Img Size to determine the bet fit.",
                        mb::OKOnly + mb::Information, "Image Not Scaled to BaseBoards");
        }
    });
}

/// The steps of Open once the pictures are in the displays: the size warning, the
/// frame, the opening grey range, the blur's preparation and the picture window.
void finishOpening(const Host& host, Routine& r) {
    Session& s = host.session();
    warnAboutBoardFit(host, r);
    r([&] { host.frame.setPictureCaption(s.gstrImageFile); });
    r([&] { host.frame.setToolbarsVisible(true); });
    r([&] { host.frame.fitSliders(); });
    r([&] { s.gblnOpening = true; });
    r([&] { findGreyRange(host); });
    r([&] { s.gblnOpening = false; });
    r([&] { prepareBlur(host); });
    r([&] { host.frame.showPictureWindow(); });
    r([&] { host.frame.setSaveAsCloseEnabled(true); });
    r([&] {
        host.activity.setWaitCursor(false);
        host.activity.setStatus("");
    });
    r([&] { host.frame.focusGroundLevel(); });
}

/// Gives the pointer and the status bar back on every way out of Open.
struct RestoreActivity {
    Activity& activity;
    ~RestoreActivity() {
        activity.setWaitCursor(false);
        activity.setStatus("");
    }
};

/// The steps of Open after the file dialog, on the chosen path.
void openChosen(const Host& host, Routine& r, const std::string& chosen) {
    Preread pre;
    if (!chosen.empty() && !prereadChosen(host, r, chosen, pre)) return;
    if (!closeOpenImage(host, r) || chosen.empty()) return;
    if (!checkChosenExists(host, r, chosen)) return;
    r([&] {
        host.activity.setStatus("WORKING... Loading Image");
        host.activity.setWaitCursor(true);
    });
    const RestoreActivity restore{host.activity};
    r([&] {
        takeImagePaths(host, chosen);
        host.document().levels = pre.levels;
    });
    if (!loadChosenPair(host, r, pre)) return;
    adoptScale(host, r, chosen);
    finishOpening(host, r);
}

/// Writes the height picture and the contour picture as a pair. The contour
/// display of an image opened without one is written as a white picture of the
/// height image's size. The map's scale file goes in the same set; a map without
/// a scale takes away the scale file of the map it replaces. Returns true when
/// both files were written.
bool writePictures(const Host& host, Routine& r, const std::string& imagePath, const std::string& contourPath) {
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
        // The contour image goes in the same type as its height image.
        std::vector<FileContent> alongside;
        if (doc.scale) alongside.push_back(scaleFileFor(imagePath, *doc.scale));
        savePictureFiles({{&height, imagePath, doc.saveType}, {contour, contourPath, doc.saveType}}, Existing::Replace,
                         alongside);
        if (!doc.scale) dropScaleFile(imagePath);
    });
}

/// Asks before a save replaces an existing height image; true to go on.
bool confirmOverwrite(const Host& host, Routine& r, const std::string& path) {
    App& app = host.app();
    bool go = true;
    r([&] {
        if (fileExists(app, path) && app.session.gblnOverwriteNotify)
            go = host.frame.askOverwrite() == OverwriteAnswer::Yes;
    });
    return go;
}

}  // namespace

void openImage(const Host& host) {
    App& app = host.app();
    Routine r(app, "frmMain.mnuFileOpen_Click");
    std::string chosen;
    r([&] {
        const Document& doc = host.document();
        const std::string initial = doc.dialogFileName.empty() ? app.session.gstrImageFile : doc.dialogFileName;
        chosen = app.prompter ? app.prompter->openFileName(openFilter(), 3, initial) : std::string();
    });
    openChosen(host, r, chosen);
}

void openImageAt(const Host& host, const std::string& chosen) {
    Routine r(host.app(), "frmMain.mnuFileOpen_Click");
    openChosen(host, r, chosen);
}

void openLoadedImage(const Host& host, const std::string& path, std::shared_ptr<HeightImage> image,
                     std::shared_ptr<HeightImage> contour) {
    Routine r(host.app(), "frmMain.mnuFileOpen_Click");
    r([&] {
        takeImagePaths(host, path);
        host.document().levels.reset();
        host.document().disp.replace(std::move(image));
        host.document().dispCL.replace(std::move(contour));
    });
    adoptScale(host, r, path);
    finishOpening(host, r);
}

void saveImage(const Host& host) {
    Session& s = host.app().session;
    Routine r(host.app(), "frmMain.mnuFileSave_Click");
    // A map is never written under a name of another file type (a JPEG map as BMP
    // data under its .jpg name): Save asks for a name instead, offering the .bmp one.
    bool asNew = false;
    r([&] { asNew = !namesExtension(s.gstrImageFile, writtenExtension(host.document().saveType)); });
    if (asNew) {
        r([&] { saveImageAs(host); });
        return;
    }
    if (!confirmOverwrite(host, r, host.document().dialogFileName)) return;
    // The mark of unsaved changes goes off only when both files were written.
    if (writePictures(host, r, s.gstrImageFile, s.gstrContourFile)) r([&] { host.frame.setSaveEnabled(false); });
}

bool saveImageAs(const Host& host) {
    App& app = host.app();
    Session& s = app.session;
    Routine r(app, "frmMain.mnuFileSaveAs_Click");
    std::string chosen;
    int typeIndex = kSaveTypePreselected;
    r([&] {
        chosen = app.prompter ? app.prompter->saveFileNameOfType(offeredSaveName(s), kSaveTypes, typeIndex) : std::string();
    });
    if (chosen.empty()) return false;
    const PictureType previous = host.document().saveType;
    host.document().saveType = kSaveTypeOf[std::clamp(typeIndex, 0, int(std::size(kSaveTypeOf)) - 1)];
    chosen = withExtension(chosen, writtenExtension(host.document().saveType));
    // The session moves to the chosen name only once both files are written there:
    // a declined or failed save leaves Redraw and Save on the files they had.
    if (!confirmOverwrite(host, r, chosen) || !writePictures(host, r, chosen, contourPathFor(chosen))) {
        host.document().saveType = previous;
        return false;
    }
    r([&] { takeImagePaths(host, chosen); });
    r([&] { host.frame.setSaveEnabled(false); });
    return true;
}

bool closeImage(const Host& host) {
    App& app = host.app();
    Session& s = app.session;
    Document& doc = host.document();
    Routine r(app, "frmMain.mnuFileClose_Click");
    int answer = mb::No;
    r([&] {
        if (host.frame.saveEnabled())
            answer = showMessage(app, "The current image has not been saved.  Do you want to save the file first?",
                                 mb::YesNoCancel + mb::Question, "FILE NOT SAVED");
    });
    if (answer == mb::Cancel) return false;
    // Yes and then nothing saved (the save dialog cancelled, the overwrite declined,
    // the write failed) keeps the image open rather than losing the work.
    bool saved = true;
    if (answer == mb::Yes) r([&] { saved = saveImageAs(host); });
    if (!saved) return false;

    r([&] { s.gblnClosing = true; });
    r([&] { releaseBlur(host); });
    r([&] { host.frame.unloadPictureWindow(); });
    r([&] {
        doc.disp.replace(nullptr);
        doc.dispCL.replace(nullptr);
    });
    r([&] {
        s.gstrImageFile.clear();
        // The result name belonged to the map that is closed: the next map's Save As
        // must not offer it.
        s.gstrResultName.clear();
        doc.drawnWith.reset();
        doc.levels.reset();
        doc.scale.reset();
        s.gintHighColor = 0;
        s.gintLowColor = 255;
        s.gintCurHighColor = 0;
        s.gintCurLowColor = 255;
    });
    r([&] { host.frame.setShowContours(false); });
    r([&] { host.frame.setScaleUp(false); });
    r([&] { host.frame.setToolbarsVisible(false); });
    r([&] {
        host.frame.setSaveEnabled(false);
        host.frame.setSaveAsCloseEnabled(false);
    });
    r([&] { s.gblnClosing = false; });
    return true;
}

}  // namespace morv
