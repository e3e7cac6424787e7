#include "commands/SizeCalculator.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "core/Routine.h"
#include "core/RuntimeError.h"

namespace morv {

namespace {

bool isSkipped(char c) { return c == ' ' || c == '\t' || c == '\n'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

/// The characters of a text without its blanks, tabs and line feeds.
std::string withoutBlanks(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        if (!isSkipped(c)) out.push_back(c);
    return out;
}

}  // namespace

double readNumber(std::string_view text) {
    const std::string s = withoutBlanks(text);
    std::size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    std::string whole, fraction;
    while (i < s.size() && isDigit(s[i])) whole.push_back(s[i++]);
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && isDigit(s[i])) fraction.push_back(s[i++]);
    }
    if (whole.empty() && fraction.empty()) return 0.0;

    // The exponent counts only when at least one digit follows its letter and sign.
    long long exponent = 0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        std::size_t j = i + 1;
        bool expNegative = false;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) expNegative = s[j++] == '-';
        if (j < s.size() && isDigit(s[j])) {
            for (; j < s.size() && isDigit(s[j]); ++j)
                if (exponent < 1'000'000'000) exponent = exponent * 10 + (s[j] - '0');
            if (expNegative) exponent = -exponent;
        }
    }

    const auto firstNonZero = (whole + fraction).find_first_not_of('0');
    if (firstNonZero == std::string::npos) return 0.0;
    // Decimal order of the leading significant digit: 0 for 1..9, -1 for 0.1..0.9.
    const long long order = static_cast<long long>(whole.size()) - 1 - static_cast<long long>(firstNonZero) + exponent;
    if (order > 400) throw RuntimeError(err::Overflow);
    if (order < -400) return 0.0;

    std::string canonical = negative ? "-" : "";
    canonical += whole.empty() ? "0" : whole;
    if (!fraction.empty()) {
        canonical.push_back('.');
        canonical += fraction;
    }
    canonical.push_back('e');
    canonical += std::to_string(exponent);
    double value = 0.0;
    const auto [end, ec] = std::from_chars(canonical.data(), canonical.data() + canonical.size(), value);
    (void)end;
    if (ec == std::errc::result_out_of_range) {
        if (order < 0) return 0.0;
        throw RuntimeError(err::Overflow);
    }
    if (ec != std::errc()) return 0.0;
    return value;
}

std::int16_t toInteger16(double value) {
    if (!std::isfinite(value)) throw RuntimeError(err::Overflow);
    const double whole = std::nearbyint(value);
    if (whole < -32768.0 || whole > 32767.0) throw RuntimeError(err::Overflow);
    return static_cast<std::int16_t>(whole);
}

double boardsToPixels(double boards) {
    double p = double(kPixelsPerBoard) * boards + 1.0;
    p = 8.0 * std::floor(p / 8.0);
    if (!std::isfinite(p)) throw RuntimeError(err::Overflow);
    return p + 0.0;
}

double pixelsToBoards(double pixels) {
    const double b = std::floor(pixels / double(kPixelsPerBoard));
    if (!std::isfinite(b)) throw RuntimeError(err::Overflow);
    return b + 0.0;
}

std::string formatWhole(double value) {
    if (!std::isfinite(value)) throw RuntimeError(err::Overflow);
    const double v = std::trunc(value) + 0.0;  // no "-0"
    if (std::fabs(v) < 9.0e15) return std::to_string(static_cast<long long>(v));
    char buf[400];
    std::snprintf(buf, sizeof buf, "%.0f", v);
    return buf;
}

std::string imageSizeAnswer(std::int16_t width, double height) {
    return "Your image should be " + std::to_string(width) + "px Wide, by " + formatWhole(height) +
           "px High to match Trainz image size requirements.";
}

std::string layoutAnswer(double boardsWide, double boardsHigh) {
    return "Your layout should be " + formatWhole(boardsWide) + "bbs Wide, by " + formatWhole(boardsHigh) +
           "bbs High. See Number of Boards answer.";
}

void calculateSizes(App& app, CalcFields& f) {
    Routine r(app, "frmCalcImgSize.cmdCalc_Click");
    bool fromBoards = false;
    r([&] { fromBoards = !f.txtHorzBoards.empty() && !f.txtVertBoards.empty(); });
    if (!fromBoards) {
        double bw = 0.0, bh = 0.0;
        r([&] { bw = pixelsToBoards(readNumber(f.txtHorzSize)); });
        r([&] { bh = pixelsToBoards(readNumber(f.txtVertSize)); });
        r([&] { f.lblAnswer1 = layoutAnswer(bw, bh); });
        r([&] { f.txtHorzBoards = formatWhole(bw); });
        r([&] { f.txtVertBoards = formatWhole(bh); });
    }
    std::int16_t w = 0;
    double h = 0.0;
    r([&] { w = toInteger16(boardsToPixels(readNumber(f.txtHorzBoards))); });
    r([&] { h = boardsToPixels(readNumber(f.txtVertBoards)); });
    r([&] { f.lblAnswer0 = imageSizeAnswer(w, h); });
}

}  // namespace morv
