#pragma once
#include <array>
#include <cstdint>
#include <string>

namespace morv {

/// The process-wide fields every window and command shares. Names, widths and
/// start values are the program's own: results depend on the widths (a single
/// precision mountains fraction, 16-bit levels), so keep them.
struct Session {
    // Run-mode switches, fixed after start-up.
    bool gblnLogging = false;
    bool gblnProgrammerMode = false;

    // Trace bookkeeping.
    std::int16_t gintTraceDepth = 0;
    std::array<std::string, 101> garrRoutineNames{};

    // Operation state.
    bool gblnBusy = false;
    bool gblnDrawing = false;
    bool gblnCancel = false;
    bool gblnOpening = false;
    bool gblnLoading = false;
    bool gblnClosing = false;

    // Options.
    bool gblnOverwriteNotify = true;
    bool gblnScaleUp = false;

    // Terrain settings.
    std::int16_t gintGroundLevel = 128;
    std::int32_t glngGroundColor = 128 * 65793;
    float gsngMountainFactor = 1.0f;   // single precision on purpose: 29 % reads back as 28
    double gdblValleyFactor = 1.0;

    // Grey-level range: as opened, and of the latest scan.
    std::int16_t gintHighColor = 0;
    std::int16_t gintLowColor = 0;
    std::int16_t gintCurHighColor = 0;
    std::int16_t gintCurLowColor = 0;

    // Files and texts.
    std::string gstrImageFile;
    std::string gstrContourFile;
    std::string gstrImageExt;
    std::string gstrResultName;
    std::string gstrAppFolder;
    std::string gstrVersion;

    // Message staging. Line breaks are a lone carriage return.
    std::string gstrMsgText;
    std::string gstrMsgTitle;
    std::int32_t glngMsgStyle = 0;
    std::int32_t glngMsgResult = 0;
    std::string gstrCR = "\r";
    std::string gstrCR2 = "\r\r";
};

/// Message-box style codes and answer codes, as the message box understands them.
namespace mb {
inline constexpr int OKOnly = 0, OKCancel = 1, AbortRetryIgnore = 2, YesNoCancel = 3, YesNo = 4, RetryCancel = 5;
inline constexpr int Critical = 16, Question = 32, Exclamation = 48, Information = 64;
inline constexpr int DefaultButton2 = 256;
inline constexpr int OK = 1, Cancel = 2, Abort = 3, Retry = 4, Ignore = 5, Yes = 6, No = 7;
}  // namespace mb

}  // namespace morv
