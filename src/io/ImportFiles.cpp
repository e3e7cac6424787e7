#include "io/ImportFiles.h"

#include <algorithm>

#include "io/Files.h"
#include "io/ImageIO.h"

namespace morv {

std::vector<std::string> importTargets(const std::string& mapPath, const std::string& reportPath) {
    std::vector<std::string> targets{mapPath, contourPathFor(mapPath)};
    if (!reportPath.empty()) targets.push_back(reportPath);
    return targets;
}

void saveImportFiles(const ImportResult& result, const std::string& mapPath, const std::string& reportPath,
                     Existing existing) {
    HeightImage map(result.map.width, result.map.height), contour(result.contour.width, result.contour.height);
    std::copy(result.map.bytes.begin(), result.map.bytes.end(), map.grey());
    std::copy(result.contour.bytes.begin(), result.contour.bytes.end(), contour.grey());
    std::vector<FileContent> report;
    if (!reportPath.empty()) report.push_back({reportPath, reportJson(result.report)});
    savePictureFiles({{&map, mapPath}, {&contour, contourPathFor(mapPath)}}, existing, report);
}

}  // namespace morv
