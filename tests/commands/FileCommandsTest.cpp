#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <filesystem>
#include <tuple>

#include "commands/FileCommands.h"
#include "io/Files.h"
#include "io/ImageIO.h"
#include "support/TestSupport.h"

namespace morv {
namespace {

struct FileCommands : test::HostTest {
    test::TempDir dir;

    /// Writes a map (and, when asked, its contour image) of the given size.
    std::string writeMap(const std::string& name, int w, int h, bool withContour = true) {
        HeightImage map(w, h, 100);
        map.setPixel(0, 0, fcnGrayColor(200));
        HeightImage contour(w, h, 255);
        contour.setPixel(0, 0, 0);
        const std::string path = dir.file(name);
        std::vector<PictureWrite> writes{{&map, path}};
        if (withContour) writes.push_back({&contour, contourPathFor(path)});
        savePictureFiles(writes);
        return path;
    }
    void open(const std::string& path) {
        t.prompter.fileNames.push_back(path);
        openImage(host);
    }
    const test::Shown& lastBox() const { return t.prompter.shown.back(); }
};

TEST_F(FileCommands, OpenOfAMissingFileSaysSoAndLoadsNothing) {
    t.prompter.answers = {mb::OK};
    open(dir.file("gone.bmp"));
    EXPECT_EQ(std::pair(lastBox().title, lastBox().style), (std::pair<std::string, int>("FILE NOT FOUND", 16)));
    EXPECT_EQ(lastBox().text, "The file named...\r\r" + dir.file("gone.bmp") + "\r\rCan not be found.");
    EXPECT_EQ(host.doc.dialogFileName, "");
    EXPECT_FALSE(host.pictureWindow);
}

TEST_F(FileCommands, OpenRefusesDamagedFilesDevicesFifosAndMismatches) {
    const std::string map = writeMap("map.bmp", 8, 4, false);
    const HeightImage narrow(4, 2, 255);
    savePictureFile(narrow, dir.file("mapCL.bmp"));
    test::writeBytes(dir.file("bad.bmp"), "BMnot really");
    test::writeBytes(dir.file("badCL.bmp"), "BMnot really");
    ASSERT_EQ(::mkfifo(dir.file("fifo.bmp").c_str(), 0600), 0);
    ASSERT_EQ(::mknod(dir.file("device.bmp").c_str(), S_IFCHR | 0600, makedev(1, 3)), 0);
    const std::pair<std::string, std::string> rows[] = {
        {dir.file("bad.bmp"), dir.file("bad.bmp") + ": "},
        {dir.file("fifo.bmp"), dir.file("fifo.bmp") + ": not a regular file (it is a FIFO)"},
        {dir.file("device.bmp"), dir.file("device.bmp") + ": not a regular file (it is a device)"},
        {map, dir.file("mapCL.bmp") + ": the contour image is 4 x 2 pixels but its height image " + map + " is 8 x 4"},
    };
    for (const auto& [path, reason] : rows) {
        // The odd files have no contour image: the user goes on without one.
        t.prompter.answers = {mb::Yes, mb::Ignore};
        if (path == map || path == dir.file("bad.bmp")) t.prompter.answers = {mb::Ignore};
        open(path);
        EXPECT_EQ(lastBox().title, "Morv: RUNTIME ERROR") << path;
        EXPECT_NE(lastBox().text.find(reason), std::string::npos) << lastBox().text;
        EXPECT_EQ(std::tuple(s.gstrImageFile, host.pictureWindow, host.status, host.waitCursor), std::tuple("", false, "", false));
    }
}

TEST_F(FileCommands, CancelledOpenStillClosesTheOpenImageFirst) {
    open(writeMap("a.bmp", 8, 4));
    host.save = true;
    t.prompter.answers = {mb::No};
    open("");
    EXPECT_EQ(std::pair(lastBox().title, lastBox().style), (std::pair<std::string, int>("FILE NOT SAVED", 35)));
    EXPECT_EQ(lastBox().text, "The current image has not been saved.  Do you want to save the file first?");
    EXPECT_EQ(s.gstrImageFile, "");
    EXPECT_EQ(std::tuple(host.pictureWindow, host.toolbars, host.saveAsClose, host.save), std::tuple(false, false, false, false));
    EXPECT_EQ(s.gintCurLowColor, 255);
}

TEST_F(FileCommands, AFailingRenameWritesNothingKeepsMark) {
    open(writeMap("a.bmp", 8, 4));
    host.save = true;
    // Every temporary is written and checked; only the rename onto the height
    // image's name fails (a folder stands there), and the contour is not renamed.
    std::filesystem::create_directory(dir.file("out.bmp"));
    test::writeBytes(dir.file("outCL.bmp"), "older contour");
    t.prompter.fileNames = {dir.file("out.bmp")};
    t.prompter.answers = {mb::Ignore};
    EXPECT_FALSE(saveImageAs(host));
    EXPECT_EQ(lastBox().title, "Morv: RUNTIME ERROR");
    EXPECT_NE(lastBox().text.find(dir.file("out.bmp")), std::string::npos) << lastBox().text;
    EXPECT_TRUE(host.save);
    EXPECT_EQ(std::pair(s.gstrImageFile, host.doc.dialogFileName), std::pair(dir.file("a.bmp"), dir.file("a.bmp")));
    EXPECT_EQ(test::readFile(dir.file("outCL.bmp")), "older contour");
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("out.bmp")));
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        EXPECT_EQ(e.path().filename().string().find(".morv-"), std::string::npos) << "temporary left: " << e.path();
}

