#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>


#include "core/RuntimeError.h"
#include "io/ImageIO.h"
#include "support/CliRun.h"
#include "support/TestSupport.h"

namespace morv {
namespace {

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
    EXPECT_EQ(test::entryCount(disk), 2u);
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
    EXPECT_EQ(test::entryCount(locked), 1u);
    EXPECT_EQ(test::entryCount(open), 1u);
}

TEST(SaveFailure, AFileSizeLimitIsReportedInOneLine) {
    test::TempDir dir;
    const HeightImage map(256, 256, 120);  // 192 KiB as a BMP, over the limit below
    savePictureFiles({{&map, dir.file("map.bmp")}, {&map, dir.file("mapCL.bmp")}});
    const pid_t pid = ::fork();
    if (pid == 0) {
        const rlimit limit{64 * 1024, 64 * 1024};  // as ulimit -f 64 in the shell
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ::_exit(test::morvCli("redraw map.bmp --flatten 50 -o out.bmp", dir).status);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1) << "not ended by SIGXFSZ, but failed";
    EXPECT_EQ(test::readFile(dir.file("stderr.txt")), "morv-cli: Path/File access error: out.bmp: File too large\n");
    EXPECT_EQ(test::entryCount(dir.path()), 3u) << "the map, its contour image and the error output: nothing more";
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

}  // namespace
}  // namespace morv
