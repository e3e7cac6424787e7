#include <gtest/gtest.h>
#include <sys/stat.h>

#include <set>

#include "support/TestSupport.h"
#include "commands/ReleaseFiles.h"

namespace morv {
namespace {

namespace fs = std::filesystem;

TEST(ReleaseFiles, TwoRunsLeaveOneOfEachOldOnesGo) {
    test::TempDir dir;
    test::TestApp t;
    t.app.session.gstrVersion = "0001.0002.0034";
    const std::string release = dir.file("release"), exe = dir.file("morv-built");
    fs::create_directories(release);
    for (const char* old : {"Morv_v0001.0001.0000.txt", "a.b.c.txt", "Morv_v0001.0001.0000.zip", "one.point.txt"})
        test::writeBytes(release + "/" + old, "x");
    test::writeBytes(exe, std::string("\x7f" "ELF first\0build", 16));
    ::chmod(exe.c_str(), 0755);
    makeReleaseFiles(t.app, release, exe);
    test::writeBytes(exe, std::string("\x7f" "ELF newer\0build", 16));
    makeReleaseFiles(t.app, release, exe);

    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(release)) names.insert(e.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"Morv_v0001.0002.0034.txt", "Morv.ver", "Morv.html", "morv", "one.point.txt"}));
    const std::string page =
        "<html><head><title>0001.0002.0034</title></head><body><center><font size=5>The Current Version of Morv is<br>\r\r\n"
        "0001.0002.0034\r\r\n"
        "</center></body></html>\r\n";
    EXPECT_EQ(test::readFile(release + "/Morv.ver"), page);
    EXPECT_EQ(test::readFile(release + "/Morv.html"), page);
    EXPECT_EQ(test::readFile(release + "/Morv_v0001.0002.0034.txt"), "");
    EXPECT_EQ(test::readFile(release + "/morv"), test::readFile(exe));
    EXPECT_EQ(fs::status(release + "/morv").permissions() & fs::perms::owner_exec, fs::perms::owner_exec);
    EXPECT_TRUE(t.prompter.shown.empty());
}

}  // namespace
}  // namespace morv
