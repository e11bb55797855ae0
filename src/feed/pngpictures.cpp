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
    // Qt's PNG writer takes its zlib level from the quality: (100 - quality) * 9 / 91.
    // A changed time's box goes out on every change while the air waits, and is small
    // anyway: stored (90, level 0). A large picture (a newcomer's whole picture, the
    // /*.png pictures, a change over much of the window) is mostly flat colour, and
    // deflate's fastest level (80, level 1) makes it some 50 times smaller for a fifth
    // more time (bench_feed).
    constexpr qint64 kLargePixels = 256 * 128;
    const int quality = qint64(image.width()) * image.height() > kLargePixels ? 80 : 90;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG", quality);
    return bytes;
}

} // namespace quorvel::feed
