#include "engine/ImageIO.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <QtGlobal>

#include <chrono>
#include <fstream>
#include <future>
#include <sstream>

#include "core/RuntimeError.h"
#include "engine/BmpCodec.h"
#include "support/TestSupport.h"

namespace morv {
namespace {

using test::TempDir;

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeAll(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string bmpBytes(const HeightImage& image) {
    std::string out;
    writeBmp24(image, [&out](const void* d, std::size_t n) { out.append(static_cast<const char*>(d), n); });
    return out;
}

std::string jpegBytes(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, "JPEG", 95));
    return bytes.toStdString();
}

RuntimeError loadError(const std::string& path) {
    try {
        loadPictureFile(path);
    } catch (const RuntimeError& e) {
        return e;
    }
    ADD_FAILURE() << path << " loaded";
    return RuntimeError(0, "");
}

std::size_t entriesIn(const std::filesystem::path& folder) {
    return std::size_t(std::distance(std::filesystem::directory_iterator(folder), {}));
}

HeightImage pattern(int w, int h, bool colour) {
    HeightImage img(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) img.setPixel(x, y, fcnGrayColor((x * 7 + y * 3) & 255));
    if (colour) img.setPixel(w - 1, h - 1, 0x123456);
    return img;
}

TEST(LoadPicture, BmpFilesRoundTripThroughTheFileReader) {
    TempDir dir;
    // 1500 x 1200 at 24 bits is larger than a read chunk, so rows straddle chunk edges.
    for (const HeightImage& img : {pattern(5, 3, false), pattern(5, 3, true), pattern(1500, 1200, false)}) {
        savePictureFile(img, dir.file("p.bmp"));
        const auto loaded = loadPictureFile(dir.file("p.bmp"));
        EXPECT_EQ(loaded->isGrey(), img.isGrey());
        EXPECT_TRUE(*loaded == img);
    }
}

TEST(LoadPicture, ContentDecidesTheFormatNotTheName) {
    TempDir dir;
    writeAll(dir.file("bmp.jpg"), bmpBytes(pattern(3, 2, false)));
    EXPECT_TRUE(*loadPictureFile(dir.file("bmp.jpg")) == pattern(3, 2, false));
    QImage grey(8, 8, QImage::Format_Grayscale8);
    grey.fill(90);
    writeAll(dir.file("jpeg.bmp"), jpegBytes(grey));
    EXPECT_EQ(loadPictureFile(dir.file("jpeg.bmp"))->pixel(3, 3), fcnGrayColor(90));

    const std::pair<const char*, std::string> notPictures[] = {{"empty.bmp", ""}, {"text.bmp", "hello, just text"},
                                                               {"b.bmp", "B"}, {"gif.bmp", "GIF89a...."}};
    for (const auto& [name, bytes] : notPictures) {
        writeAll(dir.file(name), bytes);
        const RuntimeError e = loadError(dir.file(name));
        EXPECT_EQ(e.number(), err::InvalidPicture) << name;
        EXPECT_NE(e.description().find(dir.file(name) + ": "), std::string::npos);
        EXPECT_NE(e.description().find("not a BMP or JPEG picture"), std::string::npos) << e.description();
    }
}

TEST(LoadPicture, JpegsLoadIntoTheGreyPlaneWhenTheyCan) {
    TempDir dir;
    QImage grey(40, 30, QImage::Format_Grayscale8), greyRgb(40, 30, QImage::Format_RGB32), colour(40, 30, QImage::Format_RGB32);
    grey.fill(128), greyRgb.fill(qRgb(60, 60, 60)), colour.fill(qRgb(250, 0, 0));
    writeAll(dir.file("g.jpg"), jpegBytes(grey));
    writeAll(dir.file("gc.jpg"), jpegBytes(greyRgb));
    writeAll(dir.file("c.jpg"), jpegBytes(colour));
    const auto g = loadPictureFile(dir.file("g.jpg")), gc = loadPictureFile(dir.file("gc.jpg")),
               c = loadPictureFile(dir.file("c.jpg"));
    EXPECT_TRUE(g->isGrey());
    EXPECT_EQ(g->width(), 40);
    EXPECT_EQ(g->height(), 30);
    EXPECT_NEAR(fcnGrayLevel(g->pixel(20, 15)), 128, 2);
    EXPECT_TRUE(gc->isGrey());
    EXPECT_NEAR(fcnGrayLevel(gc->pixel(20, 15)), 60, 2);
    EXPECT_FALSE(c->isGrey());
    EXPECT_GT(c->pixel(20, 15) & 0xFF, 230);

    QByteArray progressive;
    QBuffer buffer(&progressive);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setProgressiveScanWrite(true);
    ASSERT_TRUE(writer.write(colour));
    writeAll(dir.file("p.jpg"), progressive.toStdString());
    EXPECT_GT(loadPictureFile(dir.file("p.jpg"))->pixel(5, 5) & 0xFF, 230);
}

TEST(LoadPicture, DamagedOrHugeJpegsAreRefusedAndLogHandlingIsRestored) {
    TempDir dir;
    QImage img(64, 64, QImage::Format_RGB32);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) img.setPixel(x, y, qRgb(x * 4, y * 4, (x ^ y) * 4));
    const std::string whole = jpegBytes(img);
    writeAll(dir.file("cut.jpg"), whole.substr(0, whole.size() / 2));
    std::string huge = whole;
    const auto sof = huge.find("\xFF\xC0");
    ASSERT_NE(sof, std::string::npos);
    huge[sof + 5] = huge[sof + 7] = char(0x9C), huge[sof + 6] = huge[sof + 8] = 0x40;  // 40000 x 40000
    writeAll(dir.file("huge.jpg"), huge);

