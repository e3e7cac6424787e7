// Whole morv-cli redraws beside the lean yardstick built for this machine
// (-march=native) and for generic x86-64, each with and without the flush to disk
// that morv-cli always does: wall and CPU time, peak memory and page faults of
// each process, medians of interleaved rounds, and the instruction set morv's
// pixel loops chose here.
#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "BenchMaps.h"
#include "engine/PixelKernels.h"

namespace {

struct Run {
    double wall = 0, cpu = 0, peakMiB = 0, faults = 0;
};

/// Runs argv to its end, its output thrown away; what the process cost.
Run runProcess(std::vector<std::string> args, const std::string& sink) {
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int fd = ::open(sink.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0 || ::dup2(fd, STDOUT_FILENO) < 0) ::_exit(127);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    Run r;
    r.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    r.cpu = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
            double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    r.peakMiB = double(usage.ru_maxrss) / 1024.0;
    r.faults = double(usage.ru_minflt + usage.ru_majflt);
    return r;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

void wholeRedraw(benchmark::State& state, int side, int rounds) {
    const auto dir = std::filesystem::temp_directory_path() / "morv-bench";
    std::filesystem::create_directories(dir);
    const std::string folder = dir.string();
    const std::string map = morv::bench::hillyMapFile(folder, side);
    const std::string sink = folder + "/stdout.txt";
    const std::vector<std::vector<std::string>> programs = {
        {MORV_CLI_PATH, "redraw", map, "--flatten", "50", "--fill", "50", "--scale-up", "--contours", "-o",
         folder + "/cli.bmp", "--force", "-q"},
        {MORV_YARDSTICK_NATIVE, map, folder + "/native.bmp"},
        {MORV_YARDSTICK_GENERIC, map, folder + "/generic.bmp"},
        // morv-cli flushes both files and their folder before it reports success;
        // these two do the same, so their ratio compares like with like.
        {MORV_YARDSTICK_NATIVE, map, folder + "/native.bmp", "--durable"},
        {MORV_YARDSTICK_GENERIC, map, folder + "/generic.bmp", "--durable"},
    };
    std::vector<std::vector<Run>> runs(programs.size());
    for (auto _ : state)
        for (int r = 0; r < rounds; ++r)
            for (std::size_t p = 0; p < programs.size(); ++p) runs[p].push_back(runProcess(programs[p], sink));
    auto med = [&](std::size_t p, double Run::*field) {
        std::vector<double> v;
        for (const Run& r : runs[p]) v.push_back(r.*field);
        return median(v);
    };
    const char* names[] = {"cli", "native", "generic", "native_durable", "generic_durable"};
    for (std::size_t p = 0; p < programs.size(); ++p) {
        const std::string n = names[p];
        state.counters[n + "_wall_s"] = med(p, &Run::wall);
        state.counters[n + "_cpu_s"] = med(p, &Run::cpu);
        state.counters[n + "_peak_MiB"] = med(p, &Run::peakMiB);
        state.counters[n + "_faults"] = med(p, &Run::faults);
    }
    state.counters["wall_x_native"] = med(0, &Run::wall) / med(1, &Run::wall);
    state.counters["cpu_x_native"] = med(0, &Run::cpu) / med(1, &Run::cpu);
    state.counters["peak_x_native"] = med(0, &Run::peakMiB) / med(1, &Run::peakMiB);
    state.counters["wall_x_native_durable"] = med(0, &Run::wall) / med(3, &Run::wall);
    state.counters["cpu_x_native_durable"] = med(0, &Run::cpu) / med(3, &Run::cpu);
    state.SetLabel(std::string("pixel loops: ") + morv::kernelLevelName(morv::pixelKernels().level));
}

void BM_WholeRedrawVsYardstick_4096(benchmark::State& s) { wholeRedraw(s, 4096, 9); }
void BM_WholeRedrawVsYardstick_16384(benchmark::State& s) { wholeRedraw(s, 16384, 5); }

}  // namespace

BENCHMARK(BM_WholeRedrawVsYardstick_4096)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_WholeRedrawVsYardstick_16384)->Unit(benchmark::kMillisecond)->Iterations(1);
