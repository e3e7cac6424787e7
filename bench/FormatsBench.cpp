// A 4096 x 4096 16-bit grey PNG read and written as an 8-bit grey PNG: in process,
// by morv-cli, and by ImageMagick's convert doing the same (its own lowest to
// highest stretched to 0..255, written at 8 bits) in one process. Then small hostile
// files refused from what they claim: a 1 MB PNG whose data inflates to 1 GB, and
// 250-byte TIFFs with a strip far beyond their end or tiles of 2^30 pixels a side.
// Measured by hand with /usr/bin/time -v on `morv-cli info FILE` (2 loaded cores):
// the 1 GB PNG took 13.6 s before it was refused, the far strip 6.2 s and 277 MB;
// now each is refused in 0.02-0.04 s of CPU with 16.5 MB resident, what morv-cli
// takes to refuse a one-byte file. A 1 MB PNG with 1000 compressed text chunks
// took 5 s of CPU to be refused ("no space in chunk cache"); now it is read in
// about 1 ms. A 250-byte LZW TIFF claiming 16384 x 16384 pixels took 0.9 s of CPU
// and 277 MB; now 0.02 s and 16.6 MB.
#include <benchmark/benchmark.h>

#include <sys/wait.h>
#include <unistd.h>

#include <QImage>

#include <zlib.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "BenchMaps.h"
#include "core/RuntimeError.h"
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

void putBigEndian(std::string& s, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) s += char(v >> (24 - 8 * i));
}

std::string pngChunk(const char* type, const std::string& data) {
    std::string c;
    putBigEndian(c, std::uint32_t(data.size()));
    const std::string body = type + data;
    c += body;
    putBigEndian(c, std::uint32_t(crc32(0, reinterpret_cast<const Bytef*>(body.data()), uInt(body.size()))));
    return c;
}

/// A 16 x 16 grey PNG whose image data goes on to 1 GB of zeros (about 1 MB).
std::string pngBombFile() {
    const std::string path = folder() + "/bomb.png";
    if (std::filesystem::exists(path)) return path;
    z_stream z{};
    deflateInit(&z, 9);
    const std::string zeros(std::size_t(1) << 20, '\0');
    std::string idat(std::size_t(2) << 20, '\0');
    z.next_out = reinterpret_cast<Bytef*>(idat.data());
    z.avail_out = uInt(idat.size());
    for (int mb = 0; mb < 1024; ++mb) {
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zeros.data()));
        z.avail_in = uInt(zeros.size());
        deflate(&z, mb == 1023 ? Z_FINISH : Z_NO_FLUSH);
    }
    idat.resize(z.total_out);
    deflateEnd(&z);
    const std::string ihdr{0, 0, 0, 16, 0, 0, 0, 16, 8, 0, 0, 0, 0};
    std::ofstream(path, std::ios::binary) << "\x89PNG\r\n\x1a\n" + pngChunk("IHDR", ihdr) + pngChunk("IDAT", idat) +
                                                 pngChunk("IEND", "");
    return path;
}

/// A 250-byte little-endian TIFF of 8-bit grey from its directory's entries.
std::string tinyTiffFile(const char* name, const std::vector<std::array<std::uint32_t, 3>>& entries) {
    std::string t = std::string("II*") + '\0';
    auto put = [&t](std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) t += char(v >> (8 * i));
    };
    put(8, 4);
    put(std::uint32_t(entries.size()), 2);
    for (const auto& [tag, type, value] : entries) put(tag, 2), put(type, 2), put(1, 4), put(value, 4);
    put(0, 4);
    t.resize(250, '\0');
    const std::string path = folder() + "/" + name;
    std::ofstream(path, std::ios::binary) << t;
    return path;
}

void refuse(benchmark::State& state, const std::string& path) {
    for (auto _ : state) {
        try {
            morv::loadPicture(path);
            state.SkipWithError("the hostile file was read");
        } catch (const morv::RuntimeError&) {
        }
    }
}

void BM_Refuse_PngInflatingTo1GB(benchmark::State& state) { refuse(state, pngBombFile()); }

/// A sound 16 x 16 grey PNG with 1000 text chunks of 1 MB of zeros each, compressed.
std::string pngTextFile() {
    const std::string path = folder() + "/text.png";
    if (std::filesystem::exists(path)) return path;
    const std::string zeros(std::size_t(1) << 20, '\0');
    std::string packed(compressBound(uLong(zeros.size())), '\0');
    uLongf n = uLongf(packed.size());
    compress2(reinterpret_cast<Bytef*>(packed.data()), &n, reinterpret_cast<const Bytef*>(zeros.data()), uLong(zeros.size()), 9);
    packed.resize(n);
    std::string rows(std::size_t(16 * 17), '\0'), idat(compressBound(uLong(rows.size())), '\0');
    n = uLongf(idat.size());
    compress2(reinterpret_cast<Bytef*>(idat.data()), &n, reinterpret_cast<const Bytef*>(rows.data()), uLong(rows.size()), 9);
    idat.resize(n);
    std::string png = "\x89PNG\r\n\x1a\n" + pngChunk("IHDR", std::string{0, 0, 0, 16, 0, 0, 0, 16, 8, 0, 0, 0, 0});
    for (int i = 0; i < 1000; ++i) png += pngChunk("zTXt", std::string("Comment\0\0", 9) + packed);
    std::ofstream(path, std::ios::binary) << png + pngChunk("IDAT", idat) + pngChunk("IEND", "");
    return path;
}

void BM_Read_PngWith1000TextChunks(benchmark::State& state) {
    const std::string path = pngTextFile();
    for (auto _ : state) benchmark::DoNotOptimize(morv::loadPicture(path));
}

void BM_Refuse_TiffStripFarBeyondItsEnd(benchmark::State& state) {
    refuse(state, tinyTiffFile("far.tif", {{256, 4, 16384}, {257, 4, 16384}, {258, 3, 8}, {259, 3, 1}, {262, 3, 1},
                                           {273, 4, 0x7FFFFFF0}, {277, 3, 1}, {278, 4, 16384}, {279, 4, 0x10000000}}));
}

void BM_Refuse_TiffTilesOf2To30Pixels(benchmark::State& state) {
    refuse(state, tinyTiffFile("tiles.tif", {{256, 4, 64}, {257, 4, 64}, {258, 3, 8}, {259, 3, 1}, {262, 3, 1},
                                             {277, 3, 1}, {322, 4, 1u << 30}, {323, 4, 1u << 30}, {324, 4, 200},
                                             {325, 4, 40}}));
}

}  // namespace

BENCHMARK(BM_Refuse_PngInflatingTo1GB)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Read_PngWith1000TextChunks)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Refuse_TiffStripFarBeyondItsEnd)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Refuse_TiffTilesOf2To30Pixels)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Png16ToPng8_4096_InProcess)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(3)->ReportAggregatesOnly();
BENCHMARK(BM_Png16ToPng8_4096_MorvCli)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(3)->ReportAggregatesOnly();
BENCHMARK(BM_Png16ToPng8_4096_ImageMagickConvert)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(3)->ReportAggregatesOnly();
