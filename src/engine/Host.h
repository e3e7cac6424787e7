#pragma once
#include <memory>
#include <string>

#include "core/App.h"
#include "engine/HeightImage.h"

namespace morv {

/// What the terrain controls say when a command reads them. The desktop program
/// reads its widgets (a check box's caption letter picks a mode); the command-line
/// program fills it from its options.
struct TerrainControls {
    bool flattenTicked = false;          // chkFlatten value 1
    std::string flattenTag = "Flatten";  // chkFlatten Tag
    char flattenLetter = 'F';            // first letter of chkFlatten's caption
    bool fillTicked = false;             // chkFill value 1
    char fillLetter = 'F';               // first letter of chkFill's caption
    std::string scaleTag = "False";      // cmdScale Tag
    int mountainsValue = 0;              // vsbMountains
    int valleysValue = 100;              // vsbValleys
    bool blurTicked = false;             // chkBlur
    int blurValue = 0;                   // hsbBlur
    bool autoContours = false;           // chkAutoContLine
};

/// The open image pair (the picture window's two displays) and the name the file
/// dialog holds, which Redraw and the reverts reload from.
struct Document {
    Picture disp;           // picDisp: the height image
    Picture dispCL;         // picDispCL: the contour image (empty when there was none)
    std::string dialogFileName;  // cdbMain's current file name
};

/// The main window as the commands see it: the state it keeps in its widgets and
/// the effects commands have on it. The desktop program implements it with its
/// windows; the command-line program with a progress bar; tests with a recorder.
class Host {
public:
    virtual ~Host() = default;

    virtual App& app() = 0;
    /// The open image pair; commands run only while one is open.
    virtual Document& document() = 0;
    virtual TerrainControls controls() const = 0;

    /// Enables or disables the top-level menus and the two tool panels.
    virtual void SetControlsEnabled(bool CtrlEnabled) = 0;
    /// The wait cursor on (the hourglass) or back to the default pointer.
    virtual void setWaitCursor(bool on) = 0;
    /// The status bar's text.
    virtual void setStatus(const std::string& text) = 0;
    /// Lets pending events run (the yield of a long operation).
    virtual void doEvents() = 0;
    /// Ticks or unticks "Show Contours"; its click handler shows or hides the contour display.
    virtual void setShowContours(bool ticked) = 0;
    /// Shows or hides the contour display directly (whatever the check box says).
    virtual void setContourVisible(bool visible) = 0;
    /// The picture window's caption.
    virtual void setPictureCaption(const std::string& caption) = 0;
    /// Repaints the picture window from the committed pictures.
    virtual void refreshPicture() = 0;
    /// File > Save's enabled state: the unsaved-changes mark.
    virtual bool saveEnabled() const = 0;
    virtual void setSaveEnabled(bool enabled) = 0;
    /// Assigns the ground level scroll bar's value; its change handler updates the
    /// level, the ground colour and the text box.
    virtual void setGroundLevelValue(int value) = 0;
    /// Sounds the system beep.
    virtual void beep() = 0;
    /// Loads a picture file for a display (BMP or JPG). Throws RuntimeError.
    virtual std::shared_ptr<HeightImage> loadPicture(const std::string& path) = 0;

    // The frame around the picture window, as the file commands change it.
    /// Shows or hides the two tool panels.
    virtual void setToolbarsVisible(bool visible) = 0;
    /// Sizes the two vertical sliders to the left panel's height.
    virtual void fitSliders() = 0;
    /// Makes the picture window for the document's pictures (first use creates it),
    /// sized to the height picture plus its frame, at the top left, and shows it.
    virtual void showPictureWindow() = 0;
    /// Unloads the picture window; its close request sees gblnClosing and lets it go.
    virtual void unloadPictureWindow() = 0;
    /// Enables or disables File > Save As and File > Close.
    virtual void setSaveAsCloseEnabled(bool enabled) = 0;
    /// Gives the keyboard focus to the ground level box.
    virtual void focusGroundLevel() = 0;
    /// Turns Scale Up Mountains off: Tag "False", caption not bold, gblnScaleUp false.
    virtual void setScaleUpOff() = 0;
    /// Shows the overwrite question modally; returns its answer "6" (Yes), "7" (No)
    /// or "2" (Cancel).
    virtual std::string askOverwrite() = 0;
};

}  // namespace morv
