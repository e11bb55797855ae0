#include "overlay/pictureplacement.h"
#include "overlay/windowplacement.h"

#include <QPainter>
#include <gtest/gtest.h>

using namespace quorvel::overlay;

namespace {

TEST(PicturePlacement, ShrinksProportionallyCentresAndNeverEnlarges)
{
    const struct {
        QSize picture, box;
        bool center, proportional;
        QRect drawn;
    } cases[] = {
        {{60, 40}, {89, 96}, true, true, {14, 28, 60, 40}}, // small photo: own size, centred
        {{400, 300}, {89, 96}, true, true, {0, 15, 89, 66}}, // 89 / 1.333 = 66.75 -> 66
        {{300, 400}, {89, 96}, true, true, {8, 0, 72, 96}}, // 96 * 0.75 = 72
        {{100, 1000}, {89, 94}, true, true, {40, 0, 9, 94}}, // 94 * 0.1 = 9.4 -> 9
        {{1000, 100}, {89, 94}, true, true, {0, 43, 89, 8}}, // 89 / 10 = 8.9 -> 8
        {{185, 185}, {32, 32}, true, true, {0, 0, 32, 32}}, // lamps
        {{179, 179}, {42, 40}, true, true, {1, 0, 40, 40}},
        {{364, 364}, {32, 32}, true, true, {0, 0, 32, 32}},
        {{1320, 600}, {1435, 423}, false, false, {0, 0, 1320, 600}}, // natural size, cut by the painter
        {{100, 90}, {89, 96}, false, true, {0, 0, 89, 80}}, // no Center: top-left
        {{120, 100}, {89, 96}, true, false, {-15, -2, 120, 100}}, // no Proportional: natural, centred
        {{89, 96}, {89, 96}, true, true, {0, 0, 89, 96}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.picture.width() << "x" << c.picture.height() << " in " << c.box.width()
                                        << "x" << c.box.height());
        EXPECT_EQ(placePicture(c.picture, c.box, c.center, c.proportional), c.drawn);
    }
}

TEST(PicturePlacement, SamplesWithoutFilteringAndLeavesTheKeyColourOut)
{
    // a 4 x 4 checkerboard of red and green with a white (key) bottom-left pixel
    QImage picture(4, 4, QImage::Format_RGB32);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            picture.setPixel(x, y, (x + y) % 2 ? qRgb(255, 0, 0) : qRgb(0, 255, 0));
    picture.setPixel(0, 3, qRgb(255, 255, 255));
    picture.setPixel(3, 0, qRgb(255, 255, 255));

    const QImage doubled = preparePicture(picture, {8, 8}, true);
    ASSERT_EQ(doubled.size(), QSize(8, 8));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            const QRgb source = picture.pixel(x / 2, y / 2);
            const QRgb drawn = doubled.pixel(x, y);
            if (source == qRgb(255, 255, 255))
                EXPECT_EQ(qAlpha(drawn), 0) << x << "," << y;
            else
                EXPECT_EQ(drawn, source) << x << "," << y; // repeated, never blended
        }

    const QImage opaque = preparePicture(picture, {2, 2}, false);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x) {
            const QRgb p = opaque.pixel(x, y);
            EXPECT_TRUE(p == qRgb(255, 0, 0) || p == qRgb(0, 255, 0) || p == qRgb(255, 255, 255));
        }
}

TEST(WindowPlacement, CentresByOuterSizeWithTruncatedHalves)
{
    const struct {
        QRect screen;
        QSize window;
        QPoint at;
    } cases[] = {
        {{0, 0, 1920, 1080}, {1639, 585}, {140, 247}},
        {{0, 0, 1280, 720}, {1639, 585}, {-179, 67}}, // larger than the screen: negative, toward zero
        {{0, 0, 1920, 1080}, {1639, 138}, {140, 471}},
        {{1920, 0, 1280, 1024}, {1280, 1025}, {1920, 0}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(centredPosition(c.screen, c.window), c.at);
}

} // namespace
