// A 4096 x 4096 16-bit grey PNG read and written as an 8-bit grey PNG: in process,
// by morv-cli, and by ImageMagick's convert doing the same (its own lowest to
// highest stretched to 0..255, written at 8 bits) in one process.
#include <benchmark/benchmark.h>

#include <sys/wait.h>
#include <unistd.h>

#include <QImage>

#include <filesystem>
#include <string>
#include <vector>

#include "BenchMaps.h"
#include "io/ImageIO.h"

namespace {

std::string folder() {
    const auto dir = std::filesystem::temp_directory_path() / "morv-bench";
    std::filesystem::create_directories(dir);
    return dir.string();
}

/// A hilly map in 16-bit samples with fine detail in the low bits, written once.
std::string deepMapFile(int side) {
    const std::string path = folder() + "/deep" + std::to_string(side) + ".png";
    if (std::filesystem::exists(path)) return path;
    const morv::HeightImage map = morv::bench::hillyMap(side);
    QImage deep(side, side, QImage::Format_Grayscale16);
    for (int y = 0; y < side; ++y) {
        auto* row = reinterpret_cast<std::uint16_t*>(deep.scanLine(y));
        for (int x = 0; x < side; ++x)
            row[x] = std::uint16_t(map.grey()[std::size_t(y) * std::size_t(side) + std::size_t(x)] * 200 + (x * 7 + y * 13) % 200);
    }
    deep.save(QString::fromStdString(path));
    return path;
}

void run(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    std::vector<std::string> copy = args;
    for (auto& a : copy) argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (!::freopen("/dev/null", "w", stdout)) ::_exit(126);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) std::fprintf(stderr, "%s failed\n", argv[0]);
}

void BM_Png16ToPng8_4096_InProcess(benchmark::State& state) {
    const std::string in = deepMapFile(4096), out = folder() + "/deep-morv.png";
    for (auto _ : state) {
        const morv::LoadedPicture p = morv::loadPicture(in);
        morv::savePictureFile(*p.image, out, morv::PictureType::Png8);
    }
}

void BM_Png16ToPng8_4096_MorvCli(benchmark::State& state) {
    const std::string in = deepMapFile(4096);
    for (auto _ : state) run({MORV_CLI_PATH, "redraw", in, "--flatten", "0", "-o", folder() + "/deep-cli.png", "--force"});
}

void BM_Png16ToPng8_4096_ImageMagickConvert(benchmark::State& state) {
    const std::string in = deepMapFile(4096);
    for (auto _ : state) run({"/usr/bin/convert", in, "-auto-level", "-depth", "8", folder() + "/deep-magick.png"});
}

}  // namespace

BENCHMARK(BM_Png16ToPng8_4096_InProcess)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(3)->ReportAggregatesOnly();
BENCHMARK(BM_Png16ToPng8_4096_MorvCli)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(3)->ReportAggregatesOnly();
BENCHMARK(BM_Png16ToPng8_4096_ImageMagickConvert)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(3)->ReportAggregatesOnly();
