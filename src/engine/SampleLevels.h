#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace morv {

/// A range of file samples (0..65535) chosen to cover the 256 grey levels.
struct SampleRange {
    std::uint32_t low = 0;
    std::uint32_t high = 0;
    friend bool operator==(const SampleRange&, const SampleRange&) = default;
};

/// How a picture whose samples are wider than 8 bits became grey levels: what
/// `info` shows and the window's range dialog reports.
struct LevelMapping {
    int bits = 16;              ///< Bits a sample in the file.
    SampleRange found;          ///< Lowest and highest sample in the picture.
    SampleRange used;           ///< The samples mapped to level 0 and level 255.
    bool chosen = false;        ///< used was chosen by the user rather than found.
    friend bool operator==(const LevelMapping&, const LevelMapping&) = default;
};

/// The grey level of sample v when low..high covers 0..255: 0 at or below low, 255
/// at or above high, (v - low) x 255 / (high - low) rounded to nearest (halves up)
/// between them. A range of one value (low = high, a flat map) maps that value and
/// everything below it to 0 and everything above to 255.
std::uint8_t levelOfSample(std::uint32_t v, SampleRange range) noexcept;

/// The lowest and highest of n samples (n > 0).
SampleRange sampleRangeOf(const std::uint16_t* samples, std::size_t n) noexcept;

/// Maps n samples to grey levels with levelOfSample, into out.
void mapSamplesToLevels(const std::uint16_t* samples, std::size_t n, SampleRange range, std::uint8_t* out);

/// Reads "LOW:HIGH" (decimal, 0 <= LOW < HIGH <= 65535); nothing when malformed.
std::optional<SampleRange> parseSampleRange(std::string_view text);

/// File units covered by one grey level: (high - low) / 255.
double unitsPerLevel(SampleRange range) noexcept;

/// One line telling a mapping, e.g. "16-bit samples 1000..6100 (found 1000..6100)
/// to levels 0..255, 20 units a level".
std::string describeMapping(const LevelMapping& mapping);

}  // namespace morv
