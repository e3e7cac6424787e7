#pragma once
#include <string>

#include "core/Trace.h"

namespace morv {

/// The program's version as "MMMM.mmmm.rrrr", from the build's project version;
/// this is what start-up puts into gstrVersion.
std::string versionText();

/// The version as both programs' --version and the package give it: "1.2.0".
std::string releaseVersion();

/// The program's version record (company, title, product, executable, description,
/// copyright and version numbers), as the trace log's header shows it.
VersionRecord versionRecord();

}  // namespace morv
