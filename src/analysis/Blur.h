#pragma once

namespace morv {

class Host;

/// Prepares the blur for the height display's current picture.
void LoadBlurData(Host& host);

/// Blurs the height display by the blur bar's amount and commits the result.
void ApplyBlur(Host& host);

}  // namespace morv
