// morv-yardstick: a lean single-purpose program for
// "morv-cli redraw MAP --flatten 50 --fill 50 --scale-up --contours -o OUTPUT":
// it streams the 24-bit BMP map into one grey plane, runs the three passes, draws
// the contour lines into a second plane and writes both files straight to their
// names, with no checks, trace, staging or dispatch. Its pixel loops are its own,
// so it can be built for the machine it runs on (morv-yardstick-native) and for
// generic x86-64 (morv-yardstick) and measured beside morv-cli.
//
//   morv-yardstick MAP OUTPUT [--durable]    writes OUTPUT and OUTPUT's CL file
//
// --durable flushes both files and then their folder to the disk (fdatasync, fsync),
// as every morv save does: the fair yardstick for the time a save takes.
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "io/Files.h"
#include "engine/Passes.h"

namespace {

using Byte = std::uint8_t;

[[noreturn]] void die(const std::string& what) {
    std::fprintf(stderr, "morv-yardstick: %s\n", what.c_str());
    std::exit(1);
}

std::uint32_t le32(const Byte* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t(p[3]) << 24); }
void put32(Byte* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = Byte(v >> (8 * i));
}

constexpr std::size_t kChunk = 256 << 10;

struct Plane {
    int w = 0, h = 0;
    Byte* px = nullptr;
};

/// A plane of n bytes, asked for huge pages as any program handling large
/// pictures would (the pixels are all written before they are read).
Byte* newPlane(std::size_t n) {
    constexpr std::size_t kHuge = 2u << 20;
    const std::size_t bytes = (n + kHuge - 1) / kHuge * kHuge;
    void* p = std::aligned_alloc(kHuge, bytes ? bytes : kHuge);
    if (!p) die("out of memory");
    ::madvise(p, bytes, MADV_HUGEPAGE);
    return static_cast<Byte*>(p);
}

void readFully(int fd, Byte* to, std::size_t n) {
    while (n) {
        const ssize_t got = ::read(fd, to, n);
        if (got <= 0) die("short read");
        to += got;
        n -= std::size_t(got);
    }
}

/// A bottom-up 24-bit BMP as grey levels (the blue byte of each pixel).
Plane readMap(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) die("cannot open " + path);
    Byte head[54];
    readFully(fd, head, sizeof head);
    if (head[28] != 24) die(path + " is not a 24-bit BMP");
    Plane p{int(le32(head + 18)), int(le32(head + 22)), nullptr};
    const std::size_t stride = (std::size_t(p.w) * 3 + 3) & ~std::size_t(3);
    if (::lseek(fd, off_t(le32(head + 10)), SEEK_SET) < 0) die("cannot seek in " + path);
    p.px = newPlane(std::size_t(p.w) * std::size_t(p.h));
    const std::size_t rows = kChunk / stride ? kChunk / stride : 1;
    Byte* buf = static_cast<Byte*>(std::malloc(rows * stride));
    for (int y0 = 0; y0 < p.h; y0 += int(rows)) {
        const int n = p.h - y0 < int(rows) ? p.h - y0 : int(rows);
        readFully(fd, buf, std::size_t(n) * stride);
        for (int r = 0; r < n; ++r) {
            const Byte* s = buf + std::size_t(r) * stride;
            Byte* d = p.px + std::size_t(p.h - 1 - (y0 + r)) * std::size_t(p.w);
            for (int x = 0; x < p.w; ++x) d[x] = s[3 * x];
        }
    }
    std::free(buf);
    ::close(fd);
    return p;
}

