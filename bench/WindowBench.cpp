// The desktop window on big maps, offscreen: a pan or zoom step redrawn, the
// whole program's peak memory with a 16384 x 16384 map and its contour image
// open, a 4096 x 4096 Redraw in the window against morv-cli's, a live preview
// step (a setting changed and the picture repainted) at 4096 x 4096 and
// 16384 x 16384, and undo and redo of a big Redraw with the peak memory of ten
// steps kept.
#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QMdiArea>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QTest>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "BenchMaps.h"
#include "core/App.h"
#include "core/Prompter.h"
#include "ui/FrmMain.h"
#include "ui/FrmPicture.h"

namespace {

std::string benchFolder() {
    const auto dir = std::filesystem::temp_directory_path() / "morv-bench" / "desktop";
    std::filesystem::create_directories(dir);
    return dir.string();
}

/// A 16384 x 16384 map of long smooth hills (quick to make) and its contour image,
/// written once.
std::string bigMapFile() {
    const std::string folder = benchFolder();
    const std::string path = folder + "/big16384.bmp";
    if (std::filesystem::exists(path) && std::filesystem::exists(folder + "/big16384CL.bmp")) return path;
    const int side = 16384;
    morv::HeightImage map(side, side);
    morv::HeightImage contour(side, side, 255);
    std::vector<double> across(side);
    for (int x = 0; x < side; ++x) across[std::size_t(x)] = std::sin(x / 900.0);
    for (int y = 0; y < side; ++y) {
        const double down = std::cos(y / 700.0);
        std::uint8_t* row = map.grey() + std::size_t(y) * side;
        std::uint8_t* line = contour.grey() + std::size_t(y) * side;
        for (int x = 0; x < side; ++x) {
            row[x] = std::uint8_t(128 + std::lround(90 * across[std::size_t(x)] * down));
            if (row[x] == 128) line[x] = 0;
        }
    }
    morv::savePictureFiles({{&map, path}, {&contour, folder + "/big16384CL.bmp"}});
    return path;
}

/// Answers every box with its first button and every open dialog with one path.
class QuietPrompter : public morv::Prompter {
public:
    std::string file;
    int msgBox(std::string_view, int style, std::string_view) override {
        return (style & 15) == morv::mb::YesNo || (style & 15) == morv::mb::YesNoCancel ? morv::mb::Yes : morv::mb::OK;
    }
    std::string openFileName(std::string_view, int, std::string_view) override { return file; }
    std::string saveFileName(std::string_view) override { return {}; }
};

/// The program's main window at 1366 x 768 with a map open.
struct Window {
    morv::App app;
    QuietPrompter prompter;
    std::unique_ptr<morv::FrmMain> main;
    explicit Window(const std::string& map) {
        prompter.file = map;
        app.prompter = &prompter;
        main = std::make_unique<morv::FrmMain>(app);
        main->resize(1366, 768);
        main->show();
        main->findChild<QAction*>(QStringLiteral("mnuFileOpen"))->trigger();
        QCoreApplication::processEvents();
    }
    QWidget* viewport() const { return main->picture()->findChild<QScrollArea*>(QStringLiteral("picScroll"))->viewport(); }
};

void BM_WindowPanStep_16384(benchmark::State& state) {
    Window w(bigMapFile());
    QScrollBar* across = w.main->picture()->findChild<QScrollArea*>(QStringLiteral("picScroll"))->horizontalScrollBar();
    across->setValue(across->maximum() / 2);
    int direction = 1;
    for (auto _ : state) {
        // One arrow-key step, the way the scroll bar takes it, and the repaint.
        across->setValue(across->value() + direction * across->singleStep() * 3);
        direction = -direction;
        w.viewport()->repaint();
    }
    state.counters["viewport_px"] = double(w.viewport()->width()) * w.viewport()->height();
}

void BM_WindowZoomStep_16384(benchmark::State& state) {
    Window w(bigMapFile());
    using Key = morv::FrmPicture::ZoomKey;
    // From the whole map to one to one and back, stepping through every scale between.
    w.main->picture()->zoomKey(Key::Fit);
    bool in = true;
    for (auto _ : state) {
        const double before = w.main->picture()->scale();
        w.main->picture()->zoomKey(in ? Key::In : Key::Out);
        w.viewport()->repaint();
        if (w.main->picture()->scale() == before || (in && before >= 2.0) || (!in && before <= w.main->picture()->fitScale()))
            in = !in;
    }
}

/// The whole program's peak with the big map and its contour image open, shown and
/// repainted; run in a child of its own so the peak is the window's alone.
void BM_WindowOpenMemory_16384(benchmark::State& state) {
    const std::string map = bigMapFile();
    long peak = 0;
    for (auto _ : state) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::execl("/proc/self/exe", "morv-window-bench", "--open-child", map.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        int status = 0;
        rusage usage{};
        ::wait4(pid, &status, 0, &usage);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) state.SkipWithError("the child failed");
        peak = std::max(peak, usage.ru_maxrss);
    }
    const double pixels = 16384.0 * 16384.0;
    state.counters["peak_MiB"] = double(peak) / 1024.0;
    state.counters["bytes_per_pixel_over_64MiB"] = (double(peak) * 1024.0 - 64.0 * 1024 * 1024) / pixels;
    state.counters["target_bytes_per_pixel"] = 2.5;
}

