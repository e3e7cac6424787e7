#pragma once

namespace morv {

class Host;

/// Prepares the blur for the height display's current picture.
void LoadBlurData(Host& host);

/// Releases what the blur prepared for the open image (File > Close).
void releaseBlurData(Host& host);

/// Blurs the height display by the blur bar's amount and commits the result.
void ApplyBlur(Host& host);

}  // namespace morv
