#pragma once

#include <QImage>

#include <algorithm>
#include <cstdlib>
#include <string>

// Compares drawn pictures the way anti-aliasing allows. Qt's raster engine blends partly
// covered pixels through code paths that differ between processors, so the same drawing
// may come out a few units apart on the pixels an edge crosses. Every other pixel must
// be the same: a flat area a unit off is a wrong colour, and an edge that moved or an
// element that is missing changes pixels by far more than rounding does.
struct ImageTolerance {
    // The most a channel of a pixel near an edge may differ.
    int edgeChannel = 6;
};

namespace imagecompare_detail {

inline int channelDistance(QRgb a, QRgb b)
{
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b)),
                     std::abs(qAlpha(a) - qAlpha(b))});
}

inline std::string describeArgb(QRgb pixel)
{
    return "(" + std::to_string(qRed(pixel)) + ", " + std::to_string(qGreen(pixel)) + ", " + std::to_string(qBlue(pixel))
        + ", alpha " + std::to_string(qAlpha(pixel)) + ")";
}

// A pixel lies near an edge when a pixel beside it (diagonals included) in either
// picture has another colour: only there does coverage, and so rounding, vary.
inline bool nearEdge(const QImage& a, const QImage& b, int x, int y)
{
    const QRgb own = a.pixel(x, y);
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
            const int nx = x + dx;
            const int ny = y + dy;
            if (nx < 0 || ny < 0 || nx >= a.width() || ny >= a.height())
                continue;
            if (a.pixel(nx, ny) != own || b.pixel(nx, ny) != b.pixel(x, y))
                return true;
        }
    return false;
}

} // namespace imagecompare_detail

// Where two pictures differ by more than anti-aliasing explains, or an empty text when
// they match. `expected` is named "committed" in the text, `actual` "drawn".
inline std::string imageMismatch(const QImage& expected, const QImage& actual, ImageTolerance tolerance = {})
{
    using namespace imagecompare_detail;
    if (expected.isNull() || actual.isNull())
        return "a picture is missing";
    if (expected.size() != actual.size())
        return "sizes differ";
    const QImage a = expected.convertToFormat(QImage::Format_ARGB32);
    const QImage b = actual.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb pa = a.pixel(x, y);
            const QRgb pb = b.pixel(x, y);
            if (pa == pb)
                continue;
            const int distance = channelDistance(pa, pb);
            const bool edge = nearEdge(a, b, x, y);
            if (edge && distance <= tolerance.edgeChannel)
                continue;
            return "at " + std::to_string(x) + ", " + std::to_string(y) + (edge ? " (an edge)" : " (a flat area)")
                + ": committed " + describeArgb(pa) + ", drawn " + describeArgb(pb);
        }
    return {};
}
