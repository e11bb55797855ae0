#include "pictures.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

const QColor outlineGrey(51, 51, 51);

QImage lamp(const char* fileName)
{
    return builtInPicture(fileName).convertToFormat(QImage::Format_RGB32);
}

// How far the pixel's square reaches towards and away from the centre of a disc filling
// a picture of the given size.
double nearestDistance(int size, int x, int y)
{
    const double c = size / 2.0;
    const double dx = std::max({x - c, c - (x + 1), 0.0});
    const double dy = std::max({y - c, c - (y + 1), 0.0});
    return std::hypot(dx, dy);
}

double farthestDistance(int size, int x, int y)
{
    const double c = size / 2.0;
    return std::hypot(std::max(std::abs(x - c), std::abs(x + 1 - c)), std::max(std::abs(y - c), std::abs(y + 1 - c)));
}

struct Lamp {
    const char* fileName;
    int size;
};

const Lamp everyLamp[] = {{"lamp_prestage.png", 185},     {"lamp_stage.png", 185},  {"lamp_green.png", 179},
                          {"lamp_disqualified.png", 179}, {"lamp_winner.png", 179}, {"lamp_foul.png", 364}};

// The overlay keys each lamp on its bottom-left pixel: that pixel, the corners and all that
// lies outside the disc must be white, and nothing within the lamp may be, or it would
// show a hole.
TEST(Lamps, AreWhiteOutsideTheirDiscAndNeverWhiteWithinIt)
{
    for (const Lamp& facts : everyLamp) {
        SCOPED_TRACE(facts.fileName);
        const QImage image = lamp(facts.fileName);
        ASSERT_EQ(image.size(), QSize(facts.size, facts.size));
        const int last = facts.size - 1;
        for (const QPoint corner : {QPoint(0, last), QPoint(0, 0), QPoint(last, 0), QPoint(last, last)})
            EXPECT_TRUE(isPureWhite(image.pixel(corner))) << corner.x() << ", " << corner.y();

        for (int y = 0; y < facts.size; ++y)
            for (int x = 0; x < facts.size; ++x) {
                if (nearestDistance(facts.size, x, y) < facts.size / 2.0)
                    continue;
                ASSERT_TRUE(isPureWhite(image.pixel(x, y))) << x << ", " << y << " is " << describe(image.pixel(x, y));
            }
    }
    for (const char* fileName : {"lamp_green.png", "lamp_disqualified.png", "lamp_winner.png", "lamp_foul.png"}) {
        SCOPED_TRACE(fileName);
        const QImage image = lamp(fileName);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                if (farthestDistance(image.width(), x, y) >= image.width() / 2.0)
                    continue;
                ASSERT_FALSE(isPureWhite(image.pixel(x, y))) << x << ", " << y;
            }
    }
}

