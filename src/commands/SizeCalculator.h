#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "core/App.h"
#include "engine/BoardFit.h"

namespace morv {


/// The texts of the size calculator window: its four input fields and its two
/// answer labels (lblAnswer(0) and lblAnswer(1)). The window maps them to its
/// widgets before and after a calculation.
struct CalcFields {
    std::string txtHorzBoards;
    std::string txtVertBoards;
    std::string txtHorzSize;
    std::string txtVertSize;
    std::string lblAnswer0;
    std::string lblAnswer1;
};

/// Reads the number a field text begins with: blanks, tabs and line feeds are
/// skipped wherever they stand; an optional sign, digits, one "." and an optional
/// exponent ("e" or "E", optional sign, digits) are read up to the first character
/// that does not fit. A text without a number reads as 0. A number too large for a
/// double throws RuntimeError(6); one too small reads as 0.
double readNumber(std::string_view text);

/// Converts to a 16-bit integer: nearest whole number, halves to the even one;
/// throws RuntimeError(6) when the result lies outside -32768..32767.
std::int16_t toInteger16(double value);

/// The image side for a number of boards: 8 x floor((144 x n + 1) / 8).
/// Throws RuntimeError(6) when the result is not a finite number.
double boardsToPixels(double boards);

/// The layout side in boards for an image side: floor(s / 144).
double pixelsToBoards(double pixels);

/// A whole number written in plain decimal, without blanks, separators or exponent.
std::string formatWhole(double value);

/// "Your image should be <w>px Wide, by <h>px High to match Trainz image size requirements."
std::string imageSizeAnswer(std::int16_t width, double height);

/// "Your layout should be <bw>bbs Wide, by <bh>bbs High. See Number of Boards answer."
std::string layoutAnswer(double boardsWide, double boardsHigh);

/// The Calculate button: when both board fields hold text, sets the image answer
/// from them; otherwise sets the layout answer and the board fields from the size
/// fields, then the image answer from those. Traced and trapped statement by
/// statement, so that Ignore after an overflow (a width beyond a 16-bit integer,
/// error 6) keeps the texts already set and goes on with the next statement.
/// Traces "frmCalcImgSize.cmdCalc_Click".
void calculateSizes(App& app, CalcFields& fields);

}  // namespace morv
