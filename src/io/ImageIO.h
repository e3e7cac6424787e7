#pragma once
#include <memory>
#include <string>
#include <vector>

#include "engine/HeightImage.h"
#include "io/PictureLimits.h"

namespace morv {

/// Loads a BMP (read by our own strict codec) or JPEG (Qt's reader) file into a
/// picture: grey pictures at one byte a pixel, others at four. Refuses what is not a
/// regular file, what is damaged or truncated, and what is too large, before any
/// large allocation. Throws RuntimeError: 53 file not found, 75 access errors
/// (permission denied, a folder, a FIFO...), 481 invalid picture, 7 out of memory,
/// each description naming the file and the reason.
std::shared_ptr<HeightImage> loadPictureFile(const std::string& path);

/// One picture to write as a 24-bit BMP file.
struct PictureWrite {
    const HeightImage* image;
    std::string path;
};

/// Writes each picture as a 24-bit BMP file (whatever the name's extension) safely:
/// each is written to a temporary file in its target folder and checked; only when
/// every temporary is complete are they renamed into place. On any failure no
/// target is changed and no temporary is left. Throws RuntimeError (53, 61, 75).
void savePictureFiles(const std::vector<PictureWrite>& writes);

/// The same for one picture.
inline void savePictureFile(const HeightImage& image, const std::string& path) {
    savePictureFiles({PictureWrite{&image, path}});
}

}  // namespace morv
