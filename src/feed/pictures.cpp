#include "feed/pictures.h"

#include "overlay/layout.h"
#include "overlay/renderer.h"
#include "overlay/screen.h"

#include <QBuffer>
#include <QPainter>

namespace quorvel::feed {

QImage programPicture(overlay::Renderer& renderer, const overlay::Screen& screen, const QRect& area)
{
    // Drawn on nothing, so the soft edges of letters over the key colour are partly
    // transparent rather than partly magenta.
    QImage image(area.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.translate(-area.topLeft());
        renderer.paintGraphics(painter, screen, area, overlay::kTransparentKey);
    }
    // Pictures may hold the window's magenta too, which the mixer keys out of the window.
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
    // Qt's PNG writer takes its zlib level from the quality: (100 - quality) * 9 / 91. The
    // feed's pictures are mostly flat colour, and deflate's fastest level (80, level 1)
    // makes them some 50 times smaller than stored for a fifth more time (bench_feed).
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG", 80);
    return bytes;
}

} // namespace quorvel::feed
