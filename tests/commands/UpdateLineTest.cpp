#include <gtest/gtest.h>

#include <optional>
#include <tuple>

#include "commands/UpdateCheck.h"
#include "support/TestSupport.h"

namespace morv {
namespace {

const std::string kOwn = "0001.0002.0034";
const std::string kNewer = "A new version 0001.0003.0000 is available.";

TEST(UpdateTitle, TakesTheFirstCompleteTitleAsWritten) {
    const std::pair<std::string, std::optional<std::string>> rows[] = {
        {"<html><head><title>0001.0002.0034</title></head>", "0001.0002.0034"},
        {"<HTML><TITLE lang=\"en\">x</TITLE >", "x"},
        {"<title\n>  a b \n</title\t>", "  a b \n"},
        {"<titles>no</titles><title>yes</title>", "yes"},
        {"<title>a</titlex></title>", "a</titlex>"},
        {"<title>0001.<b>0002</b>.0003</title>", "0001.<b>0002</b>.0003"},
        {"<html><body>0001.0002.0034</body></html>", std::nullopt}, {"<title>0001.0002.0034", std::nullopt},
        {"<title", std::nullopt},
    };
    for (const auto& [html, title] : rows) EXPECT_EQ(extractTitle(html), title) << html;
}

TEST(UpdateTitle, OnlyThreeFourDigitPartsAreAVersion) {
    EXPECT_TRUE(isVersionForm("9999.0000.0000"));
    const std::string bad[] = {"1.2.34",         "00001.002.0034",  "0001.0002.00345",    "0001-0002-0034",
                               "000a.0002.0034", " 0001.0002.0034", "0001&#46;0002.0003", {"0001.0002\0.003", 14}};
    for (const std::string& t : bad) EXPECT_FALSE(isVersionForm(t)) << t;
}

TEST(UpdateTitle, EnvironmentOverridesServerEmptyTurnsOff) {
    const char* unset = nullptr;
    const std::tuple<const char*, const char*, std::string> rows[] = {
        {unset, "http://updates.example:8080/", "http://updates.example:8080"},
        {"http://127.0.0.1:8080//", "http://updates.example", "http://127.0.0.1:8080"},
        {"", "http://updates.example", ""},
        {unset, "", ""},
        {"https://127.0.0.1:9", "", "https://127.0.0.1:9"},
    };
    for (const auto& [environment, built, server] : rows)
        EXPECT_EQ(updateServerFrom(environment, built), server) << (environment ? environment : "(unset)") << " / " << built;
}

TEST(UpdateTitle, PageHandlerTellsOnlyAVersionTitle) {
    const std::string server = "http://127.0.0.1:8080";
    const std::string page = server + kVersionPagePath;
    const std::tuple<std::string, std::string, std::string> rows[] = {
        {page, " \t0001.0003.0000  ", kNewer},
        {"", "0001.0003.0000", ""}, {"http:///", "0001.0003.0000", ""}, {server + kClearPagePath, "0001.0003.0000", ""},
        {page, kNotFoundTitle, ""}, {page, " Navigation Cancelled ", ""}, {page, "1.3.0", ""},
    };
    test::TestApp t;
    t.app.session.gstrVersion = kOwn;
    for (const auto& [address, title, line] : rows)
        EXPECT_EQ(updateLineFor(t.app, {address, title}, server), line) << address << " " << title;
}

}  // namespace
}  // namespace morv
