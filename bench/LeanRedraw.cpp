// morv-lean: the yardstick for whole morv-cli runs. It does only what
// "morv-cli redraw MAP --flatten 50 --fill 50 --scale-up" must: read the map and
// its contour image (24-bit BMP, as Morv writes them), run the three passes and
// write both files straight to their names, with no checks, trace or staging.
//
//   morv-lean make SIDE FOLDER                 writes FOLDER/hillsSIDE.bmp and its contour image
//   morv-lean redraw MAP OUTPUT [--durable]    the redraw above, OUTPUT and its CL file
//
// --durable flushes both files and then their folder to the disk (fdatasync, fsync),
// as every morv save does: the fair yardstick for the time a save takes.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "BenchMaps.h"
#include "engine/Passes.h"
#include "io/BmpCodec.h"
#include "io/Files.h"

namespace {

[[noreturn]] void die(const std::string& what) {
    std::fprintf(stderr, "morv-lean: %s\n", what.c_str());
    std::exit(1);
}

std::uint32_t le32(const unsigned char* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t(p[3]) << 24); }

/// Reads a bottom-up 24-bit BMP into a grey picture (the blue byte of each pixel).
morv::HeightImage readGreyBmp(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) die("cannot open " + path);
    struct stat st {};
    ::fstat(fd, &st);
    std::vector<unsigned char> file(std::size_t(st.st_size));
    for (std::size_t at = 0; at < file.size();) {
        const ssize_t n = ::read(fd, file.data() + at, file.size() - at);
        if (n <= 0) die("cannot read " + path);
        at += std::size_t(n);
    }
    ::close(fd);
    if (file.size() < 54 || file[28] != 24) die(path + " is not a 24-bit BMP");
    const int w = int(le32(&file[18])), h = int(le32(&file[22]));
    const std::size_t stride = (std::size_t(w) * 3 + 3) & ~std::size_t(3), offset = le32(&file[10]);
    if (offset + stride * std::size_t(h) > file.size()) die(path + " is short");
    morv::HeightImage img(w, h);
    for (int y = 0; y < h; ++y) {
        const unsigned char* src = &file[offset + stride * std::size_t(h - 1 - y)];
        std::uint8_t* dst = img.grey() + std::size_t(y) * std::size_t(w);
        for (int x = 0; x < w; ++x) dst[x] = src[3 * x];
    }
    return img;
}

void writeBmp(const morv::HeightImage& img, const std::string& path, bool durable) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) die("cannot write " + path);
    morv::writeBmp24(img, [&](const void* data, std::size_t size) {
        if (::write(fd, data, size) != ssize_t(size)) die("cannot write " + path);
    });
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

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 3 && args[0] == "make") {
        std::printf("%s\n", morv::bench::hillyMapFile(args[2], std::stoi(args[1])).c_str());
        return 0;
    }
    const bool durable = args.size() == 4 && args[3] == "--durable";
    if ((args.size() != 3 && !durable) || args[0] != "redraw")
        die("usage: morv-lean make SIDE FOLDER | redraw MAP OUTPUT [--durable]");
    morv::HeightImage contour;
    std::thread contourRead([&] { contour = readGreyBmp(morv::contourPathFor(args[1])); });
    morv::HeightImage map = readGreyBmp(args[1]);
    morv::runPass(map, morv::flattenTable(128, 0.5f), nullptr);
    morv::runPass(map, morv::fillTable(128, 0.5), nullptr);
    const std::uint8_t high = *std::max_element(map.grey(), map.grey() + map.pixelCount());
    morv::runPass(map, morv::raiseTable(128, high), nullptr);
    contourRead.join();
    std::thread contourWrite([&] { writeBmp(contour, morv::contourPathFor(args[2]), durable); });
    writeBmp(map, args[2], durable);
    contourWrite.join();
    if (durable) flushFolderOf(args[2]);
    return 0;
}
