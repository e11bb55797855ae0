#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QImage>

// A photo as the database holds it: JPEG bytes of a solid picture.
inline QByteArray jpegBytes(int width, int height, QRgb colour = qRgb(200, 30, 30))
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", 90);
    return bytes;
}
