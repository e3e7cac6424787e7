#pragma once

namespace morv {

class Host;

/// Make New Contours: redraws the contour display as a copy of the height display
/// with every ground-level pixel that touches higher terrain drawn black.
void cmdNewCoast_Click(Host& host);

}  // namespace morv
