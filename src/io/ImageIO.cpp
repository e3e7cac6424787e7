#include "io/ImageIO.h"

#include <exception>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QString>
#include <QtGlobal>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <mutex>
#include <new>

#include "core/RuntimeError.h"
#include "io/BmpCodec.h"
#include "io/PictureLimits.h"
#include "io/SafeWrite.h"

namespace morv {

namespace {

/// The JPEG reader may allocate this many MB: a 16384 x 16384 picture at four bytes
/// a pixel with some room for the reader's own rows.
constexpr int kJpegAllocationLimitMb = 1100;

std::uint64_t memoryBudget() {
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0) return std::numeric_limits<std::uint64_t>::max();
    return std::uint64_t(pages) * std::uint64_t(pageSize) / 2;
}

RuntimeError accessError(const std::string& path, const std::string& reason) {
    return RuntimeError(err::PathFileAccess,
                        RuntimeError::standardDescription(err::PathFileAccess) + ": " + path + ": " + reason);
}

std::string notRegularReason(mode_t mode) {
    const char* kind = S_ISDIR(mode)                      ? "a folder"
                       : S_ISFIFO(mode)                   ? "a FIFO"
                       : S_ISCHR(mode) || S_ISBLK(mode)   ? "a device"
                       : S_ISSOCK(mode)                   ? "a socket"
                                                          : "something else";
    return std::string("not a regular file (it is ") + kind + ")";
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

// Qt reports damaged JPEG data only as log messages; they are caught while a JPEG is
// read. The handler is process-wide, so JPEG reads take turns.
std::mutex g_jpegMutex;
QtMessageHandler g_previousHandler = nullptr;
std::string* g_jpegComplaint = nullptr;

bool isJpegComplaint(const QMessageLogContext& context, const QString& message) {
    return (context.category && std::strcmp(context.category, "qt.gui.imageio.jpeg") == 0) ||
           message.contains(QLatin1String("Corrupt JPEG data")) || message.contains(QLatin1String("Premature end"));
}

void captureJpegMessages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (g_jpegComplaint && type != QtDebugMsg && type != QtInfoMsg && isJpegComplaint(context, message)) {
        if (g_jpegComplaint->empty()) *g_jpegComplaint = message.toStdString();
        return;
    }
    if (g_previousHandler) g_previousHandler(type, context, message);
    else std::fprintf(stderr, "%s\n", qPrintable(message));
}

/// Installs the capturing handler and the JPEG allocation limit for one read.
class JpegReadScope {
public:
    explicit JpegReadScope(std::string& complaint) : m_lock(g_jpegMutex), m_limit(QImageReader::allocationLimit()) {
        g_jpegComplaint = &complaint;
        g_previousHandler = qInstallMessageHandler(captureJpegMessages);
        QImageReader::setAllocationLimit(kJpegAllocationLimitMb);
    }
    ~JpegReadScope() {
        QImageReader::setAllocationLimit(m_limit);
        qInstallMessageHandler(g_previousHandler);
        g_previousHandler = nullptr;
        g_jpegComplaint = nullptr;
    }
    JpegReadScope(const JpegReadScope&) = delete;
    JpegReadScope& operator=(const JpegReadScope&) = delete;

private:
    std::lock_guard<std::mutex> m_lock;
    int m_limit;
};

void checkSize(const std::string& path, std::int64_t width, std::int64_t height) {
    if (width <= 0 || height <= 0) throw pictureError(path, "the picture has no pixels");
    if (width > kMaxPictureSide || height > kMaxPictureSide || width * height > kMaxPictureArea)
        throw pictureError(path, std::to_string(width) + " x " + std::to_string(height) +
                                     " pixels is beyond the size limits (" + std::to_string(kMaxPictureSide) + " pixels a side, " +
                                     std::to_string(kMaxPictureAreaSide) + " x " + std::to_string(kMaxPictureAreaSide) +
                                     " in all)");
}

void checkBudget(const std::string& path, std::uint64_t need, std::uint64_t budget) {
    if (need > budget) throw beyondBudgetError(path, need, budget);
}

HeightImage loadJpeg(int fd, const std::string& path, std::uint64_t budget) {
    std::string complaint;
    JpegReadScope scope(complaint);
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
        throw accessError(path, file.errorString().toStdString());
    QImageReader reader(&file, "jpeg");
    if (!reader.canRead())
        throw pictureError(path, "cannot be read as a JPEG picture: " + reader.errorString().toStdString());
    const QSize size = reader.size();
    if (!size.isValid() || !complaint.empty()) throw pictureError(path, "damaged JPEG header");
    checkSize(path, size.width(), size.height());
    const bool greyFile = reader.imageFormat() == QImage::Format_Grayscale8;
    const std::uint64_t pixels = std::uint64_t(size.width()) * std::uint64_t(size.height());
    // Qt's decoded picture (one or four bytes a pixel) plus ours, which for colour
    // briefly holds both planes while it is promoted.
    checkBudget(path, greyFile ? 2 * pixels : 9 * pixels, budget);

    QImage decoded;
    if (!reader.read(&decoded) || !complaint.empty() || decoded.size() != size)
        throw pictureError(path, "damaged or truncated JPEG data");
    if (decoded.format() != QImage::Format_Grayscale8 && decoded.format() != QImage::Format_RGB32 &&
        decoded.format() != QImage::Format_ARGB32)
        decoded = decoded.convertToFormat(QImage::Format_RGB32);

    const int w = size.width(), h = size.height();
    HeightImage out(w, h);
    if (decoded.format() == QImage::Format_Grayscale8) {
        for (int y = 0; y < h; ++y)
            std::memcpy(out.grey() + std::size_t(y) * std::size_t(w), decoded.constScanLine(y), std::size_t(w));
        return out;
    }
    for (int y = 0; y < h; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(decoded.constScanLine(y));
        if (out.isGrey()) {
            std::uint8_t* g = out.grey() + std::size_t(y) * std::size_t(w);
            std::uint32_t mixed = 0;
            for (int x = 0; x < w; ++x) {
                const std::uint32_t c = row[x] & 0xFFFFFFu;
                mixed |= c ^ ((c & 0xFF) * 0x010101u);
                g[x] = std::uint8_t(c);
            }
            if (mixed == 0) continue;
            out.promoteToColour();
        }
        Colour* c = out.colour() + std::size_t(y) * std::size_t(w);
        for (int x = 0; x < w; ++x) c[x] = Colour(qRed(row[x]) | (qGreen(row[x]) << 8) | (qBlue(row[x]) << 16));
    }
    return out;
}

HeightImage loadOpenFile(int fd, const std::string& path, std::uint64_t length) {
    std::uint8_t magic[3] = {};
    ssize_t got;
    do got = ::pread(fd, magic, sizeof magic, 0);
    while (got < 0 && errno == EINTR);
    if (got < 0) throw fileError(path, errno);
    if (got >= 2 && magic[0] == 'B' && magic[1] == 'M') {
        FileSource source(fd, path, length);
        return decodeBmp(source, path, memoryBudget());
    }
    if (got == 3 && magic[0] == 0xFF && magic[1] == 0xD8 && magic[2] == 0xFF) return loadJpeg(fd, path, memoryBudget());
    throw pictureError(path, length == 0 ? "the file is empty, not a BMP or JPEG picture"
                                         : "not a BMP or JPEG picture");
}

}  // namespace

