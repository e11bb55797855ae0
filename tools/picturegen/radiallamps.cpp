#include "lamps.h"
#include "lampshape.h"
#include "mix.h"
#include "palette.h"

namespace quorvel::picturegen {

namespace {

// A disc shaded from one colour at its centre to another at its rim.
QImage drawRadialLamp(int size, double outline, const QColor& centre, const QColor& rim)
{
    return renderLamp({
        size,
        [=](double x, double y) { return discZone(size, outline, x, y); },
        [=](double x, double y) { return mix(centre, rim, discRadius(size, outline, x, y)); },
    });
}

} // namespace

QImage drawGreenLamp()
{
    return drawRadialLamp(179, 2, palette::greenCentre, palette::greenRim);
}

QImage drawDisqualifiedLamp()
{
    return drawRadialLamp(179, 2, palette::amberCentre, palette::amberRim);
}

QImage drawFoulLamp()
{
    return drawRadialLamp(364, 11, palette::foulCentre, palette::foulRim);
}

} // namespace quorvel::picturegen