int openChild(const char* map) {
    Window w(map);
    w.main->picture()->zoomKey(morv::FrmPicture::ZoomKey::Fit);
    w.main->findChild<QCheckBox*>(QStringLiteral("chkShowCoast"))->setChecked(true);
    w.viewport()->repaint();
    QTest::qWait(50);
    return w.main->document().dispCL.image->empty() ? 1 : 0;
}

/// Runs morv-cli with args and returns its wall time in seconds.
double runCli(const std::vector<std::string>& args) {
    std::vector<std::string> copy = args;
    std::vector<char*> argv;
    std::string prog = MORV_CLI_PATH;
    argv.push_back(prog.data());
    for (auto& a : copy) argv.push_back(a.data());
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (!std::freopen((benchFolder() + "/cli.out").c_str(), "w", stdout)) ::_exit(126);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_WindowRedrawAgainstCli_4096(benchmark::State& state) {
    const std::string map = morv::bench::hillyMapFile(benchFolder(), 4096);
    Window w(map);
    auto* flatten = w.main->findChild<QAbstractButton*>(QStringLiteral("chkFlatten"));
    auto* fill = w.main->findChild<QAbstractButton*>(QStringLiteral("chkFill"));
    QTest::mouseClick(flatten, Qt::LeftButton);
    QTest::mouseClick(fill, Qt::LeftButton);
    w.main->findChild<QScrollBar*>(QStringLiteral("vsbMountains"))->setValue(50);
    w.main->findChild<QScrollBar*>(QStringLiteral("vsbValleys"))->setValue(50);
    QTest::mouseClick(w.main->findChild<QAbstractButton*>(QStringLiteral("cmdScale")), Qt::LeftButton);
    auto* redraw = w.main->findChild<QAbstractButton*>(QStringLiteral("cmdRedraw"));
    double window = 0, cli = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(redraw, Qt::LeftButton);
        window += double(clock.nsecsElapsed()) / 1e9;
        state.PauseTiming();
        cli += runCli({"redraw", map, "--flatten", "50", "--fill", "50", "--scale-up", "-o", benchFolder() + "/out.bmp", "--force"});
        state.ResumeTiming();
    }
    const double n = double(state.iterations());
    state.counters["window_s"] = window / n;
    state.counters["cli_s"] = cli / n;
    state.counters["window_over_cli"] = window / cli;
}

/// Live Preview on, Flatten, Fill and Scale Up ticked: each step moves the
/// mountains bar by a key press and repaints what the window shows.
void previewSteps(benchmark::State& state, const std::string& map, bool oneToOne) {
    Window w(map);
    // The setting is remembered from the last run: turn it on only when it is off.
    QAction* live = w.main->findChild<QAction*>(QStringLiteral("mnuViewLivePreview"));
    if (!live->isChecked()) live->trigger();
    for (const char* name : {"chkFlatten", "chkFill", "cmdScale"})
        QTest::mouseClick(w.main->findChild<QAbstractButton*>(QString::fromUtf8(name)), Qt::LeftButton);
    if (oneToOne) w.main->picture()->zoomKey(morv::FrmPicture::ZoomKey::OneToOne);
    auto* bar = w.main->findChild<QScrollBar*>(QStringLiteral("vsbMountains"));
    w.viewport()->repaint();  // the level counts are made once a map
    bool down = true;
    for (auto _ : state) {
        QTest::keyClick(bar, down ? Qt::Key_PageDown : Qt::Key_PageUp);
        w.viewport()->repaint();
        down = !down;
    }
    if (!w.main->previewShown()) state.SkipWithError("no preview shown");
    state.counters["scale"] = w.main->picture()->scale();
    state.counters["target_ms"] = map.find("16384") != std::string::npos ? 16 : 30;
}

