#include "keying.h"

#include <algorithm>
#include <cstdlib>

namespace {

constexpr QRgb kMagenta = 0xffff00ff;
constexpr int kFaintestEdge = 64;

// Whether the window's pixel is the page's colour blended with magenta. The page is drawn
// on nothing and the window on magenta, and Qt blends text into an opaque picture with
// gamma correction: the letters' soft edges come out heavier or lighter over magenta than
// their alpha says. So the window's pixel may be any blend of the same colour with
// magenta, within the tolerance.
bool blendOverMagenta(QRgb page, QRgb window)
{
    const int d[3] = {qRed(page) - qRed(kMagenta), qGreen(page) - qGreen(kMagenta), qBlue(page) - qBlue(kMagenta)};
    const int w[3] = {qRed(window) - qRed(kMagenta), qGreen(window) - qGreen(kMagenta),
                      qBlue(window) - qBlue(kMagenta)};
    int widest = 0;
    for (int c = 1; c < 3; ++c)
        if (std::abs(d[c]) > std::abs(d[widest]))
            widest = c;
    if (d[widest] == 0)
        return colourNear(window, kMagenta, kKeyingChannel);
    const double t = std::clamp(double(w[widest]) / d[widest], 0.0, 1.0);
    for (int c = 0; c < 3; ++c)
        if (std::abs(t * d[c] - w[c]) > kKeyingChannel + 0.5)
            return false;
    return true;
}

} // namespace

KeyedPixel keyedPixel(QRgb page, QRgb window, bool inWidget)
{
    const int alpha = qAlpha(page);
    if ((window | 0xff000000) == kMagenta) {
        if (alpha == 0)
            return KeyedPixel::Transparent;
        // the faintest edge of a letter, which the window's blending left magenta
        return alpha <= kFaintestEdge && blendOverMagenta(page, window) ? KeyedPixel::Partial : KeyedPixel::Wrong;
    }
    if (alpha == 255 && colourNear(page, window, kKeyingChannel))
        return KeyedPixel::Opaque;
    if (alpha > 0 && alpha < 255 && blendOverMagenta(page, window))
        return KeyedPixel::Partial;
    if (qAlpha(page) == 0 && inWidget)
        return KeyedPixel::Widget;
    return KeyedPixel::Wrong;
}

Keying compareKeyed(const QImage& page, const QImage& window, const QRegion& widgets)
{
    Keying k;
    if (page.width() < window.width() || page.height() < window.height()) {
        k.wrong = window.width() * window.height();
        return k;
    }
    const QImage shot = page.convertToFormat(QImage::Format_ARGB32);
    const QImage reference = window.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < shot.height(); ++y) {
        const auto* s = reinterpret_cast<const QRgb*>(shot.constScanLine(y));
        const auto* r = y < reference.height() ? reinterpret_cast<const QRgb*>(reference.constScanLine(y)) : nullptr;
        for (int x = 0; x < shot.width(); ++x) {
            if (!r || x >= reference.width()) {
                k.wrong += qAlpha(s[x]) != 0;
                continue;
            }
            switch (keyedPixel(s[x], r[x], widgets.contains(QPoint(x, y)))) {
            case KeyedPixel::Opaque: ++k.opaque; break;
            case KeyedPixel::Partial:
                ++((r[x] | 0xff000000) == kMagenta ? k.transparent : k.opaque);
                ++k.partial;
                break;
            case KeyedPixel::Transparent: ++k.transparent; break;
            case KeyedPixel::Widget: ++k.widget; break;
            case KeyedPixel::Wrong: ++k.wrong; break;
            }
        }
    }
    return k;
}
