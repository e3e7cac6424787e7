#include <benchmark/benchmark.h>

#include <unistd.h>

#include <filesystem>
#include <string>

#include "io/BmpCodec.h"
#include "io/ImageIO.h"

namespace morv {
namespace {

/// A 4096 x 4096 grey height map and a scratch folder for its files.
class GreyMapFixture : public benchmark::Fixture {
public:
    void SetUp(const benchmark::State&) override {
        m_folder = std::filesystem::temp_directory_path() / ("morv-bench-" + std::to_string(::getpid()));
        std::filesystem::create_directories(m_folder);
        m_image = HeightImage(4096, 4096);
        for (int y = 0; y < 4096; ++y)
            for (int x = 0; x < 4096; ++x) m_image.grey()[std::size_t(y) * 4096 + std::size_t(x)] = std::uint8_t((x + y) / 32);
        m_path = (m_folder / "map.bmp").string();
        savePictureFile(m_image, m_path);
    }
    void TearDown(const benchmark::State&) override { std::filesystem::remove_all(m_folder); }

protected:
    std::filesystem::path m_folder;
    std::string m_path;
    HeightImage m_image;
};

BENCHMARK_DEFINE_F(GreyMapFixture, ReadGreyBmp24)(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(loadPictureFile(m_path));
    state.SetBytesProcessed(state.iterations() * 4096 * 4096 * 3);
}
BENCHMARK_REGISTER_F(GreyMapFixture, ReadGreyBmp24)->Unit(benchmark::kMillisecond);

BENCHMARK_DEFINE_F(GreyMapFixture, WriteGreyBmp24)(benchmark::State& state) {
    for (auto _ : state) savePictureFile(m_image, m_path);
    state.SetBytesProcessed(state.iterations() * 4096 * 4096 * 3);
}
BENCHMARK_REGISTER_F(GreyMapFixture, WriteGreyBmp24)->Unit(benchmark::kMillisecond);

BENCHMARK_DEFINE_F(GreyMapFixture, EncodeGreyBmp24ToMemory)(benchmark::State& state) {
    std::string bytes;
    for (auto _ : state) {
        bytes.clear();
        writeBmp24(m_image, [&bytes](const void* d, std::size_t n) { bytes.append(static_cast<const char*>(d), n); });
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetBytesProcessed(state.iterations() * 4096 * 4096 * 3);
}
BENCHMARK_REGISTER_F(GreyMapFixture, EncodeGreyBmp24ToMemory)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace morv
