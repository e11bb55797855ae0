#pragma once

#include "assets/pictures.h"
#include "imagecompare.h"

#include <QColor>
#include <QImage>
#include <QRect>
#include <QString>

#include <cstdlib>
#include <string>

// The committed pictures, read the way the overlay reads them: from the resources linked in.
inline QImage builtInPicture(const char* fileName)
{
    return QImage(quorvel::assets::picturePath(fileName));
}

inline bool isPureWhite(QRgb pixel)
{
    return (pixel & 0xffffff) == 0xffffff;
}

// Text of the pictures is white on darker ground; its anti-aliased edges are not.
inline bool isBright(QRgb pixel)
{
    return qRed(pixel) >= 200 && qGreen(pixel) >= 200 && qBlue(pixel) >= 200;
}

// The smallest rectangle holding every bright pixel of the area; null when there is none.
inline QRect brightInk(const QImage& image, const QRect& area)
{
    QRect ink;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (isBright(image.pixel(x, y)))
                ink |= QRect(x, y, 1, 1);
    return ink;
}

inline std::string describe(QRgb pixel)
{
    return "(" + std::to_string(qRed(pixel)) + ", " + std::to_string(qGreen(pixel)) + ", " +
        std::to_string(qBlue(pixel)) + ")";
}
