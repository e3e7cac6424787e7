#include "commands/AssetCommands.h"

#include <optional>
#include <vector>

#include "core/Routine.h"
#include "io/AssetFolder.h"
#include "io/Files.h"

namespace morv {

namespace {

std::string fileNameOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace

std::string assetNameFor(const Session& s) {
    const std::string name = fileNameOf(s.gstrResultName.empty() ? s.gstrImageFile : s.gstrResultName);
    const auto dot = name.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

bool exportAsset(const Host& host) {
    App& app = host.app();
    Session& s = app.session;
    Routine r(app, "frmMain.mnuFileExportAsset_Click");
    std::optional<AssetChoice> chosen;
    r([&] { chosen = host.frame.askAsset({folderOf(s.gstrImageFile), assetNameFor(s), "", "", s.gintGroundLevel}); });
    if (!chosen || chosen->folder.empty()) return false;
    // The window refuses these already; a choice from elsewhere is held to the same rules.
    for (const std::string& problem :
         {assetNameProblem(chosen->name), chosen->userId.empty() ? std::string() : userIdProblem(chosen->userId),
          chosen->contentId.empty() ? std::string() : contentIdProblem(chosen->contentId),
          chosen->ground >= 0 && chosen->ground <= 255 ? std::string() : "The ground level must be 0 to 255."})
        if (!problem.empty()) {
            r([&] { showMessage(app, problem, mb::OKOnly + mb::Exclamation, "Export Asset"); });
            return false;
        }
    std::string folder = chosen->folder;
    if (folder.back() != '/') folder += '/';
    const std::string& name = chosen->name;
    AssetBrush brush;
    if (!chosen->userId.empty()) brush.kuid.user = chosen->userId;
    brush.kuid.content = chosen->contentId;
    brush.ground = chosen->ground;
    if (const auto& scale = host.document().scale) brush.levelMetres = scale->levelMetres;

    std::string present;
    r([&] {
        const AssetFiles files = assetFileNames(name);
        for (const std::string& file : {files.image, files.thumbnail, files.config})
            if (fileExists(app, folder + file)) present += (present.empty() ? "" : ", ") + file;
    });
    if (!present.empty()) {
        int answer = mb::No;
        r([&] {
            answer = showMessage(app,
                                 "The folder " + folder + " already holds " + present + "." + s.gstrCR2 +
                                     "Do you want to replace them?",
                                 mb::YesNo + mb::Question + mb::DefaultButton2, "Export Asset");
        });
        if (answer != mb::Yes) return false;
    }

    std::string failure;
    r([&] { host.activity.setWaitCursor(true); });
    r([&] {
        try {
            host.document().disp.commit();
            writeAssetFolder(*host.document().disp.image, folder, name, brush);
        } catch (const RuntimeError& e) {
            failure = e.description();
        }
    });
    r([&] { host.activity.setWaitCursor(false); });
    if (!failure.empty()) {
        r([&] {
            showMessage(app,
                        "The asset could not be written." + s.gstrCR2 + failure + s.gstrCR2 +
                            "No file in the folder was changed.",
                        mb::OKOnly + mb::Critical, "Export Asset");
        });
        return false;
    }
    r([&] { host.activity.setStatus("Asset " + name + " written to " + folder); });
    return true;
}

}  // namespace morv
