#include "overlay/pictureplacement.h"
#include "overlay/renderer.h"
#include "overlay/screen.h"

#include <QPainter>
#include <gtest/gtest.h>

using namespace quorvel::overlay;

namespace {

// A picture whose every pixel differs from its neighbours, so that any other choice of
// rows and columns, or any filtering, shows.
QImage pattern(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            row[x] = qRgb((x * 7 + y) & 255, (y * 13 + x * 3) & 255, (x ^ y) & 255);
    }
    return image;
}

// What the window shows of the element: the whole picture sampled to its drawn size at its
// place inside the box, over what lies beneath.
QImage expectedWindow(const Screen& withoutPicture, El e, const QImage& whole, const QRect& area)
{
    QImage window = renderScreen(withoutPicture, area);
    const Element& el = withoutPicture.element(e);
    const QRect box = withoutPicture.windowRect(e);
    const QRect placed = placePicture(whole.size(), el.box.size(), true, true).translated(box.topLeft());
    QPainter painter(&window);
    painter.translate(-area.topLeft());
    painter.setClipRect(box);
    painter.drawImage(placed.topLeft(), preparePicture(whole, placed.size(), false));
    return window;
}

TEST(PhotoPresampling, KeepsTheDrawnSizeAndPaintsTheSamePixels)
{
    const struct {
        El element;
        QSize picture;
        QSize kept; // what the screen model holds
    } cases[] = {
        {El::fotoPilotoA, {4000, 3000}, {89, 66}}, // a camera's landscape photo
        {El::fotoPilotoA, {3000, 4000}, {72, 96}}, // portrait
        {El::fotoPilotoB, {400, 300}, {89, 66}},
        {El::fotoPilotoB, {1000, 100}, {89, 8}},
        {El::fotoPilotoA, {60, 40}, {60, 40}}, // fits: kept as it is
        {El::fotoPilotoA, {89, 96}, {89, 96}},
        {El::fotoPilotoB, {2001, 1999}, {89, 88}}, // odd sizes: truncation on both axes
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << elementName(c.element) << " " << c.picture.width() << "x"
                                        << c.picture.height());
        const QImage whole = pattern(c.picture);
        Screen screen;
        const QRect area = screen.windowRect(c.element).adjusted(-3, -3, 3, 3);
        const QImage expected = expectedWindow(screen, c.element, whole, area);
        screen.setPicture(c.element, whole);
        EXPECT_EQ(screen.element(c.element).picture.size(), c.kept);
        EXPECT_EQ(screen.element(c.element).box, Screen().element(c.element).box) << "the box stays";
        const QImage shown = renderScreen(screen, area);
        ASSERT_EQ(shown.size(), expected.size());
        EXPECT_TRUE(shown == expected) << "the drawn pixels differ";
    }
}

TEST(PhotoPresampling, LeavesKeyedAndUnfittedPicturesWhole)
{
    Screen screen;
    // the lamps take out their key colour from the whole picture's corner
    const QImage lamp = pattern({400, 400});
    screen.setPicture(El::imgPreA, lamp);
    EXPECT_EQ(screen.element(El::imgPreA).picture.cacheKey(), lamp.cacheKey());
    // the board's background is drawn at its natural size
    const QImage board = pattern({1400, 700});
    screen.setPicture(El::imgFundoClass, board);
    EXPECT_EQ(screen.element(El::imgFundoClass).picture.cacheKey(), board.cacheKey());
    screen.setPicture(El::fotoPilotoA, QImage());
    EXPECT_TRUE(screen.element(El::fotoPilotoA).picture.isNull());
}

} // namespace
