#pragma once
#include <memory>
#include <string>

#include "app/cli/CliOptions.h"
#include "commands/Host.h"

namespace morv::cli {

/// The program side for a run without windows: the controls come from the options,
/// progress goes to a bar on standard error when that is a terminal, and the picture
/// as opened is handed to Redraw's reload instead of decoding the file twice.
class CliHost : public Workspace, public Activity {
public:
    CliHost(App& app, const Options& options, bool progressBar);
    ~CliHost() override;

    App& app() override { return m_app; }
    Document& document() override { return m_doc; }
    TerrainControls controls() const override { return m_controls; }
    std::shared_ptr<HeightImage> loadPicture(const std::string& path) override;

    void setStatus(const std::string& text) override;
    void setProgress(const std::string& text, int percent) override;

    /// Makes the next load of path return image itself: the picture as opened,
    /// which nothing changes before Redraw reloads it.
    void handOverOnce(const std::string& path, std::shared_ptr<HeightImage> image);

    /// What the commands are given: this host and a frame without windows.
    Host host() { return Host(*this, *this, m_frame); }

private:
    void draw(const std::string& text, int percent);

    App& m_app;
    Document m_doc;
    TerrainControls m_controls;
    HeadlessFrame m_frame;
    bool m_progressBar;
    std::string m_shown;
    std::string m_handOverPath;
    std::shared_ptr<HeightImage> m_handOver;
};

/// Runs a parsed command; returns the exit status. Errors are reported as one line
/// "morv-cli: ..." on standard error.
int run(const Options& options);

}  // namespace morv::cli
