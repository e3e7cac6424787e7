#include <gtest/gtest.h>

#include <regex>

#include "core/AppInfo.h"
#include "morv/Version.h"

namespace morv {
namespace {

TEST(AppInfo, VersionTextIsTheBuildsVersionZeroPadded) {
    EXPECT_TRUE(std::regex_match(versionText(), std::regex(R"(\d{4}\.\d{4}\.\d{4})"))) << versionText();
    EXPECT_EQ(versionText(), formatVersion(build::kMajor, build::kMinor, build::kRevision));
}

TEST(AppInfo, VersionRecordNamesTheProgramAndCarriesTheSameNumbers) {
    const VersionRecord r = versionRecord();
    EXPECT_EQ(r.title, "Morv");
    EXPECT_EQ(r.productName, "Morv");
    EXPECT_EQ(r.executable, "morv");
    EXPECT_FALSE(r.company.empty());
    EXPECT_FALSE(r.description.empty());
    EXPECT_FALSE(r.copyright.empty());
    EXPECT_EQ(formatVersion(r.major, r.minor, r.revision), versionText());
}

}  // namespace
}  // namespace morv
