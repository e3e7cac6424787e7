#include "commands/Host.h"

namespace morv {

void HeadlessFrame::setGroundLevelValue(int value) {
    m_session.gintGroundLevel = std::int16_t(value);
    m_session.glngGroundColor = fcnGrayColor(value);
}

}  // namespace morv
