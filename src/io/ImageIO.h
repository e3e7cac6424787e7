#pragma once
#include <memory>
#include <string>
#include <vector>

#include "io/SafeWrite.h"
#include "engine/HeightImage.h"
#include "io/DecodedPicture.h"
#include "io/PictureEncode.h"
#include "io/PictureLimits.h"

namespace morv {

/// The kinds of picture file that can be read, each recognised by its content.
enum class PictureFileType { Bmp, Jpeg, Png, Tiff, Tga };

/// A loaded picture, the kind of file it came from and, for 16-bit grey, how its
/// samples became levels.
struct LoadedPicture {
    std::shared_ptr<HeightImage> image;
    PictureFileType type = PictureFileType::Bmp;
    std::optional<LevelMapping> mapping;
};

/// Loads a picture file as loadPictureFile does, of any kind it reads (BMP, JPEG,
/// PNG, TIFF, TGA), mapping 16-bit grey samples to levels by options.
LoadedPicture loadPicture(const std::string& path, const LevelOptions& options = {});

/// The extensions (lower case, without the dot) of the files a height map is
/// opened from: "bmp", "jpg", "jpeg", "png", "tif", "tiff", "tga".
const std::vector<std::string>& readableExtensions();

/// Whether the file name of path ends in one of the readable extensions, any case.
bool hasReadableExtension(const std::string& path);

/// The kind of picture file at path, from its first bytes; nothing when it is none
/// of those read (or cannot be read).
std::optional<PictureFileType> pictureFileTypeOf(const std::string& path);

/// The type Save writes a picture back as, by the kind of file it was read from:
/// PNG as 8-bit grey PNG (colour PNG for colour), anything else as 24-bit BMP.
PictureType saveTypeFor(PictureFileType type);

/// Loads a BMP (read by our own strict codec), JPEG (libjpeg), PNG, TIFF or
/// TGA file into a picture: grey pictures at one byte a pixel, others at four. Refuses what is not a
/// regular file, what is damaged or truncated, and what is too large, before any
/// large allocation. Throws RuntimeError: 53 file not found, 75 access errors
/// (permission denied, a folder, a FIFO...), 481 invalid picture, 7 out of memory,
/// each description naming the file and the reason.
std::shared_ptr<HeightImage> loadPictureFile(const std::string& path);

/// Refuses a contour image whose size differs from its height image's (481, naming
/// the contour file and both sizes).
void checkPairSizes(const HeightImage& height, const std::string& heightPath, const HeightImage& contour,
                    const std::string& contourPath);

/// One picture to write, as a 24-bit BMP file unless another type is asked for.
struct PictureWrite {
    const HeightImage* image;
    std::string path;
    PictureType type = PictureType::Bmp24;
};

/// Writes each picture in its type (whatever the name's extension) safely:
/// each is written to a temporary file in its target folder and checked; only when
/// every temporary is complete are they committed, as one set (see commitAll).
/// Every target is checked before any is touched (see checkTargets); with
/// Existing::Refuse an existing target throws TargetExists. On any failure no
/// target is changed and no temporary is left. Files given in alongside (a report
/// that belongs with the pictures) are written and committed in the same set.
/// Throws RuntimeError (53, 61, 75, 7 naming the file).
void savePictureFiles(const std::vector<PictureWrite>& writes, Existing existing = Existing::Replace,
                      const std::vector<FileContent>& alongside = {});

/// The same for one picture.
inline void savePictureFile(const HeightImage& image, const std::string& path,
                            PictureType type = PictureType::Bmp24) {
    savePictureFiles({PictureWrite{&image, path, type}});
}

}  // namespace morv
