// The files Morv writes, read by other programs: Qt, PIL (Debian's python3-pil)
// and ImageMagick must all find exactly the levels that were written.
#include <gtest/gtest.h>

#include <QImage>

#include <cstdio>
#include <string>

#include "io/ImageIO.h"
#include "io/PictureEncode.h"
#include "support/TestSupport.h"

namespace morv {
namespace {

std::string run(const std::string& command) {
    std::string out;
    FILE* p = ::popen(command.c_str(), "r");
    if (!p) return out;
    char buf[65536];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
    EXPECT_EQ(::pclose(p), 0) << command;
    return out;
}

TEST(Interop, QtPilAndImageMagickReadTheLevelsWritten) {
    test::TempDir dir;
    // Every level once, in a width that needs row padding in a BMP.
    HeightImage map(19, 14);
    for (int i = 0; i < 19 * 14; ++i) map.grey()[i] = std::uint8_t((i * 37) & 255);
    const std::string levels(reinterpret_cast<const char*>(map.grey()), std::size_t(map.pixelCount()));

    for (PictureType type : {PictureType::Bmp8, PictureType::Png8, PictureType::Bmp24}) {
        const std::string path = dir.file("map." + writtenExtension(type) + std::to_string(int(type)));
        savePictureFile(map, path, type);

        const QImage q = QImage(QString::fromStdString(path), writtenExtension(type).c_str()).convertToFormat(QImage::Format_Grayscale8);
        std::string qt;
        for (int y = 0; y < q.height(); ++y) qt.append(reinterpret_cast<const char*>(q.constScanLine(y)), std::size_t(q.width()));
        EXPECT_EQ(qt, levels) << "Qt, " << path;

        const std::string pil = run("/usr/bin/python3 -c \"import sys; from PIL import Image; "
                                    "sys.stdout.buffer.write(Image.open(sys.argv[1]).convert('L').tobytes())\" '" +
                                    path + "'");
        EXPECT_EQ(pil, levels) << "PIL, " << path;

        const std::string magick = run("/usr/bin/convert '" + writtenExtension(type) + ":" + path + "' -depth 8 gray:-");
        EXPECT_EQ(magick, levels) << "ImageMagick, " << path;
        if (type != PictureType::Bmp24) {
            EXPECT_EQ(run("/usr/bin/identify -format '%[type] %z' '" + writtenExtension(type) + ":" + path + "'"), "Grayscale 8")
                << path;
        }
    }
}

}  // namespace
}  // namespace morv