TEST(Lamps, PreStageIsTheUpperHalfAndStageTheLowerHalfOfOneDisc)
{
    const QImage preStage = lamp("lamp_prestage.png");
    const QImage stage = lamp("lamp_stage.png");
    const auto rowIsWhite = [](const QImage& image, int y) {
        for (int x = 0; x < image.width(); ++x)
            if (!isPureWhite(image.pixel(x, y)))
                return false;
        return true;
    };
    for (int y = 97; y < 185; ++y)
        EXPECT_TRUE(rowIsWhite(preStage, y)) << "pre-stage row " << y;
    for (int y = 0; y <= 87; ++y)
        EXPECT_TRUE(rowIsWhite(stage, y)) << "stage row " << y;
    EXPECT_FALSE(rowIsWhite(preStage, 0));
    EXPECT_FALSE(rowIsWhite(preStage, 96));
    EXPECT_FALSE(rowIsWhite(stage, 88));
    EXPECT_FALSE(rowIsWhite(stage, 184));

    // Their flat edges are outlined, and their fill runs from dark blue at the curve to
    // light blue at the flat edge.
    EXPECT_EQ(QColor(preStage.pixel(92, 95)), outlineGrey);
    EXPECT_EQ(QColor(stage.pixel(92, 89)), outlineGrey);
    EXPECT_EQ(QColor(preStage.pixel(92, 1)), outlineGrey);
    EXPECT_TRUE(colourNear(preStage.pixel(92, 6), QColor(4, 112, 255), 6)) << describe(preStage.pixel(92, 6));
    EXPECT_TRUE(colourNear(preStage.pixel(92, 91), QColor(55, 181, 255), 6)) << describe(preStage.pixel(92, 91));
    for (int y = 0; y < 185; ++y)
        for (int x = 0; x < 185; ++x)
            ASSERT_EQ(stage.pixel(x, y), preStage.pixel(x, 184 - y)) << "stage mirrors pre-stage at " << x << ", " << y;

    // Shown together, the stage lamp keyed over the pre-stage lamp, they leave no hole.
    for (int y = 0; y < 185; ++y)
        for (int x = 0; x < 185; ++x) {
            if (farthestDistance(185, x, y) >= 92.5)
                continue;
            const QRgb top = stage.pixel(x, y);
            const QRgb shown = isPureWhite(top) ? preStage.pixel(x, y) : top;
            ASSERT_FALSE(isPureWhite(shown)) << x << ", " << y;
        }
}

TEST(Lamps, RoundLampsAreShadedFromTheirCentreColourToTheirRimColourInsideAGreyOutline)
{
    struct RadialLamp {
        const char* fileName;
        int size;
        int outline;
        QColor centre;
        QColor rim;
    };
    const RadialLamp lamps[] = {
        {"lamp_green.png", 179, 2, QColor(0, 254, 1), QColor(0, 155, 50)},
        {"lamp_disqualified.png", 179, 2, QColor(255, 254, 1), QColor(255, 155, 50)},
        {"lamp_foul.png", 364, 11, QColor(255, 124, 124), QColor(255, 4, 4)},
    };
    for (const RadialLamp& facts : lamps) {
        SCOPED_TRACE(facts.fileName);
        const QImage image = lamp(facts.fileName);
        const int middle = facts.size / 2;
        EXPECT_TRUE(colourNear(image.pixel(middle, middle), facts.centre, 3)) << describe(image.pixel(middle, middle));
        // just inside the outline, at the top and at the left
        EXPECT_TRUE(colourNear(image.pixel(middle, facts.outline + 1), facts.rim, 8));
        EXPECT_TRUE(colourNear(image.pixel(facts.outline + 1, middle), facts.rim, 8));
        // the outline itself, mid-thickness
        EXPECT_EQ(QColor(image.pixel(middle, facts.outline / 2)), outlineGrey);
        EXPECT_EQ(QColor(image.pixel(facts.size - 1 - facts.outline / 2, middle)), outlineGrey);
    }
}

TEST(Lamps, WinnerHoldsAChequeredFlagInVioletGreyAndLightGrey)
{
    const QImage image = lamp("lamp_winner.png");
    int dark = 0, light = 0, inside = 0;
    for (int y = 0; y < 179; ++y)
        for (int x = 0; x < 179; ++x) {
            if (farthestDistance(179, x, y) >= 87.5)
                continue;
            ++inside;
            const QRgb pixel = image.pixel(x, y);
            dark += colourNear(pixel, QColor(79, 76, 95), 12);
            light += colourNear(pixel, QColor(232, 232, 232), 24);
        }
    EXPECT_GT(dark, inside / 4);
    EXPECT_GT(light, inside / 4);

    // about four squares across the middle: count the changes between dark and light
    int changes = 0;
    bool wasDark = qRed(image.pixel(4, 89)) < 150;
    for (int x = 5; x < 175; ++x) {
        const bool isDark = qRed(image.pixel(x, 89)) < 150;
        changes += isDark != wasDark;
        wasDark = isDark;
    }
    EXPECT_GE(changes, 3);
    EXPECT_LE(changes, 5);
}

} // namespace
