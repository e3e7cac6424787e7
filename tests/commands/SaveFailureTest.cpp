#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "core/RuntimeError.h"
#include "io/ImageIO.h"
#include "support/TestSupport.h"

namespace morv {
namespace {

std::size_t entries(const std::filesystem::path& dir) {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir)) ++n;
    return n;
}

/// The error number of a save, 0 when it succeeded.
int saveError(const std::vector<PictureWrite>& writes) {
    try {
        savePictureFiles(writes);
    } catch (const RuntimeError& e) {
        return e.number();
    }
    return 0;
}

TEST(SaveFailure, AFullDiskKeepsTheOldFilesAndLeavesNoTemporaries) {
    test::TempDir dir;
    const std::string disk = dir.file("small");
    std::filesystem::create_directory(disk);
    if (::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=1m") != 0) GTEST_SKIP() << "cannot mount a small tmpfs here";
    struct Unmount {
        std::string at;
        ~Unmount() { ::umount(at.c_str()); }
    } unmount{disk};
    const HeightImage small(8, 8, 10), big(1024, 1024, 20);  // the big one needs 3 MiB
    savePictureFiles({{&small, disk + "/map.bmp"}, {&small, disk + "/mapCL.bmp"}});
    const std::string before = test::readFile(disk + "/map.bmp");

    EXPECT_EQ(saveError({{&big, disk + "/map.bmp"}, {&small, disk + "/mapCL.bmp"}}), err::DiskFull);
    EXPECT_EQ(saveError({{&small, disk + "/map.bmp"}, {&big, disk + "/mapCL.bmp"}}), err::DiskFull);
    EXPECT_EQ(test::readFile(disk + "/map.bmp"), before);
    EXPECT_EQ(test::readFile(disk + "/mapCL.bmp"), before);
    EXPECT_EQ(entries(disk), 2u);
}

TEST(SaveFailure, ReadOnlyFoldersAndFilesAreLeftAlone) {
    test::TempDir dir;
    const HeightImage pic(4, 4, 10);
    const std::string locked = dir.file("locked"), open = dir.file("open");
    std::filesystem::create_directories(locked);
    std::filesystem::create_directories(open);
    savePictureFile(pic, locked + "/map.bmp");
    savePictureFile(pic, open + "/kept.bmp");
    ASSERT_EQ(::chmod(locked.c_str(), 0555), 0);
    ASSERT_EQ(::chmod(open.c_str(), 0777), 0);
    ASSERT_EQ(::chmod((open + "/kept.bmp").c_str(), 0444), 0);
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
    const std::string before = test::readFile(locked + "/map.bmp");
    const int result = test::asUnprivilegedUser([&] {
        const HeightImage other(4, 4, 99);
        const int intoFolder = saveError({{&other, locked + "/map.bmp"}});
        const int overFile = saveError({{&other, open + "/kept.bmp"}});
        return intoFolder == err::PathFileAccess && overFile == err::PathFileAccess ? 0 : 1;
    });
    if (result < 0) GTEST_SKIP() << "cannot drop to an unprivileged user";
    EXPECT_EQ(result, 0);
    EXPECT_EQ(test::readFile(locked + "/map.bmp"), before);
    EXPECT_EQ(test::readFile(open + "/kept.bmp"), before);
    EXPECT_EQ(entries(locked), 1u);
    EXPECT_EQ(entries(open), 1u);
}

TEST(SaveFailure, UnicodeAndSpacesInPaths) {
    test::TempDir dir;
    const std::string folder = dir.file("Höhen karten ✓");
    std::filesystem::create_directory(folder);
    const HeightImage pic = test::greyImage({{1, 2, 3}, {4, 5, 6}});
    const std::string path = folder + "/Hügel Süd.bmp";
    savePictureFile(pic, path);
    EXPECT_EQ(*loadPictureFile(path), pic);
}

TEST(LargeMaps, TheLargestAdmittedMapLoads) {
    // 16384 x 16384 as a 1-bit map keeps the file at 32 MiB; it still takes a
    // 256 MiB grey plane in memory.
    test::TempDir dir;
    const int side = 16384;
    const std::uint32_t stride = side / 8, image = stride * side, offset = 14 + 40 + 8;
    std::string bmp(offset, '\0');
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) bmp[at + std::size_t(i)] = char((v >> (8 * i)) & 0xFF);
    };
    bmp[0] = 'B';
    bmp[1] = 'M';
    put32(2, offset + image);
    put32(10, offset);
    put32(14, 40);
    put32(18, side);
    put32(22, side);
    bmp[26] = 1;
    bmp[28] = 1;
    put32(34, image);
    put32(46, 2);
    put32(54, 0x000000);
    put32(58, 0xFFFFFF);
    bmp.append(image, char(0x55));  // alternating black and white
    std::ofstream(dir.file("big.bmp"), std::ios::binary) << bmp;
    const auto map = loadPictureFile(dir.file("big.bmp"));
    ASSERT_EQ(map->width(), side);
    ASSERT_TRUE(map->isGrey());
    EXPECT_EQ(map->pixel(0, 0), 0);
    EXPECT_EQ(map->pixel(1, 0), 0xFFFFFF);
    EXPECT_EQ(map->pixel(side - 1, side - 1), 0xFFFFFF);
}

}  // namespace
}  // namespace morv
