#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "documents/FileCommands.h"
#include "engine/ImageIO.h"
#include "support/TestSupport.h"

namespace morv {
namespace {

std::string bytesOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

struct FileCommands : ::testing::Test {
    test::TempDir dir;
    test::TestApp t;
    test::RecordingHost host{t.app};
    Session& s = t.app.session;

    /// Writes a map (and, when asked, its contour image) of the given size.
    std::string writeMap(const std::string& name, int w, int h, bool withContour = true) {
        HeightImage map(w, h, 100);
        map.setPixel(0, 0, fcnGrayColor(200));
        HeightImage contour(w, h, 255);
        contour.setPixel(0, 0, 0);
        const std::string path = dir.file(name);
        std::vector<PictureWrite> writes{{&map, path}};
        const std::string cl = path.substr(0, path.size() - 4) + "CL." + path.substr(path.size() - 3);
        if (withContour) writes.push_back({&contour, cl});
        savePictureFiles(writes);
        return path;
    }
    void open(const std::string& path) {
        t.prompter.fileNames.push_back(path);
        mnuFileOpen_Click(host);
    }
    const test::Shown& lastBox() const { return t.prompter.shown.back(); }
};

TEST_F(FileCommands, OpenLoadsThePairAndSetsTheWindowUp) {
    const std::string path = writeMap("Ridge.bmp", 576, 576);
    open(path);
    EXPECT_EQ(t.prompter.shown.size(), 1u) << "only the file dialog, no size warning for four boards";
    EXPECT_EQ(s.gstrImageFile, path);
    EXPECT_EQ(s.gstrImageExt, "bmp");
    EXPECT_EQ(s.gstrContourFile, dir.file("RidgeCL.bmp"));
    EXPECT_EQ(host.doc.dialogFileName, path);
    EXPECT_EQ(host.doc.disp.width(), 576);
    EXPECT_EQ(host.doc.dispCL.image->pixel(0, 0), 0);
    EXPECT_EQ(s.gintHighColor, 200);
    EXPECT_EQ(s.gintLowColor, 100);
    EXPECT_EQ(host.caption, path);
    EXPECT_TRUE(host.toolbars && host.pictureWindow && host.saveAsClose);
    EXPECT_FALSE(host.save);
    EXPECT_EQ(host.status, "");
    EXPECT_FALSE(host.waitCursor);
    EXPECT_EQ(host.events.back(), "focus ground");
    EXPECT_EQ(s.gintTraceDepth, 0);
}

TEST_F(FileCommands, OpenWarnsAboutSquareSizesOffTheBoardGrid) {
    struct Case {
        int w, h;
        const char* title;
        int style;
    };
    const Case cases[] = {{512, 512, "Image Not Scaled to BaseBoards", 64},
                          {145, 145, "Image Size Mismatch", 16},
                          {1440, 1440, nullptr, 0},
                          {512, 256, nullptr, 0}};
    for (const Case& c : cases) {
        test::TestApp app;
        test::RecordingHost h{app.app};
        std::string name = "m";
        name.append(std::to_string(c.w)).append("x").append(std::to_string(c.h)).append(".bmp");
        app.prompter.fileNames.push_back(writeMap(name, c.w, c.h));
        if (c.title) app.prompter.answers.push_back(mb::OK);
        mnuFileOpen_Click(h);
        ASSERT_EQ(app.prompter.shown.size(), c.title ? 2u : 1u) << c.w;
        if (c.title) {
            EXPECT_EQ(app.prompter.shown[1].title, c.title);
            EXPECT_EQ(app.prompter.shown[1].style, c.style);
            EXPECT_TRUE(h.pictureWindow) << "a warning only: loading goes on";
        }
    }
    EXPECT_EQ(t.prompter.shown.size(), 0u);
}

TEST_F(FileCommands, OpenWithoutAContourImageAsksFirst) {
    const std::string path = writeMap("Lone.bmp", 16, 8, false);
    t.prompter.answers = {mb::No};
    open(path);
    EXPECT_EQ(lastBox().title, "FILE NOT FOUND");
    EXPECT_EQ(lastBox().style, 36);
    EXPECT_EQ(lastBox().text, "The corresponding Coastlines image can not be found.\rIt is possible to create one.\r\r"
                              "Do you want to continue loading the image?");
    EXPECT_FALSE(host.pictureWindow);
    EXPECT_EQ(s.gstrImageFile, path) << "the paths keep the new names";
    EXPECT_EQ(host.status, "");

    t.prompter.answers = {mb::Yes};
    open(path);
    EXPECT_TRUE(host.pictureWindow);
    EXPECT_EQ(host.doc.disp.width(), 16);
    EXPECT_TRUE(host.doc.dispCL.image->empty());
}

TEST_F(FileCommands, OpenOfAMissingFileSaysSoAndLoadsNothing) {
    t.prompter.answers = {mb::OK};
    open(dir.file("gone.bmp"));
    EXPECT_EQ(lastBox().title, "FILE NOT FOUND");
    EXPECT_EQ(lastBox().style, 16);
    EXPECT_EQ(lastBox().text, "The file named...\r\r" + dir.file("gone.bmp") + "\r\rCan not be found.");
    EXPECT_EQ(host.doc.dialogFileName, "");
    EXPECT_FALSE(host.pictureWindow);
}

TEST_F(FileCommands, OpenOfADamagedFileReportsItAndLeavesNoImageOpen) {
    std::ofstream(dir.file("bad.bmp")) << "BMnot really";
    std::ofstream(dir.file("badCL.bmp")) << "BMnot really";
    t.prompter.answers = {mb::Ignore};
    open(dir.file("bad.bmp"));
    EXPECT_EQ(lastBox().title, "Morv: RUNTIME ERROR");
    EXPECT_EQ(s.gstrImageFile, "");
    EXPECT_FALSE(host.pictureWindow);
    EXPECT_EQ(host.status, "");
    EXPECT_FALSE(host.waitCursor);
}

TEST_F(FileCommands, CancelledOpenStillClosesTheOpenImageFirst) {
    open(writeMap("a.bmp", 8, 4));
    host.save = true;
    t.prompter.answers = {mb::No};
    open("");
    EXPECT_EQ(lastBox().title, "FILE NOT SAVED");
    EXPECT_EQ(lastBox().style, 35);
    EXPECT_EQ(lastBox().text, "The current image has not been saved.  Do you want to save the file first?");
    EXPECT_EQ(s.gstrImageFile, "");
    EXPECT_FALSE(host.pictureWindow || host.toolbars || host.saveAsClose || host.save);
    EXPECT_EQ(s.gintCurLowColor, 255);
}

TEST_F(FileCommands, SaveAsksBeforeReplacingAndWritesBothFiles) {
    const std::string path = writeMap("a.bmp", 8, 4);
    open(path);
    host.doc.disp.image->setPixel(1, 1, fcnGrayColor(7));
    host.save = true;
    const std::string before = bytesOf(path);

    for (const char* declined : {"7", "2"}) {
        host.overwriteAnswers = {declined};
        mnuFileSave_Click(host);
        EXPECT_EQ(bytesOf(path), before);
        EXPECT_TRUE(host.save) << "nothing was written";
    }
    host.overwriteAnswers = {"6"};
    mnuFileSave_Click(host);
    EXPECT_EQ(fcnGrayLevel(loadPictureFile(path)->pixel(1, 1)), 7);
    EXPECT_EQ(loadPictureFile(dir.file("aCL.bmp"))->pixel(0, 0), 0);
    EXPECT_FALSE(host.save);

    s.gblnOverwriteNotify = false;
    mnuFileSave_Click(host);
    EXPECT_TRUE(host.overwriteAnswers.empty()) << "no question while notification is off";
}

TEST_F(FileCommands, SaveAsMovesTheSessionOnlyWhenItWrote) {
    const std::string path = writeMap("a.bmp", 8, 4);
    const std::string other = writeMap("b.bmp", 8, 4);
    open(path);
    host.save = true;
    s.gstrResultName = dir.file("a_8x8_MF-50_B-0.bmp");

    t.prompter.fileNames = {other};
    host.overwriteAnswers = {"7"};
    EXPECT_FALSE(mnuFileSaveAs_Click(host));
    EXPECT_EQ(s.gstrImageFile, path) << "declined: Redraw and Save keep the opened files";
    EXPECT_EQ(host.doc.dialogFileName, path);
    EXPECT_TRUE(host.save);
    EXPECT_EQ(t.prompter.shown.back().text, s.gstrResultName) << "the save dialog offers the result name";

    t.prompter.fileNames = {s.gstrResultName};
    EXPECT_TRUE(mnuFileSaveAs_Click(host));
    EXPECT_EQ(s.gstrImageFile, dir.file("a_8x8_MF-50_B-0.bmp"));
    EXPECT_EQ(s.gstrContourFile, dir.file("a_8x8_MF-50_B-0CL.bmp"));
    EXPECT_EQ(host.doc.dialogFileName, s.gstrImageFile);
    EXPECT_TRUE(std::filesystem::exists(s.gstrContourFile));
    EXPECT_FALSE(host.save);
}

TEST_F(FileCommands, AFailedSaveKeepsTheUnsavedMark) {
    open(writeMap("a.bmp", 8, 4));
    host.save = true;
    t.prompter.fileNames = {dir.file("missing/out.bmp")};
    t.prompter.answers = {mb::Ignore};
    EXPECT_FALSE(mnuFileSaveAs_Click(host));
    EXPECT_EQ(lastBox().title, "Morv: RUNTIME ERROR");
    EXPECT_TRUE(host.save);
    EXPECT_EQ(s.gstrImageFile, dir.file("a.bmp"));
}

TEST_F(FileCommands, CloseAnswersWithUnsavedChanges) {
    const std::string path = writeMap("a.bmp", 8, 4);
    open(path);
    host.save = true;

    t.prompter.answers = {mb::Cancel};
    EXPECT_FALSE(mnuFileClose_Click(host));
    EXPECT_TRUE(host.pictureWindow);

    t.prompter.answers = {mb::Yes};
    t.prompter.fileNames = {""};
    EXPECT_FALSE(mnuFileClose_Click(host)) << "Yes, then Cancel in the save dialog: nothing saved, nothing lost";
    EXPECT_TRUE(host.pictureWindow);
    EXPECT_EQ(s.gstrImageFile, path);

    t.prompter.answers = {mb::Yes};
    t.prompter.fileNames = {dir.file("kept.bmp")};
    EXPECT_TRUE(mnuFileClose_Click(host));
    EXPECT_TRUE(std::filesystem::exists(dir.file("kept.bmp")));
    EXPECT_TRUE(std::filesystem::exists(dir.file("keptCL.bmp")));
    EXPECT_FALSE(host.pictureWindow);
    EXPECT_EQ(s.gstrImageFile, "");
    EXPECT_FALSE(s.gblnClosing);
}

TEST_F(FileCommands, ContourlessImageSavesAWhiteContourImage) {
    const std::string path = writeMap("lone.bmp", 4, 2, false);
    t.prompter.answers = {mb::Yes};
    open(path);
    host.save = true;
    t.prompter.fileNames = {dir.file("out.bmp")};
    EXPECT_TRUE(mnuFileSaveAs_Click(host));
    const auto contour = loadPictureFile(dir.file("outCL.bmp"));
    EXPECT_EQ(contour->width(), 4);
    EXPECT_EQ(contour->pixel(3, 1), 0xFFFFFF);
}

}  // namespace
}  // namespace morv
