#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <random>
#include <sstream>

#include "core/RuntimeError.h"
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

std::string ScriptedPrompter::openFileName(std::string_view, int, std::string_view initial) {
    shown.push_back({"open", std::string(initial), 0, {}});
    if (fileNames.empty()) {
        ADD_FAILURE() << "unexpected open dialog";
        return {};
    }
    std::string f = fileNames.front();
    fileNames.pop_front();
    return f;
}

std::vector<std::string> ScriptedPrompter::openFileNames(std::string_view filter, int filterIndex,
                                                        std::string_view initial) {
    if (fileLists.empty()) return Prompter::openFileNames(filter, filterIndex, initial);
    shown.push_back({"open", std::string(initial), 0, {}});
    std::vector<std::string> chosen = std::move(fileLists.front());
    fileLists.pop_front();
    return chosen;
}

std::string ScriptedPrompter::saveFileName(std::string_view initial) {
    shown.push_back({"save", std::string(initial), 0, {}});
    if (fileNames.empty()) {
        ADD_FAILURE() << "unexpected save dialog";
        return {};
    }
    std::string f = fileNames.front();
    fileNames.pop_front();
    return f;
}

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

OverwriteAnswer RecordingHost::askOverwrite() {
    events.push_back("ask overwrite");
    if (overwriteAnswers.empty()) {
        ADD_FAILURE() << "unexpected overwrite question";
        return OverwriteAnswer::Cancel;
    }
    const OverwriteAnswer a = overwriteAnswers.front();
    overwriteAnswers.pop_front();
    return a;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
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

}  // namespace morv::test
