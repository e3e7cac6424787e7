#include "io/ImageIO.h"

#include <exception>
#include <thread>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>


#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>

#include "core/RuntimeError.h"
#include "engine/FileNames.h"
#include "io/BmpCodec.h"
#include "io/JpegDecoder.h"
#include "io/PngCodec.h"
#include "io/TgaCodec.h"
#include "io/TiffCodec.h"
#include "io/PictureLimits.h"
#include "io/PictureSize.h"
#include "io/SafeWrite.h"

namespace morv {

void checkPictureSize(const std::string& path, std::int64_t width, std::int64_t height) {
    if (width <= 0 || height <= 0) throw pictureError(path, "the picture has no pixels");
    if (width > kMaxPictureSide || height > kMaxPictureSide || width * height > kMaxPictureArea)
        throw pictureError(path, std::to_string(width) + " x " + std::to_string(height) +
                                     " pixels is beyond the size limits (" + std::to_string(kMaxPictureSide) + " pixels a side, " +
                                     std::to_string(kMaxPictureAreaSide) + " x " + std::to_string(kMaxPictureAreaSide) +
                                     " in all)");
}

void checkPictureMemory(const std::string& path, std::uint64_t need, std::uint64_t budget) {
    if (need > budget) throw beyondBudgetError(path, need, budget);
}

std::uint64_t pictureMemoryBudget() {
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    std::uint64_t budget = std::numeric_limits<std::uint64_t>::max();
    if (pages > 0 && pageSize > 0) budget = std::uint64_t(pages) * std::uint64_t(pageSize) / 2;
    // Under an address-space cap (ulimit -v) half of the cap is what a picture may take.
    struct rlimit cap {};
    if (::getrlimit(RLIMIT_AS, &cap) == 0 && cap.rlim_cur != RLIM_INFINITY) budget = std::min<std::uint64_t>(budget, cap.rlim_cur / 2);
    return budget;
}

namespace {


RuntimeError accessError(const std::string& path, const std::string& reason) {
    return RuntimeError(err::PathFileAccess,
                        RuntimeError::standardDescription(err::PathFileAccess) + ": " + path + ": " + reason);
}

class FileHandle {
public:
    explicit FileHandle(int fd) noexcept : m_fd(fd) {}
    ~FileHandle() {
        if (m_fd >= 0) ::close(m_fd);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    int get() const noexcept { return m_fd; }

private:
    int m_fd;
};

HeightImage loadJpeg(int fd, const std::string& path, std::uint64_t budget) {
    // The header alone says what the picture costs: refused from there before any
    // pixel is decoded, and decoded with the budget in force.
    JpegReader reader(fd, path);
    checkPictureSize(path, reader.width(), reader.height());
    checkPictureMemory(path, reader.memoryNeeded(), budget);
    return reader.decode(budget);
}

std::optional<PictureFileType> sniff(const std::uint8_t* magic, std::size_t n, std::uint64_t length) {
    if (n >= 2 && magic[0] == 'B' && magic[1] == 'M') return PictureFileType::Bmp;
    if (n >= 3 && magic[0] == 0xFF && magic[1] == 0xD8 && magic[2] == 0xFF) return PictureFileType::Jpeg;
    if (hasPngSignature(magic, n)) return PictureFileType::Png;
    if (hasTiffSignature(magic, n)) return PictureFileType::Tiff;
    if (looksLikeTga(magic, n, length)) return PictureFileType::Tga;
    return std::nullopt;
}

std::size_t readMagic(int fd, const std::string& path, std::uint8_t (&magic)[18]) {
    ssize_t got;
    do got = ::pread(fd, magic, sizeof magic, 0);
    while (got < 0 && errno == EINTR);
    if (got < 0) throw fileError(path, errno);
    return std::size_t(got);
}

LoadedPicture loadOpenFile(int fd, const std::string& path, std::uint64_t length, const LevelOptions& options) {
    std::uint8_t magic[18] = {};
    const std::size_t n = readMagic(fd, path, magic);
    FileSource source(fd, path, length);
    auto type = sniff(magic, n, length);
    // TGA has no signature: a file marked as one is decoded as one, and refused for
    // what is wrong with its header.
    if (!type && length > 0 && isMarkedTga(path, source)) type = PictureFileType::Tga;
    if (!type)
        throw pictureError(path, length == 0 ? "the file is empty, not a BMP, JPEG, PNG, TIFF or TGA picture"
                                             : "not a BMP, JPEG, PNG, TIFF or TGA picture");
    LoadedPicture out;
    out.type = *type;
    const std::uint64_t budget = pictureMemoryBudget();
    switch (*type) {
    case PictureFileType::Bmp: out.image = std::make_shared<HeightImage>(decodeBmp(source, path, budget)); break;
    case PictureFileType::Jpeg: out.image = std::make_shared<HeightImage>(loadJpeg(fd, path, budget)); break;
    case PictureFileType::Tga: out.image = std::make_shared<HeightImage>(decodeTga(source, path, budget)); break;
    case PictureFileType::Png:
    case PictureFileType::Tiff: {
        DecodedPicture d = *type == PictureFileType::Png ? decodePng(source, path, options, budget)
                                                         : decodeTiff(source, path, options, budget);
        out.image = std::make_shared<HeightImage>(std::move(d.image));
        out.mapping = d.mapping;
        break;
    }
    }
    return out;
}

}  // namespace

LoadedPicture loadPicture(const std::string& path, const LevelOptions& options) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) throw fileError(path, errno);
    if (!S_ISREG(st.st_mode)) throw accessError(path, notRegularFileReason(st.st_mode));
    FileHandle file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (file.get() < 0) throw fileError(path, errno);
    if (::fstat(file.get(), &st) != 0) throw fileError(path, errno);
    if (!S_ISREG(st.st_mode)) throw accessError(path, notRegularFileReason(st.st_mode));
    try {
        return loadOpenFile(file.get(), path, std::uint64_t(st.st_size), options);
    } catch (const std::bad_alloc&) {
        throw outOfMemoryError(path, "not enough memory for the picture");
    }
}

