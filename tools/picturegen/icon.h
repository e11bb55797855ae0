#pragma once

#include <QImage>

namespace quorvel::picturegen {

// The program's icon: a chrome stopwatch with a speedometer dial and a small screen,
// blue light streaking away to the lower left. 64 x 64 with alpha, transparent around.
QImage drawIcon();

} // namespace quorvel::picturegen
