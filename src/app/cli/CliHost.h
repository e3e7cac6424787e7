#pragma once
#include <memory>
#include <string>

#include "app/cli/CliOptions.h"
#include "engine/Host.h"

namespace morv::cli {

/// The window side for a run without windows: the controls come from the options,
/// progress goes to a bar on standard error when that is a terminal, and the picture
/// as opened is handed to Redraw's reload instead of decoding the file twice.
class CliHost : public Host {
public:
    CliHost(App& app, const Options& options, bool progressBar);
    ~CliHost() override;

    App& app() override { return m_app; }
    Document& document() override { return m_doc; }
    TerrainControls controls() const override { return m_controls; }
    void SetControlsEnabled(bool) override {}
    void setWaitCursor(bool) override {}
    void setStatus(const std::string& text) override;
    void doEvents() override {}
    void setShowContours(bool) override {}
    void setContourVisible(bool) override {}
    void setPictureCaption(const std::string&) override {}
    void refreshPicture() override {}
    bool saveEnabled() const override { return m_save; }
    void setSaveEnabled(bool enabled) override { m_save = enabled; }
    void setGroundLevelValue(int value) override;
    void beep() override {}
    std::shared_ptr<HeightImage> loadPicture(const std::string& path) override;

    void setToolbarsVisible(bool) override {}
    void fitSliders() override {}
    void showPictureWindow() override {}
    void unloadPictureWindow() override {}
    void setSaveAsCloseEnabled(bool) override {}
    void focusGroundLevel() override {}
    void setScaleUpOff() override { m_app.session.gblnScaleUp = false; }
    std::string askOverwrite() override { return "2"; }

    /// Makes the next load of path return image itself: the picture as opened,
    /// which nothing changes before Redraw reloads it.
    void handOverOnce(const std::string& path, std::shared_ptr<HeightImage> image);

private:
    App& m_app;
    Document m_doc;
    TerrainControls m_controls;
    bool m_progressBar;
    bool m_save = false;
    std::string m_shown;
    std::string m_handOverPath;
    std::shared_ptr<HeightImage> m_handOver;
};

/// Runs a parsed command; returns the exit status. Errors are reported as one line
/// "morv-cli: ..." on standard error.
int run(const Options& options);

}  // namespace morv::cli