std::optional<PictureSize> declaredPictureSize(const std::string& path) {
    try {
        FileHandle file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
        struct stat st {};
        if (file.get() < 0 || ::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
        std::uint8_t magic[18] = {};
        const std::size_t n = readMagic(file.get(), path, magic);
        const auto type = sniff(magic, n, std::uint64_t(st.st_size));
        if (!type) return std::nullopt;
        FileSource source(file.get(), path, std::uint64_t(st.st_size));
        PictureSize size;
        switch (*type) {
        case PictureFileType::Bmp: {
            const BmpHeader h = readBmpHeader(source, path);
            size = {h.width, h.height};
            break;
        }
        case PictureFileType::Jpeg: {
            const JpegReader reader(file.get(), path);
            size = {reader.width(), reader.height()};
            break;
        }
        case PictureFileType::Png: {
            // The first chunk, IHDR, holds the width and height (big-endian).
            const auto b = source.fetch(8, 16);
            if (b.size() < 16 || std::memcmp(b.data() + 4, "IHDR", 4) != 0) return std::nullopt;
            auto be32 = [&](std::size_t at) {
                return std::uint32_t(b[at]) << 24 | std::uint32_t(b[at + 1]) << 16 | std::uint32_t(b[at + 2]) << 8 | b[at + 3];
            };
            if (be32(8) > std::uint32_t(kMaxPictureSide) || be32(12) > std::uint32_t(kMaxPictureSide)) return std::nullopt;
            size = {int(be32(8)), int(be32(12))};
            break;
        }
        case PictureFileType::Tiff: {
            const auto [w, h] = readTiffSize(source, path);
            size = {w, h};
            break;
        }
        case PictureFileType::Tga: size = {magic[12] | magic[13] << 8, magic[14] | magic[15] << 8}; break;
        }
        if (size.width <= 0 || size.height <= 0) return std::nullopt;
        return size;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

void checkPairSizes(const HeightImage& height, const std::string& heightPath, const HeightImage& contour,
                    const std::string& contourPath) {
    if (contour.width() == height.width() && contour.height() == height.height()) return;
    throw pictureError(contourPath, "the contour image is " + std::to_string(contour.width()) + " x " +
                                        std::to_string(contour.height()) + " pixels but its height image " + heightPath +
                                        " is " + std::to_string(height.width()) + " x " + std::to_string(height.height()));
}

std::shared_ptr<HeightImage> loadPictureFile(const std::string& path) { return loadPicture(path).image; }

std::optional<PictureFileType> pictureFileTypeOf(const std::string& path) {
    FileHandle file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat st {};
    if (file.get() < 0 || ::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    std::uint8_t magic[18] = {};
    try {
        return sniff(magic, readMagic(file.get(), path, magic), std::uint64_t(st.st_size));
    } catch (const RuntimeError&) {
        return std::nullopt;
    }
}

const std::vector<std::string>& readableExtensions() {
    static const std::vector<std::string> kReadable = {"bmp", "jpg", "jpeg", "png", "tif", "tiff", "tga"};
    return kReadable;
}

bool hasReadableExtension(const std::string& path) {
    std::string ext = extensionOf(path);
    for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
    return std::find(readableExtensions().begin(), readableExtensions().end(), ext) != readableExtensions().end();
}

PictureType saveTypeFor(PictureFileType type) {
    return writtenType(type == PictureFileType::Png ? "png" : "bmp", std::nullopt);
}

void savePictureFiles(const std::vector<PictureWrite>& writes, Existing existing,
                      const std::vector<FileContent>& alongside) {
    std::vector<std::string> targets;
    for (const auto& w : writes) {
        if (!w.image || w.image->empty()) throw pictureError(w.path, "an empty picture cannot be saved");
        checkPictureSize(w.path, w.image->width(), w.image->height());
        targets.push_back(w.path);
    }
    for (const auto& f : alongside) targets.push_back(f.path);
    // Every target is checked before any is touched.
    std::vector<StagedFile> staged = stageFiles(targets, existing);
    for (std::size_t i = 0; i < alongside.size(); ++i) {
        StagedFile& file = staged[writes.size() + i];
        file.write(alongside[i].bytes);
        file.finish();
    }
    // Each file is encoded and written on a thread of its own (a pair takes the
    // time of one); the first error stops the save before anything is committed.
    std::vector<std::exception_ptr> errors(writes.size());
    auto writeOne = [&](std::size_t i) {
        try {
            StagedFile& file = staged[i];
            encodePicture(*writes[i].image, writes[i].type,
                          [&file](const void* data, std::size_t size) { file.write(data, size); });
            file.finish();
        } catch (const std::bad_alloc&) {
            errors[i] = std::make_exception_ptr(outOfMemoryError(writes[i].path, "not enough memory to write the picture"));
        } catch (...) {
            errors[i] = std::current_exception();
        }
    };
    {
        std::vector<std::jthread> helpers;
        for (std::size_t i = 1; i < writes.size(); ++i) helpers.emplace_back(writeOne, i);
        if (!writes.empty()) writeOne(0);
    }
    for (const auto& e : errors)
        if (e) std::rethrow_exception(e);
    commitAll(staged);
}

}  // namespace morv
