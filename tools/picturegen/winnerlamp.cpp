#include "lamps.h"
#include "lampshape.h"
#include "palette.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace quorvel::picturegen {

namespace {

constexpr int winnerSize = 179;
constexpr double winnerOutline = 2;
constexpr double squareSide = winnerSize / 4.0;
constexpr double waveLength = 125;
constexpr double waveHeight = 5;
constexpr double tilt = -0.16; // radians, the flag leans a little to the right

double wavePhase(double x)
{
    return 2 * std::numbers::pi * x / waveLength + 0.7;
}

// The flag's cloth ripples along its length: each point is looked up in the flat chequer
// a little above or below where it is drawn, and the folds facing the light are brighter.
QColor flagFace(double x, double y)
{
    const double centre = winnerSize / 2.0;
    const double dx = x - centre;
    const double dy = y - centre;
    const double u = dx * std::cos(tilt) - dy * std::sin(tilt);
    const double v = dx * std::sin(tilt) + dy * std::cos(tilt) + waveHeight * std::sin(wavePhase(u));

    const bool dark = (int(std::floor(u / squareSide)) + int(std::floor(v / squareSide))) % 2 != 0;
    const QColor base = dark ? palette::flagDark : palette::flagLight;
    const double light = 1 + 0.09 * std::cos(wavePhase(u));
    // Never up to pure white: a white pixel inside the lamp would be keyed out.
    const auto shade = [light](int channel) { return std::clamp(int(std::lround(channel * light)), 0, 246); };
    return QColor(shade(base.red()), shade(base.green()), shade(base.blue()));
}

} // namespace

QImage drawWinnerLamp()
{
    return renderLamp({
        winnerSize,
        [](double x, double y) { return discZone(winnerSize, winnerOutline, x, y); },
        flagFace,
    });
}

} // namespace quorvel::picturegen