void BM_WindowPreviewStep_4096(benchmark::State& state) {
    previewSteps(state, morv::bench::hillyMapFile(benchFolder(), 4096), false);
}
void BM_WindowPreviewStep_16384(benchmark::State& state) { previewSteps(state, bigMapFile(), false); }
void BM_WindowPreviewStepOneToOne_16384(benchmark::State& state) { previewSteps(state, bigMapFile(), true); }

/// A 16384 x 16384 Redraw kept as an undo step, then undone and redone in turn.
void BM_WindowUndoRedo_16384(benchmark::State& state) {
    Window w(bigMapFile());
    QTest::mouseClick(w.main->findChild<QAbstractButton*>(QStringLiteral("chkFlatten")), Qt::LeftButton);
    w.main->findChild<QScrollBar*>(QStringLiteral("vsbMountains"))->setValue(50);
    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(w.main->findChild<QAbstractButton*>(QStringLiteral("cmdRedraw")), Qt::LeftButton);
    state.counters["redraw_with_step_s"] = double(clock.nsecsElapsed()) / 1e9;
    QAction* undo = w.main->findChild<QAction*>(QStringLiteral("mnuEditUndo"));
    QAction* redo = w.main->findChild<QAction*>(QStringLiteral("mnuEditRedo"));
    bool back = true;
    for (auto _ : state) {
        (back ? undo : redo)->trigger();
        back = !back;
    }
    state.counters["step_MiB"] = double(w.main->history().byteSize()) / (1 << 20);
}

/// The whole program's peak with the big map open and ten Redraws kept as undo
/// steps, in a child of its own.
void BM_WindowUndoMemory_16384(benchmark::State& state) {
    const std::string map = bigMapFile();
    long peak = 0;
    for (auto _ : state) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::execl("/proc/self/exe", "morv-window-bench", "--undo-child", map.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        int status = 0;
        rusage usage{};
        ::wait4(pid, &status, 0, &usage);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) state.SkipWithError("the child failed");
        peak = std::max(peak, usage.ru_maxrss);
    }
    const double pixels = 16384.0 * 16384.0;
    state.counters["peak_MiB"] = double(peak) / 1024.0;
    state.counters["bytes_per_pixel_over_64MiB"] = (double(peak) * 1024.0 - 64.0 * 1024 * 1024) / pixels;
    state.counters["target_bytes_per_pixel_plus_budget"] = 2.5;
}

int undoChild(const char* map) {
    Window w(map);
    // Without the preview's copy of the file's map (the setting may be left on).
    QAction* live = w.main->findChild<QAction*>(QStringLiteral("mnuViewLivePreview"));
    if (live->isChecked()) live->trigger();
    QTest::mouseClick(w.main->findChild<QAbstractButton*>(QStringLiteral("chkFlatten")), Qt::LeftButton);
    auto* bar = w.main->findChild<QScrollBar*>(QStringLiteral("vsbMountains"));
    auto* redraw = w.main->findChild<QAbstractButton*>(QStringLiteral("cmdRedraw"));
    for (int i = 0; i < 10; ++i) {
        bar->setValue(10 + 8 * i);
        QTest::mouseClick(redraw, Qt::LeftButton);
    }
    std::fprintf(stderr, "undo steps %zu, %.1f MiB\n", w.main->history().steps(),
                 double(w.main->history().byteSize()) / (1 << 20));
    return w.main->history().steps() == 10 ? 0 : 1;
}

}  // namespace

BENCHMARK(BM_WindowPanStep_16384)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(200);
BENCHMARK(BM_WindowZoomStep_16384)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(200);
BENCHMARK(BM_WindowOpenMemory_16384)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_WindowRedrawAgainstCli_4096)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_WindowPreviewStep_4096)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(100);
BENCHMARK(BM_WindowPreviewStep_16384)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(100);
BENCHMARK(BM_WindowPreviewStepOneToOne_16384)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(100);
BENCHMARK(BM_WindowUndoRedo_16384)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(6);
BENCHMARK(BM_WindowUndoMemory_16384)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // The settings the window writes (Live Preview) stay in the bench's folder.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(benchFolder() + "/config"));
    if (argc == 3 && std::strcmp(argv[1], "--undo-child") == 0) {
        int qtArgc = 1;
        QApplication app(qtArgc, argv);
        return undoChild(argv[2]);
    }
    if (argc == 3 && std::strcmp(argv[1], "--open-child") == 0) {
        int qtArgc = 1;
        QApplication app(qtArgc, argv);
        return openChild(argv[2]);
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
