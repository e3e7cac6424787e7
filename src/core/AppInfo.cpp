#include "core/AppInfo.h"

#include "morv/Version.h"

namespace morv {

std::string versionText() { return formatVersion(build::kMajor, build::kMinor, build::kRevision); }

std::string releaseVersion() {
    return std::to_string(build::kMajor) + "." + std::to_string(build::kMinor) + "." + std::to_string(build::kRevision);
}

VersionRecord versionRecord() {
    VersionRecord r;
    r.company = "Morv Developers";
    r.title = "Morv";
    r.productName = "Morv";
    r.executable = "morv";
    r.description = "Reshapes grey-scale height maps for Trainz";
    r.copyright = "Copyright (C) Morv Developers";
    r.major = build::kMajor;
    r.minor = build::kMinor;
    r.revision = build::kRevision;
    return r;
}

}  // namespace morv
