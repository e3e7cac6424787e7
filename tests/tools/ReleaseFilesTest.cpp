#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>

#include "core/Routine.h"
#include "support/TestSupport.h"
#include "tools/ReleaseFiles.h"

namespace morv {
namespace {

namespace fs = std::filesystem;

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

std::set<std::string> namesIn(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename().string());
    return names;
}

/// A release folder and a stand-in executable beside it.
struct ReleaseFixture : ::testing::Test {
    test::TempDir dir;
    test::TestApp t;
    std::string release, exe;

    void SetUp() override {
        release = dir.file("release");
        fs::create_directories(release);
        exe = dir.file("morv-built");
        writeFile(exe, std::string("\x7f" "ELF stand-in\0with a nul", 24));
        ::chmod(exe.c_str(), 0755);
        t.app.session.gstrVersion = "0001.0002.0034";
    }
    void make() { mnuMakeDLFiles_Click(t.app, release, exe); }
};

const char* const kPage =
    "<html><head><title>0001.0002.0034</title></head><body><center><font size=5>The Current Version of Morv is<br>\r\r\n"
    "0001.0002.0034\r\r\n"
    "</center></body></html>\r\n";

TEST_F(ReleaseFixture, WritesMarkerVersionPageDownloadPageAndExecutable) {
    make();
    EXPECT_EQ(namesIn(release),
              (std::set<std::string>{"Morv_v0001.0002.0034.txt", "Morv.ver", "Morv.html", "morv"}));
    EXPECT_EQ(readFile(release + "/Morv_v0001.0002.0034.txt"), "");
    EXPECT_EQ(readFile(release + "/Morv.ver"), kPage);
    EXPECT_EQ(readFile(release + "/Morv.html"), kPage);
    EXPECT_EQ(readFile(release + "/morv"), readFile(exe));
    EXPECT_EQ(fs::status(release + "/morv").permissions() & fs::perms::owner_exec, fs::perms::owner_exec);
    EXPECT_TRUE(t.prompter.shown.empty());
}

TEST_F(ReleaseFixture, RunningTwiceLeavesOneOfEach) {
    make();
    writeFile(exe, "a newer build");
    make();
    EXPECT_EQ(namesIn(release).size(), 4u);
    EXPECT_EQ(readFile(release + "/morv"), "a newer build");
}

TEST_F(ReleaseFixture, RemovesOldMarkersAndArchivesButKeepsOtherFiles) {
    for (const char* name : {"Morv_v0001.0001.0000.txt", "a.b.c.txt", "NOTES.1.2.TXT", "Morv_v0001.0001.0000.zip",
                             "Morv_vold.zip", "readme.txt", "one.point.txt", "Morv_v1.txt.bak", "Other_v1.zip",
                             ".hidden.1.2.txt"})
        writeFile(release + "/" + name, "x");
    fs::create_directories(release + "/dir.1.2.txt");
    make();
    EXPECT_EQ(namesIn(release),
              (std::set<std::string>{"Morv_v0001.0002.0034.txt", "Morv.ver", "Morv.html", "morv", "readme.txt",
                                     "one.point.txt", "Morv_v1.txt.bak", "Other_v1.zip", ".hidden.1.2.txt",
                                     "dir.1.2.txt"}));
}

TEST_F(ReleaseFixture, TheVersionPageTitleIsTheVersionText) {
    t.app.session.gstrVersion = "0002.0000.0007";
    make();
    const std::string page = readFile(release + "/Morv.ver");
    EXPECT_EQ(page.rfind("<html><head><title>0002.0000.0007</title>", 0), 0u);
    EXPECT_TRUE(fs::exists(release + "/Morv_v0002.0000.0007.txt"));
}

TEST_F(ReleaseFixture, AMissingFolderIsReportedAndIgnoreGoesOn) {
    const std::string missing = dir.file("no-such-folder");
    // Two searches, marker, two pages and the copy: six failing statements.
    t.prompter.answers = {mb::Ignore, mb::Ignore, mb::Ignore, mb::Ignore, mb::Ignore, mb::Ignore};
    bool unloaded = false;
    mnuMakeDLFiles_Click(t.app, missing, exe, [&] { unloaded = true; });
    ASSERT_EQ(t.prompter.shown.size(), 6u);
    EXPECT_NE(t.prompter.shown[0].text.find("Encountered Err#53\r"), std::string::npos);
    EXPECT_NE(t.prompter.shown[0].text.find("Routine: |MDIForm.mnuMakeDLFiles_Click\r"), std::string::npos);
    EXPECT_TRUE(unloaded);
    EXPECT_FALSE(fs::exists(missing));
    EXPECT_EQ(t.app.session.gintTraceDepth, 0);
}

TEST_F(ReleaseFixture, AMissingExecutableFailsOnlyTheCopyAndLeavesTheOtherFiles) {
    t.prompter.answers = {mb::Ignore};
    mnuMakeDLFiles_Click(t.app, release, dir.file("gone"));
    ASSERT_EQ(t.prompter.shown.size(), 1u);
    EXPECT_NE(t.prompter.shown[0].text.find("Err#53"), std::string::npos);
    EXPECT_EQ(namesIn(release), (std::set<std::string>{"Morv_v0001.0002.0034.txt", "Morv.ver", "Morv.html"}));
}

TEST_F(ReleaseFixture, UnloadsTheMainWindowLast) {
    bool pagesThere = false;
    mnuMakeDLFiles_Click(t.app, release, exe, [&] { pagesThere = fs::exists(release + "/morv"); });
    EXPECT_TRUE(pagesThere);
}

TEST(ReleaseFolder, EnvironmentOverridesTheHomeDefault) {
    const char* old = std::getenv("MORV_RELEASE_DIR");
    const std::string saved = old ? old : "";
    ::setenv("MORV_RELEASE_DIR", "/tmp/somewhere", 1);
    EXPECT_EQ(releaseFolder(), "/tmp/somewhere");
    ::setenv("MORV_RELEASE_DIR", "", 1);
    const char* home = std::getenv("HOME");
    if (home && *home) {
        EXPECT_EQ(releaseFolder(), std::string(home) + "/MorvRelease");
    }
    ::unsetenv("MORV_RELEASE_DIR");
    EXPECT_NE(releaseFolder().find("/MorvRelease"), std::string::npos);
    if (old) ::setenv("MORV_RELEASE_DIR", saved.c_str(), 1);
}

TEST(ReleaseFolder, PatternsMatchLikeAFolderSearch) {
    EXPECT_TRUE(matchesPattern("*.*.*.txt", "Morv_v0001.0001.0000.txt"));
    EXPECT_TRUE(matchesPattern("*.*.*.txt", "..x.txt"));
    EXPECT_FALSE(matchesPattern("*.*.*.txt", "a.b.txt"));
    EXPECT_FALSE(matchesPattern("*.*.*.txt", "a.b.c.txt.old"));
    EXPECT_TRUE(matchesPattern("Morv_v*.zip", "morv_V1.ZIP"));
    EXPECT_FALSE(matchesPattern("Morv_v*.zip", "Morv_1.zip"));
    EXPECT_FALSE(ownExecutablePath().empty());
}

}  // namespace
}  // namespace morv
