#pragma once
#include <string>
#include <vector>

#include "io/ElevationImport.h"
#include "io/SafeWrite.h"

namespace morv {

/// The files an import writes, in the order they are named: the height map, its
/// contour image (CL before the extension) and, when reportPath is not empty, the
/// report.
std::vector<std::string> importTargets(const std::string& mapPath, const std::string& reportPath);

/// Writes what an import made as one set: the height map and its contour image as
/// 24-bit BMP and, when reportPath is not empty, the report as JSON. Either every
/// file is the new one or none changed, also when the process is killed meanwhile
/// (see commitAll). With Existing::Refuse a target that exists when the set is
/// committed, even one made while the import ran, throws TargetExists and nothing
/// is written. Throws RuntimeError (53, 61, 75, 7 naming the file).
void saveImportFiles(const ImportResult& result, const std::string& mapPath, const std::string& reportPath,
                     Existing existing);

}  // namespace morv
