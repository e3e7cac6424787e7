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
    for (int x = 0; x < 300; ++x) map.setPixel(x, 50, fcnGrayColor(x & 255));
    const std::string folder = dir.file("Ridge asset");
    const AssetFiles files = writeAssetFolder(map, folder, "Ridge_576x576_FB-4x4");
    EXPECT_EQ(files.image, "Ridge_576x576_FB-4x4.png");

    const LoadedPicture image = loadPicture(folder + "/" + files.image);
    EXPECT_EQ(image.type, PictureFileType::Png);
    EXPECT_EQ(*image.image, map);
    EXPECT_EQ(readFile(folder + "/" + files.image)[25], 0) << "8-bit grey";

    QImageReader thumb(QString::fromStdString(folder + "/thumbnail.jpg"));
    EXPECT_EQ(thumb.format().toStdString(), "jpeg");
    EXPECT_EQ(thumb.size(), QSize(240, 180));
    // 300 x 100 fits as 240 x 80, centred: black bands above and below.
    const QImage t = thumb.read();
    EXPECT_EQ(qGray(t.pixel(120, 5)), 0);
    EXPECT_GT(qGray(t.pixel(200, 90)), 100);

    const std::string config = readFile(folder + "/config.txt");
    for (const char* line : {"kuid                                    <kuid:YOUR-USER-ID:100001>\n",
                             "kind                                    \"groundbrush\"\n",
                             "trainz-build                            3.5\n",
                             "username                                \"Ridge_576x576_FB-4x4\"\n",
                             "displacement-bitmap                     \"Ridge_576x576_FB-4x4.png\"\n",
                             "    image                               \"thumbnail.jpg\"\n",
                             "    width                               240\n", "    height                              180\n"})
        EXPECT_NE(config.find(line), std::string::npos) << line;
}

TEST(AssetFolder, AGivenUserIdNeedsNoHandEdit) {
    test::TempDir dir;
    writeAssetFolder(HeightImage(4, 4), dir.path().string(), "Vale", AssetKuid{"414243", "100001"});
    const std::string config = readFile(dir.file("config.txt"));
    EXPECT_EQ(config.rfind("kuid                                    <kuid:414243:100001>\n", 0), 0u);
    EXPECT_EQ(config.find("YOUR-USER-ID"), std::string::npos);
    EXPECT_NE(config.find("description                             \"Height map made with Morv.\"\n"),
              std::string::npos);
    // Without one, the stand-in and the reminder stay as they always were.
    const std::string plain = assetConfig("Vale", "Vale.png");
    EXPECT_NE(plain.find("<kuid:YOUR-USER-ID:100001>"), std::string::npos);
    EXPECT_NE(plain.find("\"Height map made with Morv. Put your user id in the kuid before you import this folder.\""),
              std::string::npos);
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
