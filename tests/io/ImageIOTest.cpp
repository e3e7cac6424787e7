#include "io/ImageIO.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <tuple>

#include "core/RuntimeError.h"
#include "support/QtPictures.h"
#include "support/TestSupport.h"

namespace morv {
namespace {

using test::bmp24Bytes;
using test::entryCount;
using test::patternImage;
using test::writeBytes;

std::string jpegBytes(const QImage& image, bool progressive = false) { return test::qtPictureBytes(image, "jpeg", progressive); }

TEST(LoadPicture, ContentDecidesFormatJpegsUseGreyPlane) {
    test::TempDir dir;
    // 1500 x 1200 at 24 bits is larger than a read chunk, so rows straddle chunk edges.
    for (const HeightImage& img : {patternImage(5, 3, false), patternImage(5, 3, true), patternImage(1500, 1200, false)}) {
        writeBytes(dir.file("p.jpg"), bmp24Bytes(img));
        const auto loaded = loadPictureFile(dir.file("p.jpg"));
        EXPECT_EQ(loaded->isGrey(), img.isGrey());
        EXPECT_EQ(*loaded, img);
    }
    QImage grey(40, 30, QImage::Format_Grayscale8), greyRgb(40, 30, QImage::Format_RGB32), red(40, 30, QImage::Format_RGB32);
    grey.fill(128), greyRgb.fill(qRgb(60, 60, 60)), red.fill(qRgb(250, 0, 0));
    const std::tuple<std::string, bool, int> jpegs[] = {  // the file, whether grey, its red level
        {jpegBytes(grey), true, 128}, {jpegBytes(greyRgb), true, 60}, {jpegBytes(red), false, 250}, {jpegBytes(red, true), false, 250}};
    for (const auto& [bytes, isGrey, level] : jpegs) {
        writeBytes(dir.file("j.bmp"), bytes);
        const auto loaded = loadPictureFile(dir.file("j.bmp"));
        EXPECT_EQ(std::tuple(loaded->isGrey(), loaded->width(), loaded->height()), std::tuple(isGrey, 40, 30));
        EXPECT_NEAR(loaded->pixel(20, 15) & 0xFF, level, isGrey ? 2 : 20);
    }
}

TEST(LoadPicture, RefusesUnreadableFilesWithoutHanging) {
    test::TempDir dir;
    QImage img(64, 64, QImage::Format_RGB32);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) img.setPixel(x, y, qRgb(x * 4, y * 4, (x ^ y) * 4));
    const std::string whole = jpegBytes(img);
    const std::string missing = dir.file("missing.bmp"), notPicture = "not a BMP, JPEG, PNG, TIFF or TGA picture";
    const std::tuple<std::string, std::string, int, std::string> cases[] = {  // name, content, error, reason
        {"missing.bmp", "", err::FileNotFound, "File not found: " + missing + ": No such file or directory"},
        {"", "", err::PathFileAccess, "not a regular file"}, {"fifo.bmp", "", err::PathFileAccess, "not a regular file"},
        {"empty.bmp", "", err::InvalidPicture, notPicture}, {"text.bmp", "hello, just text", err::InvalidPicture, notPicture},
        {"b.bmp", "B", err::InvalidPicture, notPicture}, {"gif.bmp", "GIF89a....", err::InvalidPicture, notPicture},
        {"cut.jpg", whole.substr(0, whole.size() / 2), err::InvalidPicture, "damaged or truncated JPEG data"}};
    for (const auto& [name, bytes, number, reason] : cases)
        if (!name.empty() && name != "missing.bmp" && name != "fifo.bmp") writeBytes(dir.file(name), bytes);
    ASSERT_EQ(::mkfifo(dir.file("fifo.bmp").c_str(), 0600), 0);
    static std::vector<std::string> seen;
    const QtMessageHandler before =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& m) { seen.push_back(m.toStdString()); });
    auto pending = std::async(std::launch::async, [&] {
        for (const auto& [name, bytes, number, reason] : cases) {
            const std::string path = name.empty() ? dir.path().string() : dir.file(name), r = test::refusalOf([&] { loadPictureFile(path); });
            EXPECT_TRUE(r.starts_with(std::to_string(number) + ": ")) << r;
            EXPECT_NE(r.find(path + ": "), r.npos) << r;
            EXPECT_NE(r.find(reason), r.npos) << r;
        }
    });
    ASSERT_EQ(pending.wait_for(std::chrono::seconds(120)), std::future_status::ready) << "a FIFO blocked the load";
    qWarning("after");
    qInstallMessageHandler(before);
    EXPECT_EQ(seen, std::vector<std::string>{"after"}) << "the JPEG reader's complaints stay quiet";

    const std::string locked = dir.file("locked.bmp");  // root reads anything: this load runs unprivileged
    writeBytes(locked, bmp24Bytes(patternImage(2, 2, false)));
    ASSERT_EQ(::chmod(locked.c_str(), 0), 0);
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
    const int number = test::asUnprivilegedUser([&] {
        const std::string r = test::refusalOf([&] { loadPictureFile(locked); });
        return r.find("Permission denied") != std::string::npos ? std::stoi(r) : 201;
    });
    if (number < 0) GTEST_SKIP() << "cannot drop to an unprivileged user";
    EXPECT_EQ(number, err::PathFileAccess) << "an unreadable file";
}

TEST(SavePictures, WritesExactBytesOrLeavesEverythingAsItWas) {
    test::TempDir dir;
    const HeightImage grey = patternImage(7, 5, false), colour = patternImage(6, 4, true), empty;
    writeBytes(dir.file("a.bmp"), "old content");
    EXPECT_THROW(savePictureFiles({{&grey, dir.file("a.bmp")}, {&empty, dir.file("b.bmp")}}), RuntimeError);
    try {
        savePictureFiles({{&grey, dir.file("a.bmp")}, {&colour, dir.file("no/such/folder/b.bmp")}});
        ADD_FAILURE() << "saved";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), err::FileNotFound);
        EXPECT_NE(e.description().find("no/such/folder/b.bmp"), std::string::npos);
    }
    EXPECT_EQ(test::readFile(dir.file("a.bmp")), "old content");
    EXPECT_EQ(entryCount(dir.path()), 1u) << "no temporary is left";
    savePictureFiles({{&grey, dir.file("a.bmp")}, {&colour, dir.file("b.jpg")}});
    EXPECT_EQ(test::readFile(dir.file("a.bmp")), bmp24Bytes(grey));
    EXPECT_EQ(test::readFile(dir.file("b.jpg")), bmp24Bytes(colour));
    EXPECT_EQ(entryCount(dir.path()), 2u);
}

}  // namespace
}  // namespace morv
