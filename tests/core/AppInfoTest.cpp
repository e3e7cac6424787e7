#include <gtest/gtest.h>

#include <regex>

#include "core/AppInfo.h"
#include "morv/Version.h"

namespace morv {
namespace {

TEST(AppInfo, VersionTextAndRecordCarryTheBuildsNumbers) {
    EXPECT_TRUE(std::regex_match(versionText(), std::regex(R"(\d{4}\.\d{4}\.\d{4})"))) << versionText();
    EXPECT_EQ(versionText(), formatVersion(build::kMajor, build::kMinor, build::kRevision));
    const VersionRecord r = versionRecord();
    EXPECT_EQ(r.title + r.productName + r.executable, "MorvMorvmorv");
    EXPECT_EQ(formatVersion(r.major, r.minor, r.revision), versionText());
}

}  // namespace
}  // namespace morv
