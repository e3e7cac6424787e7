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

namespace {

/// The arguments read one at a time, an option's value either inline
/// ("--flatten=40") or as the next argument.
class ArgumentReader {
public:
    explicit ArgumentReader(const std::vector<std::string>& args) : m_args(args) {}

    /// Moves to the next argument; false at the end.
    bool next() {
        if (++m_at >= m_args.size()) return false;
        m_name = m_args[m_at];
        m_value.clear();
        m_inline = false;
        if (m_name.rfind("--", 0) == 0) {
            if (const auto eq = m_name.find('='); eq != std::string::npos) {
                m_value = m_name.substr(eq + 1);
                m_name = m_name.substr(0, eq);
                m_inline = true;
            }
        }
        return true;
    }
    /// The argument, less an inline value.
    const std::string& name() const { return m_name; }
    /// The option's value: the inline one, or the next argument. False when there is none.
    bool takeValue(std::string& out) {
        if (m_inline) {
            out = m_value;
            return true;
        }
        if (m_at + 1 >= m_args.size()) return false;
        out = m_args[++m_at];
        return true;
    }
    /// A whole number lo..hi as the option's value; the problem, or "" when it was read.
    std::string number(int lo, int hi, int& out) {
        std::string v;
        if (!takeValue(v)) return m_name + " needs a value";
        if (!readWhole(v, lo, hi, out))
            return m_name + " takes a whole number from " + std::to_string(lo) + " to " + std::to_string(hi) +
                   ", not '" + oneLine(v) + "'";
        return {};
    }
    /// A switch: the problem when it was given a value, else "".
    std::string flag() const { return m_inline ? oneLine(m_name) + " takes no value" : std::string(); }

private:
    const std::vector<std::string>& m_args;
    std::size_t m_at = 0;  // the command is argument 0
    std::string m_name, m_value;
    bool m_inline = false;
};

/// Help or version anywhere wins over everything else.
std::optional<Command> helpOrVersion(const std::vector<std::string>& args) {
    for (const std::string& a : args) {
        if (a == "-h" || a == "--help") return Command::Help;
        if (a == "--version") return Command::Version;
    }
    return std::nullopt;
}

/// Reads one redraw option into o; returns the problem, or "" when it was read.
/// Sets known to false when the argument is not an option of redraw's.
std::string readRedrawOption(ArgumentReader& in, Options& o, bool& known) {
    const std::string& a = in.name();
    known = true;
    if (a == "--ground") return in.number(0, 255, o.ground);
    if (a == "--calc-base") {
        o.calcBase = true;
        return in.flag();
    }
    if (a == "--flatten" || a == "--lower") {
        if (o.mountains) return "use at most one of --flatten and --lower";
        o.mountains = a == "--flatten" ? MountainMode::Flatten : MountainMode::Lower;
        return in.number(0, 100, o.mountainsPercent);
    }
    if (a == "--fill" || a == "--invert") {
        if (o.valleys) return "use at most one of --fill and --invert";
        o.valleys = a == "--fill" ? ValleyMode::Fill : ValleyMode::Invert;
        return in.number(0, 100, o.valleysPercent);
    }
    if (a == "--scale-up") {
        o.scaleUp = true;
        return in.flag();
    }
    if (a == "--blur") return in.number(0, 48, o.blur);
    if (a == "--contours") {
        o.contours = true;
        return in.flag();
    }
    if (a == "-o" || a == "--output") {
        if (!in.takeValue(o.output) || o.output.empty()) return oneLine(a) + " needs a path";
        return {};
    }
    if (a == "--force") {
        o.force = true;
        return in.flag();
    }
    known = false;
    return {};
}

/// What is wrong with the options once all are read, or "".
std::string checkComplete(const Options& o, bool haveInput, const std::string& cmd) {
    if (!haveInput || o.input.empty()) return oneLine(cmd) + " needs an INPUT height map";
    if (o.command == Command::Redraw && !o.mountains && !o.valleys && !o.scaleUp)
        return "no task: give --flatten, --lower, --fill, --invert or --scale-up";
    return {};
}

}  // namespace

Parsed parseArguments(const std::vector<std::string>& args) {
    Options o;
    auto fail = [](std::string message) { return Parsed{std::nullopt, std::move(message)}; };
    if (const auto early = helpOrVersion(args)) {
        o.command = *early;
        return {o, {}};
    }
    if (args.empty()) return fail("no command given (try 'morv-cli --help')");
    const std::string& cmd = args[0];
    if (cmd == "redraw") o.command = Command::Redraw;
    else if (cmd == "info") o.command = Command::Info;
    else return fail("unknown command '" + oneLine(cmd) + "' (try 'morv-cli --help')");

    bool haveInput = false;
    ArgumentReader in(args);
    while (in.next()) {
        const std::string& a = in.name();
        const bool optionLike = a != "--" && a.rfind("-", 0) == 0;
        if (optionLike && o.command == Command::Info) return fail("info takes no option " + oneLine(a));
        bool known = false;
        const std::string problem = readRedrawOption(in, o, known);
        if (!problem.empty()) return fail(problem);
        if (known) continue;
        if (a.size() > 1 && a[0] == '-') return fail("unknown option '" + oneLine(a) + "'");
        if (haveInput) return fail("more than one INPUT given ('" + oneLine(o.input) + "' and '" + oneLine(a) + "')");
        o.input = a;
        haveInput = true;
    }
    if (const std::string problem = checkComplete(o, haveInput, cmd); !problem.empty()) return fail(problem);
    return {o, {}};
}

}  // namespace morv::cli
