// Stand-ins until contour drawing and the blur land.
#include "analysis/Blur.h"
#include "analysis/Contours.h"
#include "core/Routine.h"
#include "engine/Host.h"

namespace morv {

void cmdNewCoast_Click(Host& host) { Routine r(host.app(), "frmMain.cmdNewCoast_Click"); }
void LoadBlurData(Host& host) { Routine r(host.app(), "frmMain.LoadBlurData"); }
void releaseBlurData(Host&) {}
void ApplyBlur(Host& host) { Routine r(host.app(), "frmMain.ApplyBlur"); }

}  // namespace morv
