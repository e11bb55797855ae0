#include "pictures.h"

#include <gtest/gtest.h>

namespace {

const QColor ground(26, 27, 29);

class StripBackground : public ::testing::Test {
protected:
    const QImage strip = builtInPicture("strip.png").convertToFormat(QImage::Format_RGB32);
};

TEST_F(StripBackground, GroundShowsAroundTheTileAndTheCellsAndInTheGap)
{
    const QPoint groundPoints[] = {
        {0, 0},    {3, 50},    {160, 50},  {163, 30}, {300, 23},   {300, 24}, {800, 2},
        {800, 96}, {800, 103}, {1625, 50}, {1631, 0}, {1631, 103}, {5, 103},  {100, 101},
    };
    for (const QPoint p : groundPoints)
        EXPECT_EQ(QColor(strip.pixel(p)), ground) << p.x() << ", " << p.y() << " is " << describe(strip.pixel(p));

    for (int y = 25; y <= 95; ++y)
        for (int x = 687; x <= 691; ++x)
            ASSERT_EQ(QColor(strip.pixel(x, y)), ground) << "gap at " << x << ", " << y;
}

TEST_F(StripBackground, EveryCellIsShadedFromLightBlueOnTheLeftToDeepBlueOnTheRight)
{
    struct Cell {
        int left;
        int right;
    };
    // Lane letter and lamp cells carry artwork in their middle, not at their edges.
    const Cell cells[] = {{164, 186},  {187, 223},   {224, 518},   {519, 686},   {692, 816},   {817, 942},
                          {943, 1068}, {1069, 1194}, {1195, 1320}, {1321, 1445}, {1446, 1571}, {1572, 1620}};
    for (const Cell& cell : cells)
        for (const int y : {26, 42, 58, 62, 78, 94}) {
            SCOPED_TRACE(std::to_string(cell.left) + " row y " + std::to_string(y));
            EXPECT_TRUE(colourNear(strip.pixel(cell.left, y), QColor(0, 82, 200), 6))
                << describe(strip.pixel(cell.left, y));
            EXPECT_TRUE(colourNear(strip.pixel(cell.right - 1, y), QColor(0, 74, 138), 8))
                << describe(strip.pixel(cell.right - 1, y));
        }
}

TEST_F(StripBackground, CellsArePartedByDarkLinesAndTheRowsByADarkBlueDivider)
{
    for (const int x : {186, 223, 518, 816, 942, 1068, 1194, 1320, 1445, 1571})
        for (const int y : {30, 80}) {
            const QRgb pixel = strip.pixel(x, y);
            EXPECT_TRUE(qRed(pixel) >= 8 && qRed(pixel) <= 17 && qGreen(pixel) >= 43 && qGreen(pixel) <= 56 &&
                        qBlue(pixel) >= 80 && qBlue(pixel) <= 105)
                << x << ", " << y << " is " << describe(pixel);
        }
    for (const int x : {164, 200, 400, 686, 692, 1000, 1620})
        EXPECT_TRUE(colourNear(strip.pixel(x, 60), QColor(19, 40, 67), 3))
            << x << " is " << describe(strip.pixel(x, 60));
    EXPECT_EQ(QColor(strip.pixel(1621, 60)), ground);
    EXPECT_EQ(QColor(strip.pixel(163, 60)), ground);
}

TEST_F(StripBackground, LogoTileIsBlueWithWhiteLettersBetweenRows18And64)
{
    EXPECT_TRUE(colourNear(strip.pixel(9, 7), QColor(0, 77, 183), 8)) << describe(strip.pixel(9, 7));
    EXPECT_TRUE(colourNear(strip.pixel(155, 96), QColor(0, 71, 132), 8)) << describe(strip.pixel(155, 96));

    const QRect ink = brightInk(strip, QRect(6, 4, 153, 96));
    ASSERT_FALSE(ink.isNull());
    EXPECT_GE(ink.top(), 18);
    EXPECT_LE(ink.bottom(), 64);
    EXPECT_GT(ink.width(), 80) << "the logo fills the tile's width";
}

TEST_F(StripBackground, EachHeaderIsWhiteAndCentredOverItsColumnBetweenRows5And21)
{
    struct Header {
        const char* caption;
        int centreX;
    };
    const Header headers[] = {{"PILOTO", 371}, {"CATEGORIA", 602}, {"REACAO", 754}, {"60FT", 878},    {"100M", 1009},
                              {"201M", 1130},  {"KM/H", 1257},     {"TOTAL", 1382}, {"STATUS", 1508}, {"POS", 1595}};
    // Above the cells, right of the tile, nothing but the headers is bright.
    const QRect band(160, 0, 1472, 25);
    for (int i = 0; i < int(std::size(headers)); ++i) {
        const Header& header = headers[i];
        SCOPED_TRACE(header.caption);
        // Each header owns the band half-way to its neighbours.
        const int left = i == 0 ? band.left() : (headers[i - 1].centreX + header.centreX) / 2;
        const int right =
            i + 1 == int(std::size(headers)) ? band.right() : (header.centreX + headers[i + 1].centreX) / 2;
        const QRect ink = brightInk(strip, QRect(left, band.top(), right - left, band.height()));
        ASSERT_FALSE(ink.isNull());
        EXPECT_GE(ink.top(), 5);
        EXPECT_LE(ink.bottom(), 21);
        EXPECT_NEAR((ink.left() + ink.right()) / 2.0, header.centreX, 1.0);
        EXPECT_GE(ink.height(), 10) << "capitals, not a stray pixel";
    }
}

TEST_F(StripBackground, LaneLettersAreWhite14PixelsHighInTheMiddleOfTheirCells)
{
    for (const QRect cell : {QRect(164, 25, 22, 35), QRect(164, 61, 22, 35)}) {
        SCOPED_TRACE(cell.top());
        const QRect ink = brightInk(strip, cell);
        ASSERT_FALSE(ink.isNull());
        EXPECT_NEAR(ink.height(), 14, 1);
        EXPECT_NEAR(ink.center().x(), 175, 1.5);
        EXPECT_NEAR(ink.center().y(), cell.top() + 17, 1.5);
    }
    // Down the middle of the letter, E crosses three arms and D two sides of its bowl.
    const auto strokesDownTheMiddle = [&](const QRect& cell) {
        const int x = brightInk(strip, cell).center().x();
        int strokes = 0;
        for (int y = cell.top(); y < cell.bottom(); ++y)
            strokes += !isBright(strip.pixel(x, y)) && isBright(strip.pixel(x, y + 1));
        return strokes;
    };
    EXPECT_EQ(strokesDownTheMiddle(QRect(164, 25, 22, 35)), 3);
    EXPECT_EQ(strokesDownTheMiddle(QRect(164, 61, 22, 35)), 2);
}

} // namespace
