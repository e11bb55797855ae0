#include "pictures.h"

#include <gtest/gtest.h>

namespace {

const QColor magenta(255, 0, 255);
const QColor boardBlue(0, 51, 153);
const int rowTops[] = {104, 133, 162, 191, 219, 248, 277, 305, 334, 363, 392};

class BoardBackground : public ::testing::Test {
protected:
    const QImage board = builtInPicture("board.png").convertToFormat(QImage::Format_RGB32);
};

TEST_F(BoardBackground, IsMagentaOutsideTheBoardAndInTheGapUnderTheHeader)
{
    const QPoint outside[] = {{0, 0},    {6, 200}, {282, 200},  {140, 10}, {140, 392}, {283, 50}, {700, 300},
                              {1319, 0}, {0, 599}, {1319, 599}, {8, 71},   {100, 74},  {190, 77}};
    for (const QPoint p : outside)
        EXPECT_EQ(QColor(board.pixel(p)), magenta) << p.x() << ", " << p.y() << " is " << describe(board.pixel(p));

    // The board's edge pixels blend into the magenta: neither one nor the other.
    for (const QPoint edge : {QPoint(7, 200), QPoint(281, 200), QPoint(140, 11), QPoint(140, 391)}) {
        const QRgb pixel = board.pixel(edge);
        EXPECT_NE(QColor(pixel), magenta) << edge.x() << ", " << edge.y();
        EXPECT_GT(qRed(pixel), 60) << edge.x() << ", " << edge.y() << " is " << describe(pixel);
    }
}

TEST_F(BoardBackground, HeaderAndCategoryBarAreBlueWithTheBrandInWhite)
{
    for (const QPoint p : {QPoint(8, 12), QPoint(185, 68), QPoint(280, 12), QPoint(150, 15), QPoint(8, 78),
                           QPoint(100, 90), QPoint(185, 103), QPoint(280, 103), QPoint(280, 74)})
        EXPECT_EQ(QColor(board.pixel(p)), boardBlue) << p.x() << ", " << p.y() << " is " << describe(board.pixel(p));

    const QRect brand = brightInk(board, QRect(8, 12, 183, 59));
    ASSERT_FALSE(brand.isNull());
    EXPECT_LT(brand.left(), 40) << "the start-tree sign's frame";
    EXPECT_GT(brand.right(), 120) << "the brand name";
}

TEST_F(BoardBackground, CodeSquareIsWhiteAndHoldsABlackCode)
{
    for (const QPoint corner : {QPoint(191, 14), QPoint(278, 14), QPoint(191, 100), QPoint(278, 100)})
        EXPECT_EQ(QColor(board.pixel(corner)), QColor(Qt::white)) << corner.x() << ", " << corner.y();
    int black = 0;
    for (int y = 14; y <= 100; ++y)
        for (int x = 191; x <= 278; ++x)
            black += QColor(board.pixel(x, y)) == QColor(Qt::black);
    // Roughly half the modules of a code are dark; none of it is grey.
    EXPECT_GT(black, 88 * 87 / 5);
    EXPECT_LT(black, 88 * 87 / 2);
    // the three finder patterns have dark corners
    EXPECT_EQ(QColor(board.pixel(204, 27)), QColor(Qt::black));
}

TEST_F(BoardBackground, TenRowsAlternateDarkGreyWithNumberedGreyCellsAndBlueBars)
{
    for (int row = 0; row < 10; ++row) {
        SCOPED_TRACE("row " + std::to_string(row + 1));
        const int top = rowTops[row];
        const int closing = rowTops[row + 1] - 1;
        const int middle = (top + closing) / 2;
        const QColor shade = row % 2 == 0 ? QColor(28, 28, 28) : QColor(19, 19, 19);
        EXPECT_EQ(QColor(board.pixel(120, middle)), shade);
        EXPECT_EQ(QColor(board.pixel(250, top)), shade);
        EXPECT_TRUE(colourNear(board.pixel(34, middle), QColor(0, 86, 206), 2)) << describe(board.pixel(34, middle));
        EXPECT_TRUE(colourNear(board.pixel(215, middle), QColor(0, 105, 251), 2)) << describe(board.pixel(215, middle));
        for (const int y : {top, closing - 1}) {
            const QRgb cell = board.pixel(9, y);
            EXPECT_TRUE(qRed(cell) >= 112 && qRed(cell) <= 127 && qRed(cell) == qBlue(cell)) << describe(cell);
        }
        if (row < 9) {
            const QRgb line = board.pixel(120, closing);
            EXPECT_TRUE(qBlue(line) > qRed(line) + 40 && qBlue(line) < 160) << "closing line " << describe(line);
        }
        const QRect number = brightInk(board, QRect(8, top, 24, closing - top));
        ASSERT_FALSE(number.isNull());
        EXPECT_NEAR(number.center().x(), 19.5, 1.5);
        EXPECT_GE(number.width(), row == 9 ? 12 : 3) << "10 has two numerals";
    }
}

} // namespace
