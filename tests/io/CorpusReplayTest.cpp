#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <new>
#include <string>
#include <vector>

#include "app/cli/CliOptions.h"
#include "core/RuntimeError.h"
#include "io/BmpCodec.h"
#include "io/PngCodec.h"
#include "io/TgaCodec.h"
#include "io/TiffCodec.h"
#include "support/TestSupport.h"

namespace morv {
namespace {

// The kept fuzzing inputs, replayed through the entries the fuzz programs use and
// with their memory budget: each gives the picture it held when it was kept, or a
// clean refusal with a one-line reason.
constexpr std::uint64_t kBudget = std::uint64_t(16) << 20;

/// What a picture holds, in a few characters: "3x2 grey 1234", the last a sum of
/// its pixels each weighed by its place, so that a turned picture differs.
std::string summary(const HeightImage& image) {
    std::uint64_t sum = 0, place = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) sum += std::uint64_t(std::uint32_t(image.pixel(x, y))) * ++place;
    return std::to_string(image.width()) + "x" + std::to_string(image.height()) +
           (image.isGrey() ? " grey " : " colour ") + std::to_string(sum);
}

/// Decodes bytes as the fuzz program of kind does: the picture's summary, or
/// "refused N: reason".
std::string replay(const std::string& kind, const std::string& bytes) {
    MemorySource source({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
    // Odd-length inputs map 16-bit grey through a chosen range, as in the fuzz programs.
    LevelOptions options;
    if (bytes.size() % 2 == 1) options.levels = SampleRange{1000, 3000};
    try {
        if (kind == "bmp") return summary(decodeBmp(source, "fuzz.bmp", kBudget));
        if (kind == "tga") return summary(decodeTga(source, "fuzz.tga", kBudget));
        if (kind == "png") return summary(decodePng(source, "fuzz.png", options, kBudget).image);
        if (kind == "tiff") return summary(decodeTiff(source, "fuzz.tif", options, kBudget).image);
    } catch (const RuntimeError& e) {
        return "refused " + std::to_string(e.number()) + ": " + e.description();
    } catch (const std::bad_alloc&) {
        return "out of memory";
    }
    return "no reader";
}

/// Every kept input of one kind and its bytes.
std::map<std::string, std::string> corpus(const std::string& kind) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(MORV_CORPUS_DIR) / kind))
        files[entry.path().filename().string()] = test::readFile(entry.path().string());
    return files;
}

