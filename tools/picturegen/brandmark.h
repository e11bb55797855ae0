#pragma once

#include <QPainterPath>

namespace quorvel::picturegen {

// The quorvel mark: a ring with a cut tail, the Q, chased by three speed lines on its
// left. Drawn around the origin, about 60 x 28 pixels; callers place and fill it.
QPainterPath quorvelMark();

} // namespace quorvel::picturegen
