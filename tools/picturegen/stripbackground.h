#pragma once

#include <QImage>

namespace quorvel::picturegen {

// The on-air strip behind both lanes: the logo tile, the column headers, and two rows of
// blue cells with the lane letters E and D. 1632 x 104, opaque.
QImage drawStripBackground();

} // namespace quorvel::picturegen