TEST(CorpusReplay, PicturesDecodeAsKeptOrAreRefused) {
    const std::map<std::string, std::string> expected = {
        {"bmp/b16.bmp", "3x2 colour 187376731"},
        {"bmp/b32.bmp", "3x2 colour 42222852"},
        {"bmp/core8.bmp", "5x3 grey 54608190"},
        {"bmp/p1.bmp", "9x3 grey 1073741760"},
        {"bmp/p4.bmp", "5x3 grey 25725063"},
        {"bmp/p8.bmp", "5x3 grey 382257330"},
        {"bmp/rle4.bmp", "7x2 grey 7566195"},
        {"bmp/rle8.bmp", "6x3 grey 4013373"},
        {"bmp/v5_24.bmp", "3x2 colour 184608963"},
        {"png/extra-data-interlaced.png", "refused 481: Invalid picture: fuzz.png: damaged PNG data: more image data than the picture's 16 rows hold"},
        {"png/extra-data.png", "refused 481: Invalid picture: fuzz.png: damaged PNG data: more image data than the picture's 16 rows hold"},
        {"png/grey1.png", "8x6 grey 9563012550"},
        {"png/grey16.png", "8x6 grey 10793933787"},
        {"png/grey4.png", "8x6 grey 10670308740"},
        {"png/grey8.png", "8x6 grey 10491351780"},
        {"png/greyalpha8.png", "8x6 grey 8621514720"},
        {"png/palette4.png", "8x6 grey 9839343150"},
        {"png/rgb8.png", "8x6 colour 6978035680"},
        {"png/rgba16.png", "8x6 colour 190654316"},
        {"png/text-chunks.png", "16x16 grey 0"},
        {"tga/bad-map-type.tga", "refused 481: Invalid picture: fuzz.tga: damaged TGA header: colour map type 7 (0 or 1)"},
        {"tga/grey8-rle.tga", "8x6 grey 7801733940"},
        {"tga/grey8-topleft.tga", "8x6 grey 10491351780"},
        {"tga/grey8.tga", "8x6 grey 9459717540"},
        {"tga/mapped8-rle.tga", "8x6 grey 8105697600"},
        {"tga/mapped8.tga", "8x6 grey 9326815680"},
        {"tga/rgb16.tga", "8x6 colour 1930598452"},
        {"tga/rgb24-rle.tga", "8x6 colour 6955072880"},
        {"tga/rgb24.tga", "8x6 colour 6955098080"},
        {"tga/rgba32.tga", "8x6 colour 6955098080"},
        {"tiff/grey1.tif", "8x6 grey 9563012550"},
        {"tiff/grey16.tif", "8x6 grey 10793933787"},
        {"tiff/grey8-packbits.tif", "8x6 grey 9238653060"},
        {"tiff/grey8.tif", "8x6 grey 10491351780"},
        {"tiff/lzw-short.tif", "refused 481: Invalid picture: fuzz.tif: damaged TIFF: 40 bytes of compressed data cannot hold 268435456 bytes of picture"},
        {"tiff/palette8.tif", "8x6 grey 9074038974"},
        {"tiff/rgb8.tif", "8x6 colour 6978035680"},
        {"tiff/strip-far.tif", "refused 481: Invalid picture: fuzz.tif: damaged TIFF: strip 0 lies beyond the end of the file (16384 bytes at byte 2147483632 of a file of 250 bytes)"},
        {"tiff/strip-short.tif", "refused 481: Invalid picture: fuzz.tif: damaged TIFF: strip 0 lies beyond the end of the file (4096 bytes at byte 200 of a file of 250 bytes)"},
        {"tiff/tiles-huge.tif", "refused 481: Invalid picture: fuzz.tif: damaged TIFF header: tiles of 1073741824 x 1073741824 pixels"},
    };
    std::size_t seen = 0;  // every row has its file
    for (const std::string kind : {"bmp", "png", "tga", "tiff"}) {
        for (const auto& [name, bytes] : corpus(kind)) {
            ++seen;
            const std::string got = replay(kind, bytes);
            const auto it = expected.find(kind + "/" + name);
            EXPECT_NE(it, expected.end()) << kind << "/" << name << " gives " << got << ": add it to the table";
            if (it != expected.end()) {
                EXPECT_EQ(got, it->second) << kind << "/" << name;
            }
        }
    }
    EXPECT_EQ(seen, expected.size()) << "a kept input is missing";
}

TEST(CorpusReplay, ArgumentListsAreReadOrRefusedInOneLine) {
    const std::map<std::string, std::string> expected = {
        {"dangling", "--ground takes a whole number from 0 to 255, not ''"},
        {"empty-arg", "read"},
        {"flatten", "unknown option '--flatten\\x050'"},
        {"newline-in-command", "unknown command 'raw\\n\\n\\n\\n' (try 'morv-cli --help')"},
    };
    for (const auto& [name, bytes] : corpus("cli")) {
        // Arguments are the input split at NUL bytes, as in the fuzz program.
        std::vector<std::string> args(1);
        for (char c : bytes) {
            if (c == '\0') args.emplace_back();
            else args.back().push_back(c);
        }
        const cli::Parsed p = cli::parseArguments(args);
        const std::string got = p.options ? "read" : p.error;
        EXPECT_EQ(got.find('\n'), std::string::npos) << name;
        const auto it = expected.find(name);
        EXPECT_NE(it, expected.end()) << name << " gives " << got << ": add it to the table";
        if (it != expected.end()) {
            EXPECT_EQ(got, it->second) << name;
        }
    }
}

}  // namespace
}  // namespace morv
