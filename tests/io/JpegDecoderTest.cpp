#include "io/JpegDecoder.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <tuple>

#include <jpeglib.h>

#include "core/RuntimeError.h"
#include "io/ImageIO.h"
#include "support/TestSupport.h"

namespace morv {
namespace {

struct JpegRecipe {
    int width = 64, height = 48;
    J_COLOR_SPACE space = JCS_RGB;  // JCS_GRAYSCALE, JCS_RGB or JCS_CMYK
    bool progressive = false;
    int orientation = 0;  // EXIF orientation to write, 0 for none
};

/// A JPEG file made with libjpeg: a grey ramp (colour files add some red).
std::string encodeJpeg(const JpegRecipe& recipe) {
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &out, &size);
    const int comps = recipe.space == JCS_GRAYSCALE ? 1 : recipe.space == JCS_CMYK ? 4 : 3;
    c.image_width = JDIMENSION(recipe.width);
    c.image_height = JDIMENSION(recipe.height);
    c.input_components = comps;
    c.in_color_space = recipe.space;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 95, TRUE);
    if (recipe.progressive) jpeg_simple_progression(&c);
    jpeg_start_compress(&c, TRUE);
    if (recipe.orientation) {
        // "Exif\0\0", a little-endian TIFF head, one IFD with the orientation tag.
        const unsigned char exif[] = {'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0, 0x12, 0x01, 3, 0, 1, 0, 0, 0,
                                      static_cast<unsigned char>(recipe.orientation), 0, 0, 0, 0, 0, 0, 0};
        jpeg_write_marker(&c, JPEG_APP0 + 1, exif, sizeof exif);
    }
    std::vector<JSAMPLE> row(std::size_t(recipe.width) * std::size_t(comps));
    while (c.next_scanline < c.image_height) {
        for (int x = 0; x < recipe.width; ++x)
            for (int k = 0; k < comps; ++k)
                row[std::size_t(x * comps + k)] = JSAMPLE((x * 4 + int(c.next_scanline) + (k == 0 && comps == 3 ? 60 : 0)) & 255);
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::string bytes(reinterpret_cast<char*>(out), size);
    std::free(out);
    return bytes;
}

/// The file with the size its frame header declares changed.
std::string declaring(std::string jpeg, int width, int height) {
    std::size_t sof = jpeg.find("\xFF\xC0");
    if (sof == std::string::npos) sof = jpeg.find("\xFF\xC2");
    EXPECT_NE(sof, std::string::npos);
    jpeg[sof + 5] = char(height >> 8), jpeg[sof + 6] = char(height & 255);
    jpeg[sof + 7] = char(width >> 8), jpeg[sof + 8] = char(width & 255);
    return jpeg;
}

/// The file cut before its last scan, with or without an end marker after the cut.
std::string withoutLastScan(const std::string& jpeg, bool endMarker) {
    const std::size_t lastScan = jpeg.rfind("\xFF\xDA");
    return jpeg.substr(0, lastScan) + (endMarker ? "\xFF\xD9" : "");
}

/// "loaded WxH" or "number: description".
std::string outcome(const std::string& path) {
    try {
        const auto img = loadPictureFile(path);
        return "loaded " + std::to_string(img->width()) + "x" + std::to_string(img->height());
    } catch (const RuntimeError& e) {
        return std::to_string(e.number()) + ": " + e.description();
    }
}

TEST(JpegLoad, DamagedOrTurnedFilesAreRefused) {
    test::TempDir dir;
    const std::string grey = encodeJpeg({.space = JCS_GRAYSCALE});
    const std::string progressive = encodeJpeg({.progressive = true});
    const std::tuple<const char*, std::string, std::string> rows[] = {  // name, bytes, outcome start, reason
        {"grey.jpg", grey, "loaded 64x48"},
        {"progressive.jpg", progressive, "loaded 64x48"},
        {"cmyk.jpg", encodeJpeg({.space = JCS_CMYK, .progressive = true}), "loaded 64x48"},
        {"upright.jpg", encodeJpeg({.orientation = 1}), "loaded 64x48"},
        {"no-end.jpg", grey.substr(0, grey.size() - 2), "481: Invalid picture: PATH: damaged or truncated JPEG data: Premature end"},
        {"scans-missing.jpg", withoutLastScan(progressive, true), "481: Invalid picture: PATH: incomplete progressive JPEG"},
        {"scans-cut.jpg", withoutLastScan(progressive, false), "481: Invalid picture: PATH: damaged or truncated JPEG data: Premature end"},
        {"turned.jpg", encodeJpeg({.orientation = 6}), "481: Invalid picture: PATH: the JPEG is marked to be shown turned or mirrored (EXIF orientation 6)"},
        {"mirrored.jpg", encodeJpeg({.space = JCS_GRAYSCALE, .orientation = 2}), "481: Invalid picture: PATH: the JPEG is marked"},
        // 700 bytes declaring 16384 x 16384: the data runs out at once, nothing is filled in.
        {"bomb.jpg", declaring(encodeJpeg({.width = 8, .height = 8, .space = JCS_GRAYSCALE}), 16384, 16384),
         "481: Invalid picture: PATH: damaged or truncated JPEG data"},
        {"huge.jpg", declaring(grey, 40000, 40000), "481: Invalid picture: PATH: 40000 x 40000 pixels is beyond the size limits"},
    };
    for (const auto& [name, bytes, expected] : rows) {
        const std::string path = dir.file(name);
        std::ofstream(path, std::ios::binary) << bytes;
        std::string want = expected;
        if (const auto at = want.find("PATH"); at != std::string::npos) want.replace(at, 4, path);
        EXPECT_EQ(outcome(path).substr(0, want.size()), want) << name;
    }
    // That grey files stay grey and a colour file's red shows: LoadPicture.ContentDecidesFormatJpegsUseGreyPlane.
}

TEST(JpegLoad, DecoderStaysWithinItsBudgetNamingTheFile) {
    test::TempDir dir;
    // A whole-file coefficient buffer of 1024 x 1024 luma blocks needs 2 MB.
    const std::string path = dir.file("progressive.jpg");
    std::ofstream(path, std::ios::binary) << encodeJpeg({.width = 1024, .height = 1024, .progressive = true});
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    {
        JpegReader reader(fd, path);
        EXPECT_GT(reader.memoryNeeded(), 5u * 1024 * 1024 + 2u * 1024 * 1024);
        // The picture and nothing for the decoder.
        EXPECT_EQ(test::refusalOf([&] { reader.decode(5u * 1024 * 1024); }),
                  std::to_string(err::OutOfMemory) + ": Out of memory: " + path + ": not enough memory to decode the JPEG");
    }
    ::close(fd);

    // Under an address-space cap a progressive CMYK file declaring 16384 x 16384
    // (3.4 GB to decode) is refused from its header as out of memory, not damaged.
    const std::string bomb = dir.file("cmyk-bomb.jpg");
    std::ofstream(bomb, std::ios::binary) << declaring(encodeJpeg({.width = 16, .height = 16, .space = JCS_CMYK, .progressive = true}), 16384, 16384);
#ifdef __SANITIZE_ADDRESS__
    // The address sanitizer reserves far more address space than the cap allows.
    GTEST_SKIP() << "no address-space cap under the address sanitizer";
#endif
    const int status = test::inChild([&] {
        const rlimit cap{std::uint64_t(2) << 30, std::uint64_t(2) << 30};
        ::setrlimit(RLIMIT_AS, &cap);
        ::_exit(outcome(bomb).rfind("7: Out of memory: " + bomb + ": the picture needs ", 0) == 0 ? 0 : 1);
    });
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace morv
