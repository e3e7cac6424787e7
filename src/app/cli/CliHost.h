#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "app/cli/BatchRun.h"
#include "app/cli/CliOptions.h"
#include "commands/Host.h"

namespace morv::cli {

/// The program side for one map's run without windows: the controls come from the
/// options, the passes' progress goes to the map's progress bar, and the picture as
/// opened is handed to Redraw's reload instead of decoding the file twice.
class CliHost : public Workspace, public Activity {
public:
    CliHost(App& app, const Options& options, MapProgress* progress);

    App& app() override { return m_app; }
    Document& document() override { return m_doc; }
    TerrainControls controls() const override { return m_controls; }
    std::shared_ptr<HeightImage> loadPicture(const std::string& path) override;

    void setStatus(const std::string&) override {}
    void setProgress(const std::string& text, int percent) override;

    /// Makes the next load of path return image itself: the picture as opened,
    /// which nothing changes before Redraw reloads it.
    void handOverOnce(const std::string& path, std::shared_ptr<HeightImage> image);

    /// What the commands are given: this host and a frame without windows.
    Host host() { return Host(*this, *this, m_frame); }

private:
    App& m_app;
    Document m_doc;
    TerrainControls m_controls;
    HeadlessFrame m_frame;
    MapProgress* m_progress;
    std::string m_handOverPath;
    std::shared_ptr<HeightImage> m_handOver;
};

/// The bytes of pictures one map of the given number of pixels holds at most while
/// the command of options works on it (height maps are grey: one byte a pixel),
/// with or without a contour image beside it. A batch's maps share the memory
/// budget by it.
std::uint64_t mapMemoryNeed(std::int64_t pixels, bool hasContour, const Options& options);

/// Runs a parsed redraw or info command on all its inputs; returns the exit status
/// (0, or 1 when a map failed). Errors are one line "morv-cli: ..." on standard error.
int run(const Options& options);

}  // namespace morv::cli
