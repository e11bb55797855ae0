#pragma once

#include <QColor>
#include <QImage>

#include <algorithm>
#include <cstdlib>
#include <string>

// The one rule by which the tests call two pictures alike. Qt's raster engine blends partly
// covered pixels through code paths that differ between processors, so the same drawing
// may come out a few units apart on the pixels an edge crosses. Every other pixel must
// be the same: a flat area a unit off is a wrong colour, and an edge that moved or an
// element that is missing changes pixels by far more than rounding does.
//
// A comparison that must allow more says how much by naming it, e.g. a decoder's filter:
//   imageMismatch(expected, decoded, {.edgeChannel = 6, .flatChannel = 6})
struct ImageTolerance {
    // The most a channel (alpha included) of a pixel near an edge may differ.
    int edgeChannel = 6;
    // The most a channel of any other pixel may differ.
    int flatChannel = 0;
    // How many pixels may differ by more (a clock that ticked between two pictures).
    int strayPixels = 0;
    // When not negative: the most the channels may differ on average over the whole
    // picture (a decoder's filter against another's, where single pixels differ widely).
    double meanChannel = -1;
};

// The largest difference of one channel of two pixels, alpha included.
inline int channelDistance(QRgb a, QRgb b)
{
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b)),
                     std::abs(qAlpha(a) - qAlpha(b))});
}

// Whether a pixel's colour is the expected one within `channel` units a channel (alpha
// not compared: a colour of a picture with or without alpha).
inline bool colourNear(QRgb pixel, QRgb expected, int channel)
{
    return channelDistance(pixel | 0xff000000, expected | 0xff000000) <= channel;
}

inline bool colourNear(QRgb pixel, const QColor& expected, int channel)
{
    return colourNear(pixel, expected.rgb(), channel);
}

namespace imagecompare_detail {

inline std::string describeArgb(QRgb pixel)
{
    return "(" + std::to_string(qRed(pixel)) + ", " + std::to_string(qGreen(pixel)) + ", " +
        std::to_string(qBlue(pixel)) + ", alpha " + std::to_string(qAlpha(pixel)) + ")";
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

// Where two pictures differ by more than the tolerance allows, or an empty text when they
// are alike.
inline std::string imageMismatch(const QImage& expected, const QImage& actual, ImageTolerance tolerance = {})
{
    using namespace imagecompare_detail;
    if (expected.isNull() || actual.isNull())
        return "a picture is missing";
    if (expected.size() != actual.size())
        return "sizes differ";
    const QImage a = expected.convertToFormat(QImage::Format_ARGB32);
    const QImage b = actual.convertToFormat(QImage::Format_ARGB32);
    const int loosest = std::max(tolerance.edgeChannel, tolerance.flatChannel);
    const int strictest = std::min(tolerance.edgeChannel, tolerance.flatChannel);
    std::string first;
    int stray = 0;
    double sum = 0;
    for (int y = 0; y < a.height(); ++y) {
        const auto* rowA = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* rowB = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            const QRgb pa = rowA[x];
            const QRgb pb = rowB[x];
            if (pa == pb)
                continue;
            if (tolerance.meanChannel >= 0)
                sum +=
                    std::abs(qRed(pa) - qRed(pb)) + std::abs(qGreen(pa) - qGreen(pb)) + std::abs(qBlue(pa) - qBlue(pb));
            const int distance = channelDistance(pa, pb);
            if (distance <= strictest)
                continue;
            if (distance <= loosest &&
                distance <= (nearEdge(a, b, x, y) ? tolerance.edgeChannel : tolerance.flatChannel))
                continue;
            if (first.empty())
                first = "at " + std::to_string(x) + ", " + std::to_string(y) +
                    (nearEdge(a, b, x, y) ? " (an edge)" : " (a flat area)") + ": expected " + describeArgb(pa) +
                    ", got " + describeArgb(pb);
            ++stray;
        }
    }
    if (stray > tolerance.strayPixels)
        return first + (stray > 1 ? " (and " + std::to_string(stray - 1) + " pixels more)" : std::string());
    if (tolerance.meanChannel >= 0) {
        const double mean = sum / (3.0 * a.width() * a.height());
        if (mean > tolerance.meanChannel)
            return "the channels differ by " + std::to_string(mean) + " on average";
    }
    return {};
}
