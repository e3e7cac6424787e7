#pragma once
#include <gtest/gtest.h>

#include <cstdio>
#include <deque>
#include <functional>
#include <map>
#include <filesystem>
#include <string>
#include <vector>

#include "core/App.h"
#include "commands/Host.h"

namespace morv::test {

/// What a scripted prompter saw: one entry per box or dialog shown.
struct Shown {
    std::string kind;   // "msgBox", "open" or "save"
    std::string text;   // the box's text, or the dialog's initial name
    int style = 0;
    std::string title;
};

/// Answers message boxes and file dialogs from a queue and records every one shown.
/// An unexpected box (nothing queued) fails the test.
class ScriptedPrompter : public Prompter {
public:
    std::deque<int> answers;
    std::deque<std::string> fileNames;
    std::vector<Shown> shown;

    int msgBox(std::string_view text, int style, std::string_view title) override;
    std::string openFileName(std::string_view filter, int filterIndex, std::string_view initial) override;
    /// Answers from fileLists while it holds a choice, else with one of fileNames.
    std::vector<std::string> openFileNames(std::string_view filter, int filterIndex, std::string_view initial) override;
    std::deque<std::vector<std::string>> fileLists;
    std::string saveFileName(std::string_view initial) override;
    /// Records the offered types in saveTypesOffered; a queued saveTypes answer picks one.
    std::string saveFileNameOfType(std::string_view initial, const std::vector<std::string>& types,
                                   int& typeIndex) override;
    std::deque<int> saveTypes;
    std::vector<std::string> saveTypesOffered;
    int saveTypePreselected = -1;
};

/// Thrown by a test App's endProgram: no trap catches it.
struct ProgramEnded {};

/// An App whose prompter is a ScriptedPrompter and whose Abort throws ProgramEnded.
struct TestApp {
    App app;
    ScriptedPrompter prompter;
    TestApp();
};

/// A program side without windows that records what the commands did to it.
class RecordingHost : public Workspace, public Activity, public PictureFrame {
public:
    explicit RecordingHost(App& app) : m_app(app) {}

    App& app() override { return m_app; }
    Document& document() override { return doc; }
    TerrainControls controls() const override { return ctl; }
    void setControlsEnabled(bool on) override { events.push_back(on ? "controls on" : "controls off"); controlsEnabled = on; }
    void setWaitCursor(bool on) override { waitCursor = on; }
    void setStatus(const std::string& text) override { statuses.push_back(text); status = text; }
    void setProgress(const std::string& text, int percent) override { setStatus(text); percents.push_back(percent); }
    void doEvents() override { ++yields; if (onYield) onYield(); }
    void setShowContours(bool ticked) override { showContours = ticked; contourVisible = ticked; events.push_back(ticked ? "show contours" : "hide contours"); }
    void setContourVisible(bool visible) override { contourVisible = visible; }
    void setPictureCaption(const std::string& c) override { caption = c; }
    void refreshPicture() override { ++refreshes; }
    bool saveEnabled() const override { return save; }
    void setSaveEnabled(bool on) override { save = on; }
    void setGroundLevelValue(int v) override;
    void beep() override { ++beeps; }
    std::shared_ptr<HeightImage> loadPicture(const std::string& path) override;
    void setToolbarsVisible(bool visible) override { toolbars = visible; }
    void fitSliders() override { events.push_back("fit sliders"); }
    void showPictureWindow() override { pictureWindow = true; events.push_back("show picture"); }
    void unloadPictureWindow() override { pictureWindow = false; events.push_back("unload picture"); }
    void setSaveAsCloseEnabled(bool on) override { saveAsClose = on; }
    void focusGroundLevel() override { events.push_back("focus ground"); }
    void setScaleUp(bool on) override { ctl.scaleUpTagged = on; m_app.session.gblnScaleUp = on; }
    /// No test here answers the overwrite question: asking it fails the test.
    OverwriteAnswer askOverwrite() override {
        ADD_FAILURE() << "unexpected overwrite question";
        return OverwriteAnswer::Cancel;
    }

    Document doc;
    TerrainControls ctl;
    std::vector<std::string> events, statuses;
    /// The figures of the progress reports, in order.
    std::vector<int> percents;
    std::string status, caption;
    bool toolbars = false, pictureWindow = false, saveAsClose = false;
    bool controlsEnabled = true, waitCursor = false, showContours = false, contourVisible = false, save = false;
    int yields = 0, refreshes = 0, beeps = 0;
    std::function<void()> onYield;
    /// Files the host "loads" by path; other paths are read from disk.
    std::map<std::string, HeightImage> files;

private:
    App& m_app;
};

/// A file's whole content ("" when it cannot be read).
std::string readFile(const std::string& path);
/// Writes bytes as the file's whole content.
void writeBytes(const std::string& path, const std::string& bytes);
/// How many entries a folder holds.
std::size_t entryCount(const std::filesystem::path& folder);
/// "number: description" of the RuntimeError act throws, or "none".
std::string refusalOf(const std::function<void()>& act);
/// The bytes of a picture written as a 24-bit BMP.
std::string bmp24Bytes(const HeightImage& image);

/// Everything written to f from its start; closes f.
std::string contentOf(std::FILE* f);

/// Runs body in a child process (which then ends at once, as under kill -9);
/// returns its wait status.
int inChild(const std::function<void()>& body);

/// A test with a fresh program and a window-less host, the height display set by show().
struct HostTest : ::testing::Test {
    TestApp t;
    RecordingHost host{t.app};
    Session& s = t.app.session;
    /// Puts a picture on the height display, and one on the contour display when given.
    void show(const HeightImage& img, const HeightImage* contour = nullptr) {
        host.doc.disp.replace(std::make_shared<HeightImage>(img));
        if (contour) host.doc.dispCL.replace(std::make_shared<HeightImage>(*contour));
    }
    /// Expects the program idle again: no operation or cancel flag, the controls on,
    /// no wait cursor and no status text.
    void expectIdle() const;
};

/// A grey picture from rows of levels.
HeightImage greyImage(const std::vector<std::vector<int>>& rows);
/// A picture of every level ((7x + 3y) mod 256), with one colour pixel in the
/// bottom right corner when colour is asked for.
HeightImage patternImage(int w, int h, bool colour = false);

/// Runs body in a child process as an unprivileged user (nobody) when this process
/// runs as root, or directly otherwise; returns body's result, or -1 when the
/// child could not drop its rights.
int asUnprivilegedUser(const std::function<int()>& body);

/// A fresh temporary folder, removed at the end of the test.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::filesystem::path& path() const { return m_path; }
    std::string file(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

/// A map's scale: metres a pixel, metres a level and the height of level 0 (0 where unknown).
MapScale mapScale(double pixelMetres, double levelMetres, double baseMetres = 0);
/// A grey picture whose pixel (x, y) is at level(x, y).
HeightImage levelImage(int w, int h, const std::function<int(int x, int y)>& level);

}  // namespace morv::test
