#include "overlay/hittest.h"
#include "overlay/renderer.h"

#include <gtest/gtest.h>

using namespace quorvel;
using namespace quorvel::overlay;

namespace {

TEST(HitTest, ThePressGoesToTheTopmostShowingElement)
{
    Screen screen;
    screen.setTextMeasure(rendererTextMeasure());
    screen.setText(El::lblPilotoA, ""); // an empty label still takes the press
    screen.hide(El::imgGanhouA);
    screen.hide(El::imgQueA);

    const struct {
        QPoint at;
        El expected;
    } cases[] = {
        {{10, 5}, El::imgFundo}, // header band
        {{800, 24}, El::imgFundo}, // its last row
        {{20, 20}, El::imgFundo}, // logo tile, above the clock
        {{140, 90}, El::imgFundo}, // logo tile, right of the clock
        {{40, 78}, El::lblHora}, // the clock itself
        {{230, 35}, El::lblPilotoA}, // empty label, anywhere in its box
        {{515, 50}, El::lblPilotoA},     {{300, 75}, El::lblPilotoB},
        {{205, 40}, El::imgDesclaA}, // the topmost shown lamp of lane A's box
        {{205, 75}, El::imgQueB},        {{1630, 50}, El::frmPrincipal}, // outside the client area
        {{350, 200}, El::fotoPilotoA}, // a photo element takes it with no picture
        {{700, 350}, El::mLog}, // windowed elements lie over everything
        {{700, 500}, El::pnlGeral}, // below pnlTempos: the panel behind it
        {{1500, 500}, El::frmPrincipal}, {{200, 460}, El::pnlGeral}, // ListBox2 lies below pnlTempos's edge: never hit
    };
    for (const auto& c : cases)
        EXPECT_EQ(elementAt(screen, c.at), c.expected) << c.at.x() << "," << c.at.y();

    // hiding reveals what lies beneath; a cover panel covers the photo's left part
    screen.hide(El::lblHora);
    screen.show(El::pnlEscondeA);
    EXPECT_EQ(elementAt(screen, {40, 78}), El::imgFundo);
    EXPECT_EQ(elementAt(screen, {300, 200}), El::pnlEscondeA);
    EXPECT_EQ(elementAt(screen, {345, 200}), El::fotoPilotoA);
    screen.hide(El::pnlTempos);
    EXPECT_EQ(elementAt(screen, {10, 5}), El::pnlGeral);
}

} // namespace
