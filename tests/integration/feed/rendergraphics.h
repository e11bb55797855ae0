#pragma once

#include "overlay/renderer.h"
#include "overlay/screen.h"

#include <QImage>

namespace quorvel::test {

// What the feed's pictures must show: the renderer's own graphics of the client area, on
// magenta where the mixer keys, drawn here rather than by the feed under test.
inline QImage rendererGraphics(const overlay::Screen& screen)
{
    overlay::Renderer renderer;
    return renderer.renderGraphics(screen, QRect(0, 0, screen.clientWidth(), screen.clientHeight()), overlay::kMagenta);
}

} // namespace quorvel::test
