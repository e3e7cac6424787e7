#include "io/AssetFolder.h"

#include <gtest/gtest.h>

#include <QImageReader>

#include "core/RuntimeError.h"
#include "io/ImageIO.h"
#include "support/TestSupport.h"

namespace morv {
namespace {

using test::readFile;

TEST(AssetFolder, HoldsTheImageAThumbnailAndItsConfig) {
    test::TempDir dir;
    HeightImage map(300, 100);
    for (int x = 0; x < 300; ++x) map.setPixel(x, 50, fcnGrayColor(x & 255)), map.setPixel(x, 60, fcnGrayColor(127));
    const std::string folder = dir.file("Ridge asset");
    const AssetFiles files = writeAssetFolder(map, folder, "Ridge_576x576_FB-4x4", {{}, 100, 0});
    EXPECT_EQ(files.image, "Ridge_576x576_FB-4x4.png");

    // Level 100 is the ground: it becomes 127, and the map's 0..255, reaching 155
    // above it, are pressed by 128 / 155 to fit.
    const LoadedPicture image = loadPicture(folder + "/" + files.image);
    EXPECT_EQ(image.type, PictureFileType::Png);
    EXPECT_DOUBLE_EQ(files.squeeze, 128.0 / 155);
    EXPECT_EQ(image.image->pixel(100, 50), fcnGrayColor(127));
    EXPECT_EQ(image.image->pixel(255, 50), fcnGrayColor(255));
    EXPECT_EQ(image.image->pixel(0, 0), fcnGrayColor(44)) << "127 - round(100 x 128 / 155)";
    EXPECT_EQ(image.image->pixel(0, 60), fcnGrayColor(149)) << "127 + round(27 x 128 / 155)";
    EXPECT_EQ(readFile(folder + "/" + files.image)[25], 0) << "8-bit grey";

    QImageReader thumb(QString::fromStdString(folder + "/thumbnail.jpg"));
    EXPECT_EQ(thumb.format().toStdString(), "jpeg");
    EXPECT_EQ(thumb.size(), QSize(240, 180));
    // 300 x 100 fits as 240 x 80, centred: black bands above and below.
    const QImage t = thumb.read();
    EXPECT_EQ(qGray(t.pixel(120, 5)), 0);
    EXPECT_GT(qGray(t.pixel(200, 90)), 100);

    const std::string config = readFile(folder + "/config.txt");
    for (const std::string& line : std::vector<std::string>{"kuid                                    <kuid:YOUR-USER-ID:" + contentIdFor("Ridge_576x576_FB-4x4") + ">\n",
                             "kind                                    \"groundbrush\"\n",
                             "trainz-build                            3.5\n",
                             "username                                \"Ridge_576x576_FB-4x4\"\n",
                             "displacement-bitmap                     \"Ridge_576x576_FB-4x4.png\"\n",
                             "    image                               \"thumbnail.jpg\"\n",
                             "    width                               240\n", "    height                              180\n"})
        EXPECT_NE(config.find(line), std::string::npos) << line;
    EXPECT_NE(config.find("Level 127 was the map's ground level 100."), std::string::npos) << config;
    EXPECT_NE(config.find("pressed to 82.581 % of their distance"), std::string::npos) << config;
}

TEST(AssetFolder, TheGroundBecomesTheNeutralLevel) {
    // A map all at its ground, written whole: CliFormats.TheAssetHoldsItsGroundAtTheNeutralLevel.
    // level0, level255, levelGround1: the brush's levels for 0, 255 and ground + 1
    struct Case { int ground, low, high; double squeeze; int level0, level255, levelGround1; };
    for (const Case c : {Case{90, 0, 200, 1.0, 37, 255, 128}, Case{0, 0, 255, 128.0 / 255, 127, 255, 128},
                         Case{255, 0, 255, 127.0 / 255, 0, 127, 127}, Case{200, 60, 220, 127.0 / 140, 0, 177, 128},
                         Case{127, 0, 255, 1.0, 0, 255, 128}}) {
        const BrushLevels b = brushLevels(c.ground, c.low, c.high);
        EXPECT_DOUBLE_EQ(b.squeeze, c.squeeze) << c.ground;
        EXPECT_EQ(b.level[std::size_t(c.ground)], 127) << c.ground;
        EXPECT_EQ(b.level[0], c.level0) << c.ground;
        EXPECT_EQ(b.level[255], c.level255) << c.ground;
        if (c.ground < 255) {
            EXPECT_EQ(b.level[std::size_t(c.ground + 1)], c.levelGround1) << c.ground;
        }
    }
}

TEST(AssetFolder, TheDescriptionTellsTheMetresOfALevel) {
    AssetBrush brush{{"414243", "7"}, 96, 0.25};
    EXPECT_EQ(brushDescription(brush, 1),
              "Ground brush made with Morv from a height map. Where the brush is above level 127 it raises the ground, "
              "where below it lowers it, by as much as the scale chosen when it is applied. Level 127 was the map's "
              "ground level 96. One level stood for 0.25 m in the map.");
    const std::string squeezed = brushDescription(brush, 0.5);
    EXPECT_NE(squeezed.find(" One level stood for 0.5 m in the map. The map's heights were pressed to 50 % of"),
              std::string::npos) << squeezed;
    brush.levelMetres = 0;
    EXPECT_EQ(brushDescription(brush, 1).find(" m in the map"), std::string::npos) << "unknown: not told";
}

TEST(AssetFolder, AGivenUserIdNeedsNoHandEdit) {
    test::TempDir dir;
    writeAssetFolder(HeightImage(4, 4), dir.path().string(), "Vale", {AssetKuid{"414243", "100001"}, 127, 0});
    const std::string config = readFile(dir.file("config.txt"));
    EXPECT_EQ(config.rfind("kuid                                    <kuid:414243:100001>\n", 0), 0u);
    EXPECT_EQ(config.find("YOUR-USER-ID"), std::string::npos);
    // Without one, the stand-in and the reminder; the content id comes from the name.
    const std::string plain = assetConfig("Vale", "Vale.png", {}, brushDescription({}, 1));
    EXPECT_NE(plain.find("<kuid:YOUR-USER-ID:" + contentIdFor("Vale") + ">"), std::string::npos);
    EXPECT_NE(plain.find(" Put your user id in the kuid before you import this folder.\"\n"), std::string::npos);
    EXPECT_EQ(contentIdFor("Vale"), "291937") << "a name keeps its id from one version to the next";
    EXPECT_NE(contentIdFor("Vale"), contentIdFor("Vale2"));
}

TEST(AssetFolder, KuidsItReads) {
    AssetKuid kuid;
    EXPECT_EQ(readKuid("414243:0", kuid), "");
    EXPECT_EQ(kuid.user, "414243");
    EXPECT_EQ(kuid.content, "0");
    EXPECT_EQ(readKuid("414243", kuid), "The kuid is written USER:CONTENT, two whole numbers.");
    EXPECT_EQ(readKuid("0:5", kuid), "The user id must be a whole number from 1 to 2147483647.");
    for (const char* bad : {"5:", "5:-1", "5:07", "5:2147483648", "5:1:2"})
        EXPECT_EQ(readKuid(bad, kuid), "The content id must be a whole number from 0 to 2147483647.") << bad;
    EXPECT_EQ(kuid.content, "0") << "a refused kuid changes nothing";
}

TEST(AssetFolder, UserIdsAndNamesItRefuses) {
    for (const char* good : {"1", "414243", "2147483647"}) EXPECT_EQ(userIdProblem(good), "") << good;
    for (const char* bad : {"", "0", "0414", "-5", "+5", "12a", " 12", "2147483648", "9999999999", "10000000000"})
        EXPECT_EQ(userIdProblem(bad), "The user id must be a whole number from 1 to 2147483647.") << bad;
    for (const char* good : {"Vale", "hills_300x200_MF-60_B-0", "a.b"}) EXPECT_EQ(assetNameProblem(good), "") << good;
    EXPECT_EQ(assetNameProblem(""), "The asset needs a name.");
    EXPECT_EQ(assetNameProblem(".hidden"), "The asset's name cannot begin with a dot.");
    for (const char* bad : {"up/down", "back\\slash", "say \"hi\"", "tab\there"})
        EXPECT_EQ(assetNameProblem(bad), "The asset's name cannot hold / \\ \" or control characters.") << bad;
}

TEST(AssetFolder, ChangesNothingWhenItCannotWrite) {
    test::TempDir dir;
    test::writeBytes(dir.file("taken"), "a file, not a folder");
    EXPECT_THROW(writeAssetFolder(HeightImage(4, 4), dir.file("taken"), "x"), RuntimeError);
    EXPECT_EQ(readFile(dir.file("taken")), "a file, not a folder");
}

}  // namespace
}  // namespace morv
