#pragma once
#include <concepts>
#include <memory>
#include <optional>
#include <string>

#include "core/App.h"
#include "engine/HeightImage.h"
#include "engine/MapScale.h"
#include "engine/SampleLevels.h"
#include "engine/TerrainSettings.h"
#include "io/PictureEncode.h"

namespace morv {

/// What the blur's preparation keeps until the blur runs: the size of the height
/// picture it was prepared for. The blur allocates its work memory only while it
/// runs, so this is all Close has to release.
struct BlurState {
    int width = 0;
    int height = 0;
};

/// The open image pair (the picture window's two displays) and the name the file
/// dialog holds, which Redraw and the reverts reload from.
struct Document {
    Picture disp;           // picDisp: the height image
    Picture dispCL;         // picDispCL: the contour image (empty when there was none)
    std::string dialogFileName;  // cdbMain's current file name
    std::optional<BlurState> blur;  // set by prepareBlur, dropped by Close
    PictureType saveType = PictureType::Bmp24;  // what Save writes: the type read or last saved as
    std::optional<SampleRange> levels;  // the 16-bit samples levels 0..255 cover (none: the map's own range)
    std::optional<TerrainControls> drawnWith;  // the controls the last Redraw of this map ran with
    std::optional<MapScale> scale;  // metres per pixel and per level, when the map carries them
};

/// What a command reads and loads: the program, the open document, the terrain
/// controls and the picture files.
class Workspace {
public:
    virtual ~Workspace() = default;
    virtual App& app() = 0;
    /// The open image pair; commands run only while one is open.
    virtual Document& document() = 0;
    /// What the terrain controls say now.
    virtual TerrainControls controls() const = 0;
    /// Loads a picture file for a display, 16-bit grey mapped by the document's
    /// levels. Throws RuntimeError.
    virtual std::shared_ptr<HeightImage> loadPicture(const std::string& path) = 0;
};

/// The busy state and the progress of a long operation. A program without windows
/// has no controls to disable, no pointer and no events to serve, so those three
/// do nothing unless overridden.
class Activity {
public:
    virtual ~Activity() = default;
    /// Enables or disables the top-level menus and the two tool panels.
    virtual void setControlsEnabled(bool) {}
    /// The wait cursor on (the hourglass) or back to the default pointer.
    virtual void setWaitCursor(bool) {}
    /// Lets pending events run (the yield of a long operation).
    virtual void doEvents() {}
    /// The status bar's text without a progress figure ("" clears it).
    virtual void setStatus(const std::string& text) = 0;
    /// The status bar's text of an operation percent (0..100) through its work; the
    /// text already ends in that figure and "%".
    virtual void setProgress(const std::string& text, int percent) = 0;
};

/// Where File > Export Asset writes and what the asset is called.
struct AssetChoice {
    std::string folder;  ///< The folder the three files go into.
    std::string name;    ///< The asset's name, also its picture's file name less ".png".
    std::string userId;  ///< The user id of its kuid; "" leaves the stand-in to fill in by hand.
    std::string contentId;  ///< The content id of its kuid; "" makes one from the name.
    int ground = 128;    ///< The map's level the asset holds at its neutral level.
};

/// The answer to the question before a save replaces an existing height image.
enum class OverwriteAnswer { Yes, No, Cancel };

/// The frame around the picture: the main window's widgets the commands change and
/// the picture window itself.
class PictureFrame {
public:
    virtual ~PictureFrame() = default;
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
    /// Shows or hides the two tool panels.
    virtual void setToolbarsVisible(bool visible) = 0;
    /// Sizes the two vertical sliders to the left panel's height.
    virtual void fitSliders() = 0;
    /// Makes the picture window for the document's pictures (first use creates it),
    /// sized to the height picture plus its frame, at the top left, and shows it.
    virtual void showPictureWindow() = 0;
    /// Unloads the picture window; its close request sees gblnClosing and lets it go.
    virtual void unloadPictureWindow() = 0;
    /// Enables or disables File > Save As, File > Close and the other entries that
    /// work on the open map.
    virtual void setSaveAsCloseEnabled(bool enabled) = 0;
    /// Gives the keyboard focus to the ground level box.
    virtual void focusGroundLevel() = 0;
    /// Turns Scale Up Mountains on or off, all three of its marks together: Tag
    /// "True" or "False", caption bold or not, gblnScaleUp.
    virtual void setScaleUp(bool on) = 0;
    /// Shows the overwrite question modally and returns its answer.
    virtual OverwriteAnswer askOverwrite() = 0;
    /// Asks which 16-bit samples a map's 256 levels cover, showing what was found
    /// (mapping.found) and offering mapping.used. Returns the chosen range, nothing
    /// when the user cancels. Without a window the range offered is kept.
    virtual std::optional<SampleRange> askLevelRange(const LevelMapping& mapping) { return mapping.used; }
    /// Asks where an asset goes, its name, its kuid and its ground level, offering
    /// offered. Returns the choice, nothing when the user cancels. Without a
    /// window there is no one to ask: nothing is exported.
    virtual std::optional<AssetChoice> askAsset(const AssetChoice&) { return std::nullopt; }
};

/// The frame of a run without windows: it keeps only what later commands read
/// back (the unsaved-changes mark, the ground level, Scale Up's state) and answers
/// the overwrite question with Cancel.
class HeadlessFrame final : public PictureFrame {
public:
    explicit HeadlessFrame(Session& session) : m_session(session) {}
    void setShowContours(bool) override {}
    void setContourVisible(bool) override {}
    void setPictureCaption(const std::string&) override {}
    void refreshPicture() override {}
    bool saveEnabled() const override { return m_save; }
    void setSaveEnabled(bool enabled) override { m_save = enabled; }
    /// Sets the ground level and its grey colour in the session.
    void setGroundLevelValue(int value) override;
    void beep() override {}
    void setToolbarsVisible(bool) override {}
    void fitSliders() override {}
    void showPictureWindow() override {}
    void unloadPictureWindow() override {}
    void setSaveAsCloseEnabled(bool) override {}
    void focusGroundLevel() override {}
    void setScaleUp(bool on) override { m_session.gblnScaleUp = on; }
    OverwriteAnswer askOverwrite() override { return OverwriteAnswer::Cancel; }

private:
    Session& m_session;
    bool m_save = false;
};

/// What a command is given: the three sides of the program it works on. Any object
/// that is all three (the main window, a test's recorder) converts to one.
struct Host {
    Workspace& work;
    Activity& activity;
    PictureFrame& frame;

    Host(Workspace& w, Activity& a, PictureFrame& f) : work(w), activity(a), frame(f) {}
    template <class All>
        requires std::derived_from<All, Workspace> && std::derived_from<All, Activity> &&
                 std::derived_from<All, PictureFrame>
    Host(All& all) : work(all), activity(all), frame(all) {}

    App& app() const { return work.app(); }
    Session& session() const { return work.app().session; }
    Document& document() const { return work.document(); }
};

}  // namespace morv
