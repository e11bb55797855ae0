#pragma once

#include <QColor>

#include <algorithm>
#include <cmath>

namespace quorvel::picturegen {

// The colour a fraction t of the way from a to b (t is clamped to 0..1), rounded to the
// nearest whole channel value.
inline QColor mix(const QColor& a, const QColor& b, double t)
{
    t = std::clamp(t, 0.0, 1.0);
    const auto channel = [t](int from, int to) { return int(std::lround(from + (to - from) * t)); };
    return QColor(channel(a.red(), b.red()), channel(a.green(), b.green()), channel(a.blue(), b.blue()));
}

} // namespace quorvel::picturegen
