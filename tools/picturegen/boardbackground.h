#pragma once

#include <QImage>

namespace quorvel::picturegen {

// The classification board on magenta: a header with the brand and a QR code, the category
// bar and ten numbered rows. 1320 x 600, opaque; the board fills its top-left corner.
QImage drawBoardBackground();

} // namespace quorvel::picturegen