std::shared_ptr<HeightImage> loadPictureFile(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) throw fileError(path, errno);
    if (!S_ISREG(st.st_mode)) throw accessError(path, notRegularReason(st.st_mode));
    FileHandle file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (file.get() < 0) throw fileError(path, errno);
    if (::fstat(file.get(), &st) != 0) throw fileError(path, errno);
    if (!S_ISREG(st.st_mode)) throw accessError(path, notRegularReason(st.st_mode));
    try {
        return std::make_shared<HeightImage>(loadOpenFile(file.get(), path, std::uint64_t(st.st_size)));
    } catch (const std::bad_alloc&) {
        throw outOfMemoryError(path, "not enough memory for the picture");
    }
}

void savePictureFiles(const std::vector<PictureWrite>& writes) {
    for (const auto& w : writes) {
        if (!w.image || w.image->empty()) throw pictureError(w.path, "an empty picture cannot be saved");
        checkSize(w.path, w.image->width(), w.image->height());
    }
    std::vector<StagedFile> staged;
    staged.reserve(writes.size());
    for (const auto& w : writes) staged.emplace_back(w.path);
    // Each file is encoded and written on a thread of its own (a pair takes the
    // time of one); the first error stops the save before anything is renamed.
    std::vector<std::exception_ptr> errors(writes.size());
    auto writeOne = [&](std::size_t i) {
        try {
            StagedFile& file = staged[i];
            writeBmp24(*writes[i].image, [&file](const void* data, std::size_t size) { file.write(data, size); });
            file.finish();
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
