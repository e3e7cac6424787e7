#pragma once
#include <memory>
#include <string>
#include <vector>

#include "io/SafeWrite.h"
#include "engine/HeightImage.h"
#include "io/PictureLimits.h"

namespace morv {

/// Loads a BMP (read by our own strict codec) or JPEG (libjpeg) file into a
/// picture: grey pictures at one byte a pixel, others at four. Refuses what is not a
/// regular file, what is damaged or truncated, and what is too large, before any
/// large allocation. Throws RuntimeError: 53 file not found, 75 access errors
/// (permission denied, a folder, a FIFO...), 481 invalid picture, 7 out of memory,
/// each description naming the file and the reason.
std::shared_ptr<HeightImage> loadPictureFile(const std::string& path);

/// Refuses a contour image whose size differs from its height image's (481, naming
/// the contour file and both sizes).
void checkPairSizes(const HeightImage& height, const std::string& heightPath, const HeightImage& contour,
                    const std::string& contourPath);

/// One picture to write as a 24-bit BMP file.
struct PictureWrite {
    const HeightImage* image;
    std::string path;
};

/// Writes each picture as a 24-bit BMP file (whatever the name's extension) safely:
/// each is written to a temporary file in its target folder and checked; only when
/// every temporary is complete are they committed, as one set (see commitAll).
/// Every target is checked before any is touched (see checkTargets); with
/// Existing::Refuse an existing target throws TargetExists. On any failure no
/// target is changed and no temporary is left. Throws RuntimeError (53, 61, 75,
/// 7 naming the file).
void savePictureFiles(const std::vector<PictureWrite>& writes, Existing existing = Existing::Replace);

/// The same for one picture.
inline void savePictureFile(const HeightImage& image, const std::string& path) {
    savePictureFiles({PictureWrite{&image, path}});
}

}  // namespace morv
