#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <random>
#include <iterator>

#include "core/RuntimeError.h"
#include "io/BmpCodec.h"
#include "io/ImageIO.h"

namespace morv::test {

int ScriptedPrompter::msgBox(std::string_view text, int style, std::string_view title) {
    shown.push_back({"msgBox", std::string(text), style, std::string(title)});
    if (answers.empty()) {
        ADD_FAILURE() << "unexpected message box \"" << title << "\": " << text;
        return mb::Cancel;
    }
    const int a = answers.front();
    answers.pop_front();
    return a;
}

/// Records a file dialog of kind and answers it with the next queued name.
static std::string nextFileName(ScriptedPrompter& p, const char* kind, std::string_view initial) {
    p.shown.push_back({kind, std::string(initial), 0, {}});
    if (p.fileNames.empty()) {
        ADD_FAILURE() << "unexpected " << kind << " dialog";
        return {};
    }
    std::string f = p.fileNames.front();
    p.fileNames.pop_front();
    return f;
}

std::string ScriptedPrompter::openFileName(std::string_view, int, std::string_view initial) {
    return nextFileName(*this, "open", initial);
}

std::vector<std::string> ScriptedPrompter::openFileNames(std::string_view filter, int filterIndex,
                                                        std::string_view initial) {
    if (fileLists.empty()) return Prompter::openFileNames(filter, filterIndex, initial);
    shown.push_back({"open", std::string(initial), 0, {}});
    std::vector<std::string> chosen = std::move(fileLists.front());
    fileLists.pop_front();
    return chosen;
}

std::string ScriptedPrompter::saveFileName(std::string_view initial) { return nextFileName(*this, "save", initial); }

std::string ScriptedPrompter::saveFileNameOfType(std::string_view initial, const std::vector<std::string>& types,
                                                 int& typeIndex) {
    saveTypesOffered = types;
    saveTypePreselected = typeIndex;
    if (!saveTypes.empty()) {
        typeIndex = saveTypes.front();
        saveTypes.pop_front();
    }
    return saveFileName(initial);
}

TestApp::TestApp() {
    app.prompter = &prompter;
    app.endProgram = [] { throw ProgramEnded{}; };
}

void RecordingHost::setGroundLevelValue(int v) {
    events.push_back("ground " + std::to_string(v));
    m_app.session.gintGroundLevel = std::int16_t(v);
    m_app.session.glngGroundColor = fcnGrayColor(v);
}

std::shared_ptr<HeightImage> RecordingHost::loadPicture(const std::string& path) {
    events.push_back("load " + path);
    auto it = files.find(path);
    if (it == files.end()) return loadPictureFile(path);
    return std::make_shared<HeightImage>(it->second);
}

void HostTest::expectIdle() const {
    EXPECT_FALSE(s.gblnBusy);
    EXPECT_FALSE(s.gblnDrawing);
    EXPECT_FALSE(s.gblnCancel);
    EXPECT_TRUE(host.controlsEnabled);
    EXPECT_FALSE(host.waitCursor);
    EXPECT_EQ(host.status, "");
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void writeBytes(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

std::size_t entryCount(const std::filesystem::path& folder) {
    return std::size_t(std::distance(std::filesystem::directory_iterator(folder), {}));
}

std::string refusalOf(const std::function<void()>& act) {
    try {
        act();
    } catch (const RuntimeError& e) {
        return std::to_string(e.number()) + ": " + e.description();
    }
    return "none";
}

std::string bmp24Bytes(const HeightImage& image) {
    std::string out;
    writeBmp24(image, [&out](const void* d, std::size_t n) { out.append(static_cast<const char*>(d), n); });
    return out;
}

HeightImage patternImage(int w, int h, bool colour) {
    HeightImage img(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) img.setPixel(x, y, fcnGrayColor((x * 7 + y * 3) & 255));
    if (colour) img.setPixel(w - 1, h - 1, 0x123456);
    return img;
}

std::string contentOf(std::FILE* f) {
    std::rewind(f);
    std::string s;
    char buf[512];
    while (std::size_t n = std::fread(buf, 1, sizeof buf, f)) s.append(buf, n);
    std::fclose(f);
    return s;
}

int inChild(const std::function<void()>& body) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        body();
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return status;
}

HeightImage greyImage(const std::vector<std::vector<int>>& rows) {
    const int h = int(rows.size()), w = h ? int(rows[0].size()) : 0;
    HeightImage img(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) img.setPixel(x, y, fcnGrayColor(rows[std::size_t(y)][std::size_t(x)]));
    return img;
}

int asUnprivilegedUser(const std::function<int()>& body) {
    if (::geteuid() != 0) return body();
    const pid_t child = ::fork();
    if (child < 0) return -1;
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(255);
        ::_exit(body() & 0xFF);
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) == 255) return -1;
    return WEXITSTATUS(status);
}

TempDir::TempDir() {
    std::random_device rd;
    m_path = std::filesystem::temp_directory_path() / ("morv-test-" + std::to_string(rd()) + std::to_string(rd()));
    std::filesystem::create_directories(m_path);
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::permissions(m_path, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(m_path, ec);
}

MapScale mapScale(double pixelMetres, double levelMetres, double baseMetres) {
    MapScale s;
    s.pixelMetres = pixelMetres, s.levelMetres = levelMetres, s.baseMetres = baseMetres;
    return s;
}

HeightImage levelImage(int w, int h, const std::function<int(int, int)>& level) {
    HeightImage img(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) img.setPixel(x, y, fcnGrayColor(level(x, y)));
    return img;
}

}  // namespace morv::test
