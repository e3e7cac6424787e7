#pragma once
#include <QImage>

namespace morv {

/// The program's icon drawn at size x size pixels: a grey height map of two
/// hills over a valley, the ground line in black, on a rounded tile.
QImage drawAppIcon(int size);

}  // namespace morv