    static std::vector<std::string> seen;
    seen.clear();
    const QtMessageHandler before =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& m) { seen.push_back(m.toStdString()); });
    const RuntimeError cut = loadError(dir.file("cut.jpg")), big = loadError(dir.file("huge.jpg"));
    qWarning("after");
    qInstallMessageHandler(before);

    EXPECT_EQ(cut.number(), err::InvalidPicture);
    EXPECT_NE(cut.description().find("damaged or truncated JPEG data"), std::string::npos) << cut.description();
    EXPECT_EQ(big.number(), err::InvalidPicture);
    EXPECT_NE(big.description().find("40000 x 40000"), std::string::npos) << big.description();
    EXPECT_EQ(seen, std::vector<std::string>{"after"});
}

TEST(LoadPicture, FileSystemProblemsGiveTheRightError) {
    TempDir dir;
    const std::string missing = dir.file("missing.bmp");
    const RuntimeError m = loadError(missing);
    EXPECT_EQ(m.number(), err::FileNotFound);
    EXPECT_EQ(m.description(), "File not found: " + missing + ": No such file or directory");

    const std::string fifo = dir.file("fifo.bmp");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto pending = std::async(std::launch::async, [&] { return loadError(fifo); });
    ASSERT_EQ(pending.wait_for(std::chrono::seconds(5)), std::future_status::ready) << "a FIFO blocked the load";
    for (const RuntimeError& e : {pending.get(), loadError(dir.path().string())}) {
        EXPECT_EQ(e.number(), err::PathFileAccess);
        EXPECT_NE(e.description().find("not a regular file"), std::string::npos) << e.description();
    }
}

TEST(LoadPicture, UnreadableFileIsAnAccessError) {
    TempDir dir;
    const std::string path = dir.file("locked.bmp");
    savePictureFile(pattern(2, 2, false), path);
    ASSERT_EQ(::chmod(path.c_str(), 0), 0);
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
    // Root reads anything: the load runs as an unprivileged user.
    const int number = test::asUnprivilegedUser([&] {
        try {
            loadPictureFile(path);
        } catch (const RuntimeError& e) {
            return e.description().find("Permission denied") != std::string::npos ? int(e.number()) : 201;
        }
        return 202;
    });
    if (number < 0) GTEST_SKIP() << "cannot drop to an unprivileged user";
    EXPECT_EQ(number, err::PathFileAccess);
}

class SavePictures : public ::testing::Test {
protected:
    TempDir dir;
    HeightImage grey = pattern(7, 5, false), colour = pattern(6, 4, true);
};

TEST_F(SavePictures, BothFilesLandWithExactBytes) {
    writeAll(dir.file("a.bmp"), "old content");
    savePictureFiles({{&grey, dir.file("a.bmp")}, {&colour, dir.file("b.jpg")}});
    EXPECT_EQ(readAll(dir.file("a.bmp")), bmpBytes(grey));
    EXPECT_EQ(readAll(dir.file("b.jpg")), bmpBytes(colour));
    EXPECT_EQ(entriesIn(dir.path()), 2u);
}

TEST_F(SavePictures, AFailedSecondWriteLeavesEverythingAsItWas) {
    writeAll(dir.file("a.bmp"), "old content");
    try {
        savePictureFiles({{&grey, dir.file("a.bmp")}, {&colour, dir.file("no/such/folder/b.bmp")}});
        ADD_FAILURE() << "saved";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), err::FileNotFound);
        EXPECT_NE(e.description().find("no/such/folder/b.bmp"), std::string::npos);
    }
    EXPECT_EQ(readAll(dir.file("a.bmp")), "old content");
    EXPECT_EQ(entriesIn(dir.path()), 1u);
}

TEST_F(SavePictures, EmptyPicturesAreRefusedBeforeAnythingIsWritten) {
    const HeightImage empty;
    EXPECT_THROW(savePictureFiles({{&grey, dir.file("a.bmp")}, {&empty, dir.file("b.bmp")}}), RuntimeError);
    EXPECT_EQ(entriesIn(dir.path()), 0u);
}

}  // namespace
}  // namespace morv
