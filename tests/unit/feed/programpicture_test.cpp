#include "feed/pngpictures.h"

#include "overlay/layout.h"
#include "overlay/renderer.h"
#include "overlay/screen.h"

#include "keying.h"
#include "screenlikearun.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace quorvel;
using overlay::El;

namespace {

// The graphics as the window draws them, with `key` where the window is magenta.
QImage graphicsOn(const overlay::Screen& screen, QRgb key)
{
    overlay::Renderer renderer;
    return renderer.renderGraphics(screen, QRect(0, 0, screen.clientWidth(), screen.clientHeight()), key);
}

} // namespace

// Letters drawn over the key colour (the legends, the lane headers below the strip) reach
// a browser source with edges of partial alpha: the window's colours, and no opaque pixel
// at the edge of the graphics has magenta blended into it.
TEST(ProgramPicture, SoftEdgesOverTheKeyColourArePartlyTransparentNotMagenta)
{
    overlay::Screen screen;
    fillLikeARun(screen);
    const QRect area(0, 0, screen.clientWidth(), screen.clientHeight());
    overlay::Renderer renderer;
    const QImage picture = QImage::fromData(feed::pngBytes(feed::programPicture(renderer, screen, area)), "PNG")
                               .convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(picture.size(), area.size());
    const QImage onMagenta = graphicsOn(screen, overlay::kMagenta);
    const QImage onGreen = graphicsOn(screen, qRgb(0, 255, 0));

    int partial = 0, blended = 0, opaqueBlended = 0, edges = 0, tintedEdges = 0, wrong = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const QRgb p = picture.pixel(x, y);
            const int alpha = qAlpha(p);
            partial += alpha > 0 && alpha < 255;
            // where the key colour shows through, the two windows differ
            if (onMagenta.pixel(x, y) != onGreen.pixel(x, y) && onMagenta.pixel(x, y) != overlay::kMagenta) {
                ++blended;
                opaqueBlended += alpha == 255;
            }
            wrong += keyedPixel(p, onMagenta.pixel(x, y), false) == KeyedPixel::Wrong;
            if (alpha != 255)
                continue;
            bool besideTransparent = false;
            for (const QPoint d : {QPoint(1, 0), QPoint(-1, 0), QPoint(0, 1), QPoint(0, -1)}) {
                const QPoint n(x + d.x(), y + d.y());
                besideTransparent |= picture.rect().contains(n) && qAlpha(picture.pixel(n)) == 0;
            }
            if (besideTransparent) {
                ++edges;
                tintedEdges += !colourNear(p, onGreen.pixel(x, y), 0);
            }
        }
    EXPECT_GT(blended, 500) << "letters over the key colour";
    EXPECT_EQ(opaqueBlended, 0);
    EXPECT_GT(partial, 500);
    EXPECT_GT(edges, 100);
    EXPECT_EQ(tintedEdges, 0);
    EXPECT_EQ(wrong, 0) << "the picture is the window's, blended with magenta at the edges";
}
