#include "lamps.h"
#include "lampshape.h"
#include "mix.h"
#include "palette.h"

namespace quorvel::picturegen {

namespace {

constexpr int stagingSize = 185;
constexpr double flatEdge = 97; // the pre-stage half ends above this row
constexpr double stagingOutline = 4.5;

Zone upperHalfZone(double x, double y)
{
    if (y >= flatEdge)
        return Zone::Outside;
    const Zone zone = discZone(stagingSize, stagingOutline, x, y);
    if (zone == Zone::Inside && y >= flatEdge - stagingOutline)
        return Zone::Outline;
    return zone;
}

// Darkest at the top of the curve, lightest along the flat edge.
QColor upperHalfFace(double, double y)
{
    const double depth = (y - stagingOutline) / (flatEdge - 2 * stagingOutline);
    return mix(palette::stagingDark, palette::stagingLight, depth);
}

} // namespace

QImage drawPreStageLamp()
{
    return renderLamp({stagingSize, upperHalfZone, upperHalfFace});
}

// The stage lamp is the pre-stage lamp upside down, so that shown together the two halves
// meet in one disc, lightest across its middle.
QImage drawStageLamp()
{
    return drawPreStageLamp().mirrored(false, true);
}

} // namespace quorvel::picturegen
