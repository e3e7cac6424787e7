// Whole morv-cli processes on large maps: wall time and peak memory of the child.
#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "BenchMaps.h"

namespace {

std::string benchFolder() {
    const auto dir = std::filesystem::temp_directory_path() / "morv-bench";
    std::filesystem::create_directories(dir);
    return dir.string();
}

/// Runs morv-cli with args; returns the child's peak resident size in KiB.
long runCli(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    std::string prog = MORV_CLI_PATH;
    argv.push_back(prog.data());
    std::vector<std::string> copy = args;
    for (auto& a : copy) argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (!::freopen("/dev/null", "w", stdout)) ::_exit(127);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    return usage.ru_maxrss;
}

void cliBench(benchmark::State& state, int side, std::vector<std::string> options) {
    const std::string folder = benchFolder();
    const std::string map = morv::bench::hillyMapFile(folder, side);
    std::vector<std::string> args = {"redraw", map};
    args.insert(args.end(), options.begin(), options.end());
    args.insert(args.end(), {"-o", folder + "/out.bmp", "--force"});
    long peak = 0;
    for (auto _ : state) peak = std::max(peak, runCli(args));
    const double pixels = double(side) * side;
    state.counters["peak_MiB"] = double(peak) / 1024.0;
    state.counters["bytes_per_pixel"] = (double(peak) * 1024.0 - 32.0 * 1024 * 1024) / pixels;
}

void BM_CliRedrawFlattenFillScaleUp_4096(benchmark::State& s) {
    cliBench(s, 4096, {"--flatten", "50", "--fill", "50", "--scale-up"});
}
void BM_CliRedrawFlattenFillScaleUp_16384(benchmark::State& s) {
    cliBench(s, 16384, {"--flatten", "50", "--fill", "50", "--scale-up"});
}
void BM_CliRedrawFlattenBlur48_4096(benchmark::State& s) { cliBench(s, 4096, {"--flatten", "50", "--blur", "48"}); }
void BM_CliRedrawFlattenBlur48_16384(benchmark::State& s) { cliBench(s, 16384, {"--flatten", "50", "--blur", "48"}); }

void BM_CliInfo_4096(benchmark::State& state) {
    const std::string map = morv::bench::hillyMapFile(benchFolder(), 4096);
    for (auto _ : state) runCli({"info", map});
}

}  // namespace

BENCHMARK(BM_CliRedrawFlattenFillScaleUp_4096)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly();
BENCHMARK(BM_CliInfo_4096)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly();
BENCHMARK(BM_CliRedrawFlattenBlur48_4096)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(3)->ReportAggregatesOnly();
BENCHMARK(BM_CliRedrawFlattenFillScaleUp_16384)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(3)->ReportAggregatesOnly();
BENCHMARK(BM_CliRedrawFlattenBlur48_16384)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
