#include "app/cli/GradeCommand.h"

#include <charconv>
#include <cmath>

#include "app/cli/CliOptions.h"
#include "app/cli/ImportCommand.h"
#include "app/cli/OutputNames.h"

namespace morv::cli {

namespace {

/// A decimal number, all of text.
bool readNumber(const std::string& text, double& out) {
    if (text.empty()) return false;
    const char* first = text.data() + (text[0] == '+' ? 1 : 0);
    const auto [end, ec] = std::from_chars(first, text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size() && std::isfinite(out);
}

/// Two numbers "A<sep>B".
bool readPair(const std::string& text, char sep, double& a, double& b) {
    const auto at = text.find(sep);
    return at != std::string::npos && readNumber(text.substr(0, at), a) && readNumber(text.substr(at + 1), b);
}

}  // namespace

std::string gradeUsageText() {
    return "grade cuts and fills a track's corridor to a formation that follows the terrain\n"
           "as closely as the steepest grade allowed and the fixed heights let it, and reports\n"
           "length, grades, cut and fill.\n"
           "\n"
           "grade options:\n"
           "  MAP               the height map; its metres per pixel and per level must be known\n"
           "  --track FILE      the track: the first track or route of a GPX file, or the first\n"
           "                    line of a GeoJSON or KML file (the map needs a coordinate system)\n"
           "  --path X,Y X,Y... the track in pixels instead, two points or more\n"
           "  --width M         the formation's width in metres\n"
           "  --shoulder M      the band each side, in metres, that blends into the terrain\n"
           "  --max-grade P     the steepest grade allowed, percent (2.5)\n"
           "  --fix DIST:HEIGHT hold the formation at HEIGHT metres DIST metres along (repeatable)\n"
           "  --curve M         length of the vertical curves joining two grades (default 100)\n"
           "  -o, --output PATH the graded map (.bmp added if no extension)\n"
           "  --contours        also draw its contour image afresh (CL before the extension)\n"
           "  --profile FILE    a PNG picture of the terrain and formation against distance\n"
           "  --table FILE      the spline-height table, CSV: distance, x, y, (longitude,\n"
           "                    latitude,) height in metres\n"
           "  --every M         metres between the table's rows (default 50)\n"
           "  --report FILE     also write the report as JSON\n"
           "  --pixel-metres M, --level-metres M, --base-metres M\n"
           "                    the map's scale, when it carries none\n"
           "  --force           replace existing output files\n"
           "  -q, --quiet       print only the paths written and failures\n";
}

GradeParsed parseGradeArguments(const std::vector<std::string>& args) {
    GradeArgs r;
    auto fail = [](std::string message) { return GradeParsed{std::nullopt, std::move(message)}; };
    bool widthGiven = false, shoulderGiven = false, gradeGiven = false, pathGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string a = args[i], value;
        bool inlineValue = false;
        if (a.rfind("--", 0) == 0) {
            if (const auto eq = a.find('='); eq != std::string::npos)
                value = a.substr(eq + 1), a = a.substr(0, eq), inlineValue = true;
        }
        auto take = [&]() {
            if (inlineValue) return true;
            if (i + 1 >= args.size()) return false;
            value = args[++i];
            return true;
        };
        auto needs = [&](const std::string& what) { return fail(oneLine(a) + " needs " + what); };
        auto notA = [&](const std::string& what) { return fail(oneLine(a) + " takes " + what + ", not '" + oneLine(value) + "'"); };
        // A length in metres (above 0, or 0 too when zeroAllowed).
        auto metres = [&](double& out, bool zeroAllowed) {
            return take() && readNumber(value, out) && (out > 0 || (zeroAllowed && out == 0));
        };
        double m = 0;
        if (a == "-h" || a == "--help") {
            r.help = true;
        } else if (a == "--track") {
            if (!take() || value.empty()) return needs("a GPX, GeoJSON or KML file");
            r.track = value;
        } else if (a == "--path") {
            // The points follow as words of their own, or in one word separated by blanks.
            if (!take()) return needs("X,Y points in pixels");
            pathGiven = true;
            std::vector<std::string> words;
            for (std::size_t from = 0; from <= value.size();) {
                const std::size_t to = std::min(value.find(' ', from), value.size());
                if (to > from) words.push_back(value.substr(from, to - from));
                from = to + 1;
            }
            while (!inlineValue && i + 1 < args.size() && !args[i + 1].empty() && args[i + 1][0] != '-' &&
                   args[i + 1].find(',') != std::string::npos)
                words.push_back(args[++i]);
            for (const std::string& w : words) {
                double x = 0, y = 0;
                if (!readPair(w, ',', x, y)) return fail("--path takes X,Y points in pixels, not '" + oneLine(w) + "'");
                r.request.line.push_back({x, y});
            }
        } else if (a == "--width") {
            if (!metres(r.request.corridor.widthMetres, false)) return notA("a width in metres above 0");
            widthGiven = true;
        } else if (a == "--shoulder") {
            if (!metres(r.request.corridor.shoulderMetres, true)) return notA("a width in metres, 0 or more");
            shoulderGiven = true;
        } else if (a == "--max-grade") {
            if (!take()) return needs("a percentage");
            std::string p = value;
            if (!p.empty() && p.back() == '%') p.pop_back();
            if (!readNumber(p, m) || !(m > 0) || m > 100) return notA("a percentage above 0 and at most 100");
            r.request.profile.maxGrade = m / 100;
            gradeGiven = true;
        } else if (a == "--fix") {
            double d = 0, h = 0;
            if (!take()) return needs("DIST:HEIGHT in metres");
            if (!readPair(value, ':', d, h) || d < 0) return notA("DIST:HEIGHT in metres, DIST 0 or more");
            r.request.profile.fixes.push_back({d, h});
        } else if (a == "--curve") {
            if (!metres(r.request.profile.curveMetres, true)) return notA("a length in metres, 0 or more");
        } else if (a == "--every") {
            if (!metres(r.every, false)) return notA("a distance in metres above 0");
        } else if (a == "-o" || a == "--output" || a == "--profile" || a == "--table" || a == "--report") {
            std::string& target = a == "--profile" ? r.profile : a == "--table" ? r.table : a == "--report" ? r.report : r.output;
            if (!take() || value.empty()) return needs("a path");
            target = value;
        } else if (a == "--pixel-metres" || a == "--level-metres") {
            if (!metres(m, false)) return notA("metres above 0");
            (a == "--pixel-metres" ? r.pixelMetres : r.levelMetres) = m;
        } else if (a == "--base-metres") {
            if (!take() || !readNumber(value, m)) return notA("a height in metres");
            r.baseMetres = m;
        } else if (a == "--contours" || a == "--force" || a == "--quiet" || a == "-q") {
            if (inlineValue) return fail(oneLine(a) + " takes no value");
            (a == "--contours" ? r.request.redrawContours : a == "--force" ? r.force : r.quiet) = true;
        } else if (a.size() > 1 && a[0] == '-' && a != "--") {
            return fail("unknown option '" + oneLine(a) + "'");
        } else if (a != "--") {
            if (!r.map.empty()) return fail("grade takes one MAP; '" + oneLine(a) + "' is a second");
            r.map = a;
        }
    }
    if (r.help) return {r, {}};
    if (r.map.empty()) return fail("grade needs a MAP");
    if (r.track.empty() == !pathGiven) return fail("grade needs either --track FILE or --path X,Y X,Y...");
    if (!widthGiven) return fail("grade needs --width M, the formation's width in metres");
    if (!shoulderGiven) return fail("grade needs --shoulder M, the blending band's width in metres");
    if (!gradeGiven) return fail("grade needs --max-grade P, the steepest grade in percent");
    if (r.output.empty()) return fail("grade needs -o OUT, the graded map");
    const OutputChoice choice = chooseOutput(r.output);
    if (!choice.error.empty()) return fail(choice.error);
    r.output = choice.path;
    return {r, {}};
}

int launchGrade(const std::vector<std::string>& args) {
    return launchHelper(MORV_GRADE_HELPER, "morv-grade", "grade", args);
}

}  // namespace morv::cli
