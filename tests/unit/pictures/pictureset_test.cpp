#include "pictures.h"

#include <gtest/gtest.h>

namespace {

struct PictureFacts {
    const char* fileName;
    int width;
    int height;
    bool withAlpha;
};

const PictureFacts everyPicture[] = {
    {"strip.png", 1632, 104, false},
    {"board.png", 1320, 600, false},
    {"lamp_prestage.png", 185, 185, false},
    {"lamp_stage.png", 185, 185, false},
    {"lamp_green.png", 179, 179, false},
    {"lamp_disqualified.png", 179, 179, false},
    {"lamp_winner.png", 179, 179, false},
    {"lamp_foul.png", 364, 364, false},
    {"icon.png", 64, 64, true},
};

// Linked into a test program like into the overlay, the resources must register
// themselves without anyone calling Q_INIT_RESOURCE.
TEST(BuiltInPictures, AreLinkedInWithTheirSizesAndOnlyTheIconHasAlpha)
{
    for (const PictureFacts& facts : everyPicture) {
        SCOPED_TRACE(facts.fileName);
        const QImage image = builtInPicture(facts.fileName);
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.size(), QSize(facts.width, facts.height));
        EXPECT_EQ(image.hasAlphaChannel(), facts.withAlpha);
    }
}

TEST(BuiltInPictures, IconIsAStopwatchOnATransparentGroundWithBlueStreaksToTheLowerLeft)
{
    const QImage icon = builtInPicture("icon.png").convertToFormat(QImage::Format_ARGB32);
    for (const QPoint corner : {QPoint(0, 0), QPoint(63, 0), QPoint(63, 63)})
        EXPECT_EQ(qAlpha(icon.pixel(corner)), 0) << corner.x() << ", " << corner.y();
    // the dial in the upper right is solid
    EXPECT_EQ(qAlpha(icon.pixel(37, 30)), 255);

    int streakPixels = 0;
    for (int y = 40; y < 64; ++y)
        for (int x = 0; x < 24; ++x) {
            const QRgb pixel = icon.pixel(x, y);
            if (qAlpha(pixel) > 40 && qBlue(pixel) > qRed(pixel) + 60)
                ++streakPixels;
        }
    EXPECT_GT(streakPixels, 30);
}

} // namespace