TEST_F(FileCommands, SaveKeepsTheTypeSaveAsStartsAt24BitBmp) {
    // A PNG map is saved back as PNG, its contour image too.
    HeightImage map(4, 2, 90), contour(4, 2, 255);
    savePictureFiles({{&map, dir.file("m.png"), PictureType::Png8}, {&contour, dir.file("mCL.png"), PictureType::Png8}});
    open(dir.file("m.png"));
    s.gblnOverwriteNotify = false;
    saveImage(host);
    EXPECT_EQ(test::readFile(dir.file("m.png")).substr(1, 3), "PNG");
    EXPECT_EQ(test::readFile(dir.file("mCL.png")).substr(1, 3), "PNG");
    // Save As offers Open's entries, the third preselected, writing 24-bit BMP.
    t.prompter.fileNames = {dir.file("plain.bmp")};
    EXPECT_TRUE(saveImageAs(host));
    EXPECT_EQ(t.prompter.saveTypesOffered,
              (std::vector<std::string>{"*.bmp (*.bmp)", "*.jpg (*.jpg)", "Images: bmp, jpg (*.bmp *.jpg)",
                                        "8-bit grey BMP (*.bmp)", "8-bit grey PNG (*.png)"}));
    EXPECT_EQ(t.prompter.saveTypePreselected, 2);
    EXPECT_EQ(test::readFile(dir.file("plain.bmp")).size(), 54u + 12 * 2);
    // An 8-bit grey BMP chosen in Save As is what Save then writes.
    t.prompter.fileNames = {dir.file("grey.bmp")};
    t.prompter.saveTypes = {3};
    EXPECT_TRUE(saveImageAs(host));
    std::filesystem::remove(dir.file("grey.bmp"));
    saveImage(host);
    EXPECT_EQ(test::readFile(dir.file("grey.bmp")).size(), 1078u + 4 * 2);
    EXPECT_EQ(*loadPictureFile(dir.file("grey.bmp")), map);
}

TEST_F(FileCommands, ContourlessImageSavesAWhiteContourImage) {
    const std::string path = writeMap("lone.bmp", 4, 2, false);
    t.prompter.answers = {mb::Yes};
    open(path);
    host.save = true;
    t.prompter.fileNames = {dir.file("out.bmp")};
    EXPECT_TRUE(saveImageAs(host));
    const auto contour = loadPictureFile(dir.file("outCL.bmp"));
    EXPECT_EQ(contour->width(), 4);
    EXPECT_EQ(contour->pixel(3, 1), 0xFFFFFF);
}

}  // namespace
}  // namespace morv
