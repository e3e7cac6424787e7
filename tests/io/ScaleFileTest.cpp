#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "io/ScaleFile.h"
#include "support/TestSupport.h"

namespace morv {
namespace {

MapScale sample() {
    MapScale s;
    s.pixelMetres = 5, s.levelMetres = 0.25, s.baseMetres = -12.5;
    return s;
}

TEST(ScaleFile, IsNamedFromTheMap) {
    EXPECT_EQ(scalePathFor("maps/Hills.bmp"), "maps/Hills.scale.json");
    EXPECT_EQ(scalePathFor("a.b/Vale.jpeg"), "a.b/Vale.scale.json");
    EXPECT_TRUE(isScaleFileName("maps/Hills.SCALE.json"));
    EXPECT_FALSE(isScaleFileName("maps/Hills.json"));
    EXPECT_FALSE(isScaleFileName("maps/.scale.json"));
}

TEST(ScaleFile, WritesAndReadsEveryValue) {
    test::TempDir dir;
    MapScale s = sample();
    s.crsWkt = "PROJCS[\"UTM 32N\"]";
    s.geoTransform = {500000, 5, 0, 5200000, 0, -5};
    writeScaleFile(dir.file("m.bmp"), s);
    const std::string text = test::readFile(dir.file("m.scale.json"));
    EXPECT_NE(text.find("\"levelMetres\": 0.25,\n"), std::string::npos) << text;
    EXPECT_EQ(readScaleFile(dir.file("m.png")), s);
    EXPECT_EQ(readScaleFile(dir.file("other.bmp")), std::nullopt);
    // Without a grid the file holds the three numbers alone.
    EXPECT_EQ(scaleFileText(sample()).find("crs"), std::string::npos);
    EXPECT_THROW(writeScaleFile(dir.file("m.bmp"), sample(), Existing::Refuse), TargetExists);
    EXPECT_EQ(readScaleFile(dir.file("m.bmp")), s);
}

TEST(ScaleFile, SaysWhatIsWrongWithAMalformedFile) {
    const std::pair<const char*, const char*> cases[] = {
        {"", "not JSON"},
        {"[1, 2]", "not a JSON object"},
        {R"({"pixelMetres": 5, "levelMetres": 1})", "\"baseMetres\" is missing"},
        {R"({"pixelMetres": "5", "levelMetres": 1, "baseMetres": 0})", "\"pixelMetres\" is not a number"},
        {R"({"pixelMetres": 5, "levelMetres": -1, "baseMetres": 0})", "\"levelMetres\" is negative"},
        {R"({"pixelMetres": 5, "levelMetres": 1, "baseMetres": 0, "geoTransform": [1, 2, 3]})",
         "\"geoTransform\" is not six numbers"},
        {R"({"pixelMetres": 5, "levelMetres": 1, "baseMetres": 0, "crs": 4})", "\"crs\" is not text"}};
    for (const auto& [text, why] : cases) {
        const std::string r = test::refusalOf([&] { parseScaleText(text, "m.scale.json"); });
        EXPECT_EQ(r.rfind(std::to_string(err::InvalidPicture) + ": m.scale.json is not a readable scale file: " + why, 0), 0u) << r;
    }
    // Heights below the sea are fine.
    EXPECT_DOUBLE_EQ(parseScaleText(R"({"pixelMetres": 5, "levelMetres": 1, "baseMetres": -20})", "x").baseMetres, -20);
}

TEST(ScaleFile, RefusesAFifoInsteadOfWaitingOnIt) {
    test::TempDir dir;
    ASSERT_EQ(::mkfifo(dir.file("m.scale.json").c_str(), 0600), 0);
    const std::string r = test::refusalOf([&] { readScaleFile(dir.file("m.bmp")); });
    EXPECT_NE(r.find("FIFO"), std::string::npos) << r;
}

TEST(ScaleFile, DropsOnlyAReadableScaleFile) {
    test::TempDir dir;
    writeScaleFile(dir.file("a.bmp"), sample());
    dropScaleFile(dir.file("a.bmp"));
    EXPECT_FALSE(std::filesystem::exists(dir.file("a.scale.json")));
    std::ofstream(dir.file("b.scale.json")) << "{ a typo";
    dropScaleFile(dir.file("b.bmp"));
    EXPECT_TRUE(std::filesystem::exists(dir.file("b.scale.json")));
}

}  // namespace
}  // namespace morv
