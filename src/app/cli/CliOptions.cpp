#include "app/cli/CliOptions.h"

#include <charconv>
#include <cstdio>

namespace morv::cli {

namespace {

/// A whole number lo..hi written with digits only.
bool readWhole(const std::string& text, int lo, int hi, int& out) {
    if (text.empty() || text.size() > 6) return false;
    int v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || text[0] == '-' || v < lo || v > hi) return false;
    out = v;
    return true;
}

}  // namespace

std::string oneLine(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        } else {
            out += char(c);
        }
    }
    return out;
}

std::string usageText() {
    return "Usage: morv-cli redraw INPUT [options]\n"
           "       morv-cli info INPUT\n"
           "\n"
           "Reshapes a grey-scale height map (BMP or JPG) and its contour image INPUT-CL.\n"
           "\n"
           "redraw options:\n"
           "  --ground N        ground level, whole number 0..255 (default 128)\n"
           "  --calc-base       set the ground level from INPUT's contour image (overrides --ground)\n"
           "  --flatten P       mountains: flatten by P percent (0..100)\n"
           "  --lower P         mountains: lower by P percent\n"
           "  --fill P          valleys: fill by P percent (0..100)\n"
           "  --invert P        valleys: invert by P percent\n"
           "  --scale-up        scale the mountains up to 255\n"
           "  --blur N          blur amount 0..48 (0: no blur)\n"
           "  --contours        draw new contours after the passes and the blur\n"
           "  -o, --output PATH where to write the height image (default: the result name)\n"
           "  --force           replace existing output files\n"
           "\n"
           "info prints width, height, high, low, contour and base, one \"key: value\" a line.\n"
           "\n"
           "  -h, --help        show this help\n"
           "  --version         show the version\n"
           "\n"
           "Exit status: 0 success, 1 failure, 2 bad usage.\n";
}

Parsed parseArguments(const std::vector<std::string>& args) {
    Options o;
    Parsed bad;
    auto fail = [&](std::string message) {
        bad.error = std::move(message);
        return bad;
    };
    for (const std::string& a : args) {
        if (a == "-h" || a == "--help") {
            o.command = Command::Help;
            return {o, {}};
        }
        if (a == "--version") {
            o.command = Command::Version;
            return {o, {}};
        }
    }
    if (args.empty()) return fail("no command given (try 'morv-cli --help')");
    const std::string& cmd = args[0];
    if (cmd == "redraw") o.command = Command::Redraw;
    else if (cmd == "info") o.command = Command::Info;
    else return fail("unknown command '" + oneLine(cmd) + "' (try 'morv-cli --help')");

    bool haveInput = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        std::string a = args[i];
        std::string value;
        bool inlineValue = false;
        if (a.rfind("--", 0) == 0) {
            const auto eq = a.find('=');
            if (eq != std::string::npos) {
                value = a.substr(eq + 1);
                a = a.substr(0, eq);
                inlineValue = true;
            }
        }
        auto takeValue = [&](std::string& out) {
            if (inlineValue) {
                out = value;
                return true;
            }
            if (i + 1 >= args.size()) return false;
            out = args[++i];
            return true;
        };
        auto number = [&](const char* name, int lo, int hi, int& out) -> std::string {
            std::string v;
            if (!takeValue(v)) return std::string(name) + " needs a value";
            if (!readWhole(v, lo, hi, out))
                return std::string(name) + " takes a whole number from " + std::to_string(lo) + " to " + std::to_string(hi) +
                       ", not '" + oneLine(v) + "'";
            return {};
        };
        auto flag = [&]() -> std::string { return inlineValue ? oneLine(a) + " takes no value" : std::string(); };

        std::string problem;
        const bool redrawOnly = a != "--" && a.rfind("-", 0) == 0;
        if (redrawOnly && o.command == Command::Info) return fail("info takes no option " + oneLine(a));
        if (a == "--ground") {
            problem = number("--ground", 0, 255, o.ground);
        } else if (a == "--calc-base") {
            problem = flag();
            o.calcBase = true;
        } else if (a == "--flatten" || a == "--lower") {
            if (o.mountains) return fail("use at most one of --flatten and --lower");
            o.mountains = a == "--flatten" ? MountainMode::Flatten : MountainMode::Lower;
            problem = number(a.c_str(), 0, 100, o.mountainsPercent);
        } else if (a == "--fill" || a == "--invert") {
            if (o.valleys) return fail("use at most one of --fill and --invert");
            o.valleys = a == "--fill" ? ValleyMode::Fill : ValleyMode::Invert;
            problem = number(a.c_str(), 0, 100, o.valleysPercent);
        } else if (a == "--scale-up") {
            problem = flag();
            o.scaleUp = true;
        } else if (a == "--blur") {
            problem = number("--blur", 0, 48, o.blur);
        } else if (a == "--contours") {
            problem = flag();
            o.contours = true;
        } else if (a == "-o" || a == "--output") {
            if (!takeValue(o.output) || o.output.empty()) problem = oneLine(a) + " needs a path";
        } else if (a == "--force") {
            problem = flag();
            o.force = true;
        } else if (a.size() > 1 && a[0] == '-') {
            problem = "unknown option '" + oneLine(a) + "'";
        } else {
            if (haveInput) return fail("more than one INPUT given ('" + oneLine(o.input) + "' and '" + oneLine(a) + "')");
            o.input = a;
            haveInput = true;
        }
        if (!problem.empty()) return fail(problem);
    }
    if (!haveInput || o.input.empty()) return fail(oneLine(cmd) + " needs an INPUT height map");
    if (o.command == Command::Redraw && !o.mountains && !o.valleys && !o.scaleUp)
        return fail("no task: give --flatten, --lower, --fill, --invert or --scale-up");
    return {o, {}};
}

}  // namespace morv::cli