void writeBmp(const Plane& p, const std::string& path, bool durable) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) die("cannot write " + path);
    const std::size_t stride = (std::size_t(p.w) * 3 + 3) & ~std::size_t(3);
    Byte head[54] = {'B', 'M'};
    put32(head + 2, std::uint32_t(54 + stride * std::size_t(p.h)));
    put32(head + 10, 54);
    put32(head + 14, 40);
    put32(head + 18, std::uint32_t(p.w));
    put32(head + 22, std::uint32_t(p.h));
    head[26] = 1;
    head[28] = 24;
    put32(head + 34, std::uint32_t(stride * std::size_t(p.h)));
    put32(head + 38, 2835);
    put32(head + 42, 2835);
    if (::write(fd, head, sizeof head) != ssize_t(sizeof head)) die("cannot write " + path);
    const std::size_t rows = kChunk / stride ? kChunk / stride : 1;
    Byte* buf = static_cast<Byte*>(std::calloc(rows, stride));
    for (int y0 = 0; y0 < p.h; y0 += int(rows)) {
        const int n = p.h - y0 < int(rows) ? p.h - y0 : int(rows);
        for (int r = 0; r < n; ++r) {
            const Byte* s = p.px + std::size_t(p.h - 1 - (y0 + r)) * std::size_t(p.w);
            Byte* d = buf + std::size_t(r) * stride;
            for (int x = 0; x < p.w; ++x) d[3 * x] = d[3 * x + 1] = d[3 * x + 2] = s[x];
        }
        const std::size_t bytes = std::size_t(n) * stride;
        if (::write(fd, buf, bytes) != ssize_t(bytes)) die("cannot write " + path);
    }
    std::free(buf);
    if (durable && ::fdatasync(fd) != 0) die("cannot flush " + path);
    ::close(fd);
}

void flushFolderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0 || ::fsync(fd) != 0) die("cannot flush " + folder);
    ::close(fd);
}

void mapPlane(Plane& p, const morv::PassTable& t) {
    Byte lut[256];
    for (int g = 0; g < 256; ++g)
        lut[g] = (t.mountains ? g > t.ground : g < t.ground) ? t.level[std::size_t(g)] : Byte(g);
    const std::size_t n = std::size_t(p.w) * std::size_t(p.h);
    for (std::size_t i = 0; i < n; ++i) p.px[i] = lut[p.px[i]];
}

Byte highest(const Plane& p) {
    Byte hi = 0;
    const std::size_t n = std::size_t(p.w) * std::size_t(p.h);
    for (std::size_t i = 0; i < n; ++i) hi = p.px[i] > hi ? p.px[i] : hi;
    return hi;
}

/// The contour rule: a pixel at the ground level with a higher neighbour above,
/// right, below right, below, above left or left turns black.
Plane contours(const Plane& p, Byte g) {
    Plane c{p.w, p.h, newPlane(std::size_t(p.w) * std::size_t(p.h))};
    const std::ptrdiff_t w = p.w;
    for (int y = 0; y < p.h; ++y) {
        const Byte* cur = p.px + y * w;
        Byte* out = c.px + y * w;
        const bool top = y == 0, bottom = y == p.h - 1;
        for (int x = 0; x < p.w; ++x) {
            const bool left = x == 0, right = x == p.w - 1;
            const bool higher = (!top && cur[x - w] > g) | (!right && cur[x + 1] > g) |
                                (!right && !bottom && cur[x + 1 + w] > g) | (!bottom && cur[x + w] > g) |
                                (!top && !left && cur[x - 1 - w] > g) | (!left && cur[x - 1] > g);
            out[x] = cur[x] == g && higher ? 0 : cur[x];
        }
    }
    return c;
}

}  // namespace

int main(int argc, char** argv) {
    const bool durable = argc == 4 && std::strcmp(argv[3], "--durable") == 0;
    if (argc != 3 && !durable) die("usage: morv-yardstick MAP OUTPUT [--durable]");
    Plane map = readMap(argv[1]);
    mapPlane(map, morv::flattenTable(128, 0.5f));
    mapPlane(map, morv::fillTable(128, 0.5));
    mapPlane(map, morv::raiseTable(128, highest(map)));
    const Plane contour = contours(map, 128);
    const std::string out = argv[2];
    std::thread contourWrite([&] { writeBmp(contour, morv::contourPathFor(out), durable); });
    writeBmp(map, out, durable);
    contourWrite.join();
    if (durable) flushFolderOf(out);
    return 0;
}
