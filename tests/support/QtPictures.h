#pragma once
// Picture files written by Qt's image writers, for the loading tests.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QImageWriter>

#include <string>

namespace morv::test {

/// The bytes of image written in format ("png", "jpeg"...), at quality 95.
inline std::string qtPictureBytes(const QImage& image, const char* format, bool progressive = false) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(95), writer.setProgressiveScanWrite(progressive);
    EXPECT_TRUE(writer.write(image)) << writer.errorString().toStdString();
    return bytes.toStdString();
}

}  // namespace morv::test
