#include "feed/pictures.h"

#include "overlay/layout.h"
#include "overlay/renderer.h"
#include "overlay/screen.h"

#include <QBuffer>
#include <QPainter>

namespace quorvel::feed {

QImage programPicture(overlay::Renderer& renderer, const overlay::Screen& screen, const QRect& area)
{
    QImage image(area.size(), QImage::Format_ARGB32);
    {
        QPainter painter(&image);
        painter.translate(-area.topLeft());
        renderer.paintGraphics(painter, screen, area, overlay::kMagenta);
    }
    // Only the key colour itself: the soft edges of text over magenta stay as drawn, as a
    // chroma keyer would see them.
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (line[x] == overlay::kMagenta)
                line[x] = 0;
    }
    return image;
}

QImage windowPicture(overlay::Renderer& renderer, const overlay::Screen& screen)
{
    const QRect area(0, 0, screen.clientWidth(), screen.clientHeight());
    QImage image(area.size(), QImage::Format_RGB32);
    QPainter painter(&image);
    renderer.paintWindow(painter, screen, area);
    return image;
}

QByteArray pngBytes(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    // light compression: the picture goes over loopback or a LAN, and the air waits while it is made
    image.save(&buffer, "PNG", 90);
    return bytes;
}

} // namespace quorvel::feed
