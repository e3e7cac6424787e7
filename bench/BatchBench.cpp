// A folder of maps: one morv-cli call with --jobs 2 against one process a map in a
// shell loop, both timed as whole processes.
#include <benchmark/benchmark.h>

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "BenchMaps.h"

namespace {

namespace fs = std::filesystem;

constexpr int kMaps = 100;
constexpr int kSide = 1024;

/// A folder of kMaps maps with their contour images (copies of one generated pair).
fs::path batchFolder() {
    const fs::path dir = fs::temp_directory_path() / "morv-bench" / "batch";
    const fs::path maps = dir / "maps";
    fs::create_directories(maps);
    const std::string first = morv::bench::hillyMapFile(dir.string(), kSide);
    const std::string firstCL = (dir / ("hills" + std::to_string(kSide) + "CL.bmp")).string();
    for (int i = 0; i < kMaps; ++i) {
        const std::string name = "Map" + std::to_string(100 + i);
        if (!fs::exists(maps / (name + ".bmp"))) {
            fs::copy_file(first, maps / (name + ".bmp"));
            fs::copy_file(firstCL, maps / (name + "CL.bmp"));
        }
    }
    for (const char* out : {"loop", "batch"}) fs::create_directories(dir / out);
    return dir;
}

/// Runs argv as a process with standard output into a file; returns its wall time in seconds.
double timed(std::vector<std::string> args, const fs::path& outFile) {
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (!::freopen(outFile.c_str(), "w", stdout)) ::_exit(126);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) std::abort();
    return seconds;
}

void BM_Batch100Maps1024_Jobs2VersusShellLoop(benchmark::State& state) {
    const fs::path dir = batchFolder();
    const std::string work = " --lower 30 --blur 8 ";
    // The loop as a user writes it, one morv-cli process a map, skipping the contour images.
    const std::string loop = "for m in '" + (dir / "maps").string() + "'/*.bmp; do case $m in *CL.bmp) continue;; esac; '" +
                             MORV_CLI_PATH "' redraw \"$m\"" + work + "-o '" + (dir / "loop").string() +
                             "'/\"${m##*/}\" --force || exit 1; done";
    std::vector<std::string> batch = {MORV_CLI_PATH, "redraw"};
    for (int i = 0; i < kMaps; ++i) {
        const std::string name = (dir / "maps" / ("Map" + std::to_string(100 + i))).string();
        batch.push_back(name + ".bmp");
        batch.push_back(name + "CL.bmp");  // as a glob of the folder gives them: skipped as companions
    }
    for (const char* a : {"--lower", "30", "--blur", "8", "--outdir"}) batch.push_back(a);
    batch.push_back((dir / "batch").string());
    for (const char* a : {"--force", "--jobs", "2", "-q"}) batch.push_back(a);

    double loopTotal = 0, batchTotal = 0;
    for (auto _ : state) {
        loopTotal += timed({"/bin/sh", "-c", loop}, dir / "loop.txt");
        const double b = timed(batch, dir / "batch.txt");
        batchTotal += b;
        state.SetIterationTime(b);
    }
    const double n = double(state.iterations());
    state.counters["loop_s"] = loopTotal / n;
    state.counters["batch_s"] = batchTotal / n;
    state.counters["batch_over_loop"] = batchTotal / loopTotal;
}

}  // namespace

BENCHMARK(BM_Batch100Maps1024_Jobs2VersusShellLoop)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1)->Repetitions(3);
