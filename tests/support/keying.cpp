#include "keying.h"

#include <cstdlib>

namespace {

constexpr QRgb kMagenta = 0xffff00ff;
constexpr int kChannelTolerance = 3;

bool near(QRgb a, QRgb b)
{
    return std::abs(qRed(a) - qRed(b)) <= kChannelTolerance && std::abs(qGreen(a) - qGreen(b)) <= kChannelTolerance
        && std::abs(qBlue(a) - qBlue(b)) <= kChannelTolerance;
}

} // namespace

KeyedPixel keyedPixel(QRgb page, QRgb window, bool inWidget)
{
    if ((window | 0xff000000) == kMagenta)
        return qAlpha(page) == 0 ? KeyedPixel::Transparent : KeyedPixel::Wrong;
    if (qAlpha(page) == 255 && near(page, window))
        return KeyedPixel::Opaque;
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
            case KeyedPixel::Transparent: ++k.transparent; break;
            case KeyedPixel::Widget: ++k.widget; break;
            case KeyedPixel::Wrong: ++k.wrong; break;
            }
        }
    }
    return k;
}
