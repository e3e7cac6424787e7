#pragma once
#include <cstdint>

#include "commands/Host.h"

namespace morv {

/// Prepares the blur for the height display's current picture; traces "frmMain.LoadBlurData".
void prepareBlur(const Host& host);

/// Releases what the blur prepared for the open image (File > Close).
void releaseBlur(const Host& host);

/// Blurs the height display by the blur bar's amount and commits the result;
/// traces "frmMain.ApplyBlur".
void applyBlur(const Host& host);

/// Blurs the height display prepared by prepareBlur by amount iterations, with a
/// progress text after each iteration when amount > 1 and a yield after every one;
/// cannot be cancelled. Clears the status bar at its end. Traces "frmMain.blur".
void runBlur(const Host& host, std::int16_t amount);

}  // namespace morv
