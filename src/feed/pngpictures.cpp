#include "feed/pngpictures.h"

#include "overlay/layout.h"
#include "overlay/renderer.h"
#include "overlay/screen.h"

#include <QBuffer>
#include <QPainter>

namespace quorvel::feed {

QImage programPicture(overlay::Renderer& renderer, const overlay::Screen& screen, const QRect& area)
{
    return renderer.renderGraphics(screen, area, overlay::kTransparentKey);
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
