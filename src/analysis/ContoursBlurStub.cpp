// Stand-in until contour drawing lands.
#include "analysis/Contours.h"
#include "core/Routine.h"
#include "engine/Host.h"

namespace morv {

void cmdNewCoast_Click(Host& host) { Routine r(host.app(), "frmMain.cmdNewCoast_Click"); }

}  // namespace morv
