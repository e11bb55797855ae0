#pragma once

#include "overlay/renderer.h"
#include "overlay/screen.h"

#include <QImage>
#include <QPainter>

namespace quorvel::test {

// What the feed's pictures must show: the renderer's own graphics of the client area, on
// magenta where the mixer keys, drawn here rather than by the feed under test.
inline QImage rendererGraphics(const overlay::Screen& screen)
{
    overlay::Renderer renderer;
    QImage image(screen.clientWidth(), screen.clientHeight(), QImage::Format_RGB32);
    QPainter painter(&image);
    renderer.paintGraphics(painter, screen, image.rect(), overlay::kMagenta);
    return image;
}

} // namespace quorvel::test
