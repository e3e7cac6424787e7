// Placeholder until the strict codec lands: QImage-based loading and writing.
#include "engine/ImageIO.h"

#include <QImage>
#include <QString>

#include "core/RuntimeError.h"

namespace morv {

std::shared_ptr<HeightImage> loadPictureFile(const std::string& path) {
    QImage img(QString::fromStdString(path));
    if (img.isNull()) throw pictureError(path, "not a readable picture");
    img = img.convertToFormat(QImage::Format_RGB32);
    auto out = std::make_shared<HeightImage>(img.width(), img.height());
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QRgb p = img.pixel(x, y);
            out->setPixel(x, y, qRed(p) + 256 * qGreen(p) + 65536 * qBlue(p));
        }
    return out;
}

void savePictureFiles(const std::vector<PictureWrite>& writes) {
    for (const auto& w : writes) {
        QImage img(w.image->width(), w.image->height(), QImage::Format_RGB888);
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) {
                const Colour c = w.image->pixel(x, y);
                img.setPixel(x, y, qRgb(c & 255, (c >> 8) & 255, (c >> 16) & 255));
            }
        if (!img.save(QString::fromStdString(w.path), "BMP")) throw RuntimeError(err::PathFileAccess);
    }
}

}  // namespace morv
