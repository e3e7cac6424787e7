#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/cli/BatchRun.h"
#include "app/cli/CliOptions.h"
#include "app/cli/MemoryShare.h"
#include "commands/Host.h"
#include "engine/SampleLevels.h"

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

// What the runs of redraw (RedrawRun.cpp) and info (InfoRun.cpp) share.

/// Fails the map being worked on with message, its one line on standard error.
[[noreturn]] void failRun(const std::string& message);

/// A height map and, when there is one, its contour image.
struct MapPair {
    std::shared_ptr<HeightImage> image, contour;
    std::optional<LevelMapping> mapping;  ///< How the map's 16-bit samples became levels.
};

/// Loads the map and its contour image side by side: two files, two decodes. Throws
/// when either cannot be read or their sizes differ.
MapPair loadPair(const std::string& input, const std::string& contourPath, bool hasContour, const Options& options);

/// A fresh program for one map: nobody answers an error box here, so errors
/// travel to the caller instead.
struct MapApp {
    App app;
    MapApp() { app.session.gblnProgrammerMode = true; }
};

/// Runs body, turning what it throws into the map's failure.
MapOutcome outcomeOf(const std::function<std::string()>& body);

/// Runs map index's work holding its share of the batch's memory (taken before
/// anything is loaded, given back when everything the work made is gone). Running
/// out of memory all the same fails the map with a line naming it and its need.
std::string withMemoryShare(MemoryShare& share, std::size_t index, const std::string& input, const Options& options,
                            const std::function<std::string()>& work);

/// The text as a JSON string, quotes included, written by Qt's JSON writer;
/// bytes that are not UTF-8 become U+FFFD.
std::string jsonString(const std::string& text);

/// The info command over a batch's sorted inputs, of which maps are the ones to read.
int runInfo(const Options& options, const std::vector<BatchInput>& inputs, const std::vector<std::string>& maps,
            BatchReport& report, unsigned jobs);

/// The redraw command over a batch's sorted inputs, of which maps are the ones to redraw.
int runRedraw(const Options& options, const std::vector<BatchInput>& inputs, const std::vector<std::string>& maps,
              BatchReport& report, unsigned jobs);

}  // namespace morv::cli
