#include "overlay/pictureplacement.h"

namespace quorvel::overlay {

QRect placePicture(QSize picture, QSize box, bool center, bool proportional)
{
    const int w = picture.width();
    const int h = picture.height();
    const int cw = box.width();
    const int ch = box.height();
    int dw = w;
    int dh = h;
    if (proportional && (w > cw || h > ch) && w > 0 && h > 0) {
        const double ratio = double(w) / double(h);
        if (w > h) {
            dw = cw;
            dh = int(cw / ratio);
            if (dh > ch) {
                dh = ch;
                dw = int(ch * ratio);
            }
        } else {
            dh = ch;
            dw = int(ch * ratio);
            if (dw > cw) {
                dw = cw;
                dh = int(cw / ratio);
            }
        }
    }
    const QPoint origin = center ? QPoint((cw - dw) / 2, (ch - dh) / 2) : QPoint(0, 0);
    return QRect(origin, QSize(dw, dh));
}

QImage preparePicture(const QImage& picture, QSize drawn, bool transparent)
{
    if (picture.isNull() || drawn.isEmpty())
        return {};
    QImage source = picture.convertToFormat(transparent ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (transparent) {
        const QRgb key = picture.pixel(0, picture.height() - 1) & RGB_MASK;
        for (int y = 0; y < source.height(); ++y) {
            auto* row = reinterpret_cast<QRgb*>(source.scanLine(y));
            for (int x = 0; x < source.width(); ++x) {
                if ((row[x] & RGB_MASK) == key)
                    row[x] = 0;
            }
        }
    }
    if (source.size() != drawn)
        source = source.scaled(drawn, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    return source.convertToFormat(transparent ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
}

} // namespace quorvel::overlay
