#include "commands/SiteCommands.h"

#include <cstdio>

#include "core/Routine.h"

namespace morv {

LevelSitePlan planLevelSite(const Document& doc, const LevelSiteChoice& choice) {
    LevelSitePlan plan;
    const HeightImage& image = *doc.disp.image;
    plan.problem = siteProblem(choice.shape, image.width(), image.height());
    if (!plan.problem.empty()) return plan;
    const UnitAnswer shoulder = pixelsOfLength(choice.shoulder, doc.scale);
    if (!shoulder.problem.empty()) return plan.problem = "shoulder: " + shoulder.problem, plan;
    plan.shoulder = shoulder.value;
    plan.site = siteMaskOf(choice.shape, image.width(), image.height());
    if (choice.height) {
        const UnitAnswer level = levelOfHeight(*choice.height, doc.scale);
        if (!level.problem.empty()) return plan.problem = "height: " + level.problem, plan;
        plan.level = level.value;
    } else {
        plan.level = meanLevelUnder(image, plan.site);
    }
    return plan;
}

std::optional<LevelSiteResult> levelSiteOfMap(const Host& host, const LevelSiteChoice& choice) {
    App& app = host.app();
    Document& doc = host.document();
    Routine r(app, "frmMain.mnuToolsLevelSite_Click");
    LevelSitePlan plan;
    r([&] { plan = planLevelSite(doc, choice); });
    if (!plan.problem.empty()) {
        r([&] {
            std::string text = plan.problem;
            text[0] = char(std::toupper(static_cast<unsigned char>(text[0])));
            showMessage(app, text + ".", mb::OKOnly + mb::Exclamation, "Level Site");
        });
        return std::nullopt;
    }
    std::optional<LevelSiteResult> result;
    r([&] {
        result = levelSite(*doc.disp.image, plan.site, plan.level, plan.shoulder);
        doc.disp.commit();
    });
    if (!result) return std::nullopt;
    r([&] { host.frame.refreshPicture(); });
    r([&] { host.frame.setSaveEnabled(true); });
    return result;
}

std::string levelSiteSummary(const LevelSiteResult& res, const std::optional<MapScale>& scale) {
    std::string line = "levelled " + std::to_string(res.sitePixels) + " pixels to level " + std::to_string(res.level);
    if (scale && scale->knowsHeights()) line += " (" + metresText(scale->metresOfLevel(res.level)) + ")";
    line += " with " + std::to_string(res.shoulderPixels) + " shoulder pixels: " + std::to_string(res.changed) +
            " changed, ";
    char buf[160];
    std::snprintf(buf, sizeof buf, "%lld cut by %.1f levels on average, %lld filled by %.1f", (long long)res.cut,
                  res.meanCut, (long long)res.fill, res.meanFill);
    return line + buf;
}

void setMapScale(const Host& host, const std::optional<MapScale>& scale) {
    Routine r(host.app(), "frmMain.mnuViewMapScale_Click");
    r([&] { host.document().scale = scale; });
    r([&] { host.frame.setSaveEnabled(true); });
}

}  // namespace morv
