#include <gtest/gtest.h>

#include "io/Files.h"
#include "engine/BoardFit.h"
#include "engine/ResultName.h"
#include "support/TestSupport.h"

namespace morv {
namespace {

TEST(ResultName, CodesFollowTheControls) {
    struct Case {
        const char* image;
        int w, h;
        TerrainControls c;
        const char* expected;
    };
    const TerrainControls flatten50{.flattenTicked = true, .mountainsValue = 50};
    const TerrainControls scaleInvert{.fillTicked = true, .valleyMode = ValleyMode::Invert, .scaleUpTagged = true,
                                      .mountainsValue = 30, .valleysValue = 100, .blurValue = 4};
    const TerrainControls lowerScale{
        .flattenTicked = true, .mountainMode = MountainMode::Lower, .scaleUpTagged = true, .mountainsValue = 20};
    const Case cases[] = {
        {"/maps/hills.jpg", 1024, 512, flatten50, "/maps/hills_1024x512_MF-50_B-0.bmp"},
        {"/maps/hills.jpg", 1024, 512, scaleInvert, "/maps/hills_1024x512_MSU-30_VI-100_B-4.bmp"},
        {"/maps/hills.jpg", 1024, 512, lowerScale, "/maps/hills_1024x512_ML-20_B-0.bmp"},
        {"/maps/photo.jpeg", 8, 8, flatten50, "/maps/photo_8x8_MF-50_B-0.bmp"},
        {"/maps/Vale.tiff", 8, 8, flatten50, "/maps/Vale_8x8_MF-50_B-0.bmp"},
        {"/maps.v2/noext", 8, 8, flatten50, "/maps.v2/noext_8x8_MF-50_B-0.bmp"},
        {"/maps/a.b", 8, 8, flatten50, "/maps/a_8x8_MF-50_B-0.bmp"},
        {"/maps/hills_1024x512_MF-50_B-0.bmp", 1024, 512, flatten50,
         "/maps/hills_1024x512_MF-50_B-0_1024x512_MF-50_B-0.bmp"},
    };
    for (const Case& c : cases) {
        std::string ext = "jpg";
        EXPECT_EQ(resultName(c.image, c.w, c.h, c.c, ext), c.expected);
        EXPECT_EQ(ext, "bmp");
    }
}

TEST(ResultName, EveryCodeIsWrittenFromTheTable) {
    const std::pair<ResultCode, const char*> cases[] = {
        {ResultCode::Size, "_12x7"},      {ResultCode::ScaleUp, "_MSU-12"}, {ResultCode::Flatten, "_MF-12"},
        {ResultCode::Lower, "_ML-12"},    {ResultCode::Fill, "_VF-12"},     {ResultCode::Invert, "_VI-12"},
        {ResultCode::Blur, "_B-12"},      {ResultCode::Boards, "_FB-12x7"}, {ResultCode::Boards10, "_FB10-12x7"},
    };
    ASSERT_EQ(std::size(cases), kResultCodes.size());
    for (const auto& [code, text] : cases) EXPECT_EQ(codeText(code, 12, 7), text);
}

TEST(ResultName, CodesAreReadBackInTheirPlacesOnly) {
    const std::pair<const char*, bool> cases[] = {
        {"_576x432_B-0", true}, {"_576x432_MSU-30_B-0", true}, {"_576x432_MF-40_B-0", true}, {"_576x432_ML-20_B-0", true},
        {"_576x432_VF-5_B-48", true}, {"_576x432_VI-100_B-4", true}, {"_576x432_MF-40_B-0_FB-4x3", true},
        {"_649x505_ML-60_VI-9_B-2_FB10-9x7", true},
        // No blur, no size, half a size; valleys before mountains, the fit before the
        // blur, two codes in one place; a fit of one number, no such grid.
        {"_576x432_MF-40", false}, {"_MF-40_B-0", false}, {"_576_B-0", false}, {"_576x432_VF-5_ML-20_B-0", false},
        {"_576x432_FB-4x3_B-0", false}, {"_576x432_MF-40_MF-40_B-0", false}, {"_576x432_B-0_FB-4x3_FB10-4x3", false},
        {"_576x432_B-0_FB-4", false}, {"_576x432_B-0_FB10-x3", false}, {"_576x432_B-0_FB12-4x3", false},
        {"_576x432_B-0CL", false}, {"_576x432_MF-_B-0", false},
    };
    for (const auto& [codes, result] : cases) EXPECT_EQ(isResultCodes(codes), result) << codes;
}

TEST(ResultName, AFitTagReadsBackAsAResult) {
    const TerrainControls flatten{.flattenTicked = true, .mountainsValue = 40};
    std::string ext;
    const std::string name = resultName("/maps/Hills.bmp", 576, 432, flatten, ext);
    for (BoardGrid grid : {BoardGrid::FiveMetre, BoardGrid::TenMetre}) {
        const std::string fitted = withFitAndExtension(name, boardFitTag(grid, 4, 3), "png");
        const std::string codes = fitted.substr(std::string("/maps/Hills").size());
        EXPECT_TRUE(isResultCodes(codes.substr(0, codes.size() - 4))) << fitted;
    }
}

TEST(ContourName, CLGoesBeforeTheExtensionWhateverItsLength) {
    const std::pair<std::string, std::string> cases[] = {
        {"/Terrain/Ridge.bmp", "/Terrain/RidgeCL.bmp"}, {"/Terrain/Ridge.jpg", "/Terrain/RidgeCL.jpg"},
        {"/Terrain/Vale.jpeg", "/Terrain/ValeCL.jpeg"}, {"out.tiff", "outCL.tiff"},
        {"noext", "noextCL"},                           {"a.b", "aCL.b"},
        {"maps.v2/Ridge", "maps.v2/RidgeCL"},           {"a.b.bmp", "a.bCL.bmp"},
    };
    for (const auto& [map, contour] : cases) EXPECT_EQ(contourPathFor(map), contour) << map;
}

TEST(FileExists, OrdinaryFilesOnly) {
    test::TempDir dir;
    test::TestApp t;
    test::writeBytes(dir.file("Ridge.bmp"), "");
    test::writeBytes(dir.file(".hidden.bmp"), "");
    std::filesystem::create_directory(dir.path() / "folder.bmp");
    // A hidden file (its name begins with a dot) is a file; a wildcard passes it by.
    const std::pair<const char*, bool> cases[] = {
        {"Ridge.bmp", true}, {"RidgeCL.bmp", false}, {"folder.bmp", false}, {".hidden.bmp", true}, {"*hidden.bmp", false},
        {"R*.bmp", true},    {"Ridge.?mp", true},    {"*.jpg", false},      {"fold*", false},
    };
    for (const auto& [name, exists] : cases) EXPECT_EQ(fileExists(t.app, dir.file(name)), exists) << name;
    EXPECT_FALSE(fileExists(t.app, ""));
    EXPECT_EQ(t.app.session.gintTraceDepth, 0);
}

}  // namespace
}  // namespace morv
