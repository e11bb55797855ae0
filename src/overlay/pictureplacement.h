#pragma once

#include <QImage>
#include <QRect>

namespace quorvel::overlay {

// Where a w x h picture is drawn in a cw x ch box, relative to the box's top-left corner.
// Proportional shrinks a picture too large for the box, keeping its ratio (truncating);
// a picture is never enlarged. Center places it in the middle, halves truncated. The
// result may reach beyond the box: the painter clips it.
QRect placePicture(QSize picture, QSize box, bool center, bool proportional);

// The picture at its drawn size, sampled without filtering (rows and columns dropped or
// repeated), with every pixel of the key colour (the bottom-left pixel's) left out when
// `transparent` is set.
QImage preparePicture(const QImage& picture, QSize drawn, bool transparent);

} // namespace quorvel::overlay
