#pragma once

#include <QImage>

// The start-tree lamps, each on pure white, the colour the overlay keys them on.
namespace quorvel::picturegen {

// Upper half of a 185 blue disc (rows 0 to 96), shown while the car is pre-staged.
QImage drawPreStageLamp();
// Lower half of the same disc (rows 88 to 184); with the pre-stage lamp it makes the disc.
QImage drawStageLamp();
// 179 green disc.
QImage drawGreenLamp();
// 179 amber disc, shown when the lane is disqualified.
QImage drawDisqualifiedLamp();
// 179 disc holding a waving chequered flag.
QImage drawWinnerLamp();
// 364 red disc, shown after a foul start.
QImage drawFoulLamp();

} // namespace quorvel::picturegen
