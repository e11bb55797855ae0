#include "failures.h"
#include "picturebuilders.h"
#include "race/photo/decoders.h"

#include <gtest/gtest.h>

using namespace photo_test;
using quorvel::race::decodeIco;

namespace {

const QByteArray kInvalid = "Icon image is not valid";

QImage patternPicture(int width, int height, bool alpha)
{
    QImage image(width, height, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(
                x, y, (patternColor(x, y) & 0xFFFFFF) | (alpha ? quint32((x * 16 + 15) % 256) << 24 : 0xFF000000u));
    return image;
}

TEST(IcoDecoder, BitmapEntryTakesItsAndMask)
{
    const QImage picture = patternPicture(13, 5, false);
    const QList<QPoint> holes = {{0, 0}, {12, 4}, {7, 2}};
    const QImage decoded = decodeIco(icoFile({bitmapIconEntry(picture, holes)}));
    ASSERT_EQ(decoded.size(), picture.size());
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            if (holes.contains(QPoint(x, y)))
                EXPECT_EQ(qAlpha(decoded.pixel(x, y)), 0) << x << "," << y;
            else
                EXPECT_EQ(decoded.pixel(x, y), picture.pixel(x, y)) << x << "," << y;
        }
    }
}

TEST(IcoDecoder, AlphaRowsOverrideTheMask)
{
    const QImage picture = patternPicture(4, 4, true);
    const QImage decoded = decodeIco(icoFile({bitmapIconEntry(picture, {{1, 1}})}));
    ASSERT_EQ(decoded.size(), picture.size());
    EXPECT_EQ(decoded.pixel(1, 1), picture.pixel(1, 1));
    EXPECT_EQ(decoded.pixel(3, 2), picture.pixel(3, 2));
}

TEST(IcoDecoder, PicksTheLargestThenDeepestEntry)
{
    const QImage small = patternPicture(16, 16, false);
    QImage largeShallow(32, 32, QImage::Format_RGB32);
    largeShallow.fill(qRgb(10, 20, 30));
    const QImage largeDeep = patternPicture(32, 32, true);

    const QImage chosen = decodeIco(
        icoFile({bitmapIconEntry(small, {}), bitmapIconEntry(largeShallow, {}), bitmapIconEntry(largeDeep, {})}));
    ASSERT_EQ(chosen.size(), QSize(32, 32));
    EXPECT_EQ(chosen.pixel(5, 9), largeDeep.pixel(5, 9));

    // A PNG entry of 256 x 256 (0 in the one-byte directory fields) beats them all.
    const QImage png = patternPicture(256, 256, true);
    const QImage fromPng = decodeIco(icoFile({bitmapIconEntry(small, {}), pngIconEntry(png)}));
    ASSERT_EQ(fromPng.size(), QSize(256, 256));
    EXPECT_EQ(fromPng.pixel(200, 3), png.pixel(200, 3));
    EXPECT_EQ(fromPng.pixel(17, 250), png.pixel(17, 250));
}

TEST(IcoDecoder, RefusesBrokenFiles)
{
    const QByteArray good = icoFile({bitmapIconEntry(patternPicture(8, 8, false), {{1, 1}})});
    IconEntrySpec brokenPng = pngIconEntry(patternPicture(8, 8, false));
    brokenPng.bytes.truncate(brokenPng.bytes.size() / 2);
    // IHDR's width and height, big-endian, claiming 8193 x 4096
    IconEntrySpec hugePng = pngIconEntry(patternPicture(8, 8, false));
    hugePng.bytes.replace(16, 8, QByteArray::fromHex("00002001 00001000"));

    expectAllRefused(
        {
            {"empty", QByteArray()},
            {"a bitmap file", bmpFile(rgb24Spec())},
            {"cursor", changed(good, [](QByteArray& b) { put16(b, 2, 2); })},
            {"no entries", changed(good, [](QByteArray& b) { put16(b, 4, 0); })},
            {"directory cut short", good.left(12)},
            {"entry past the end", changed(good, [](QByteArray& b) { put32(b, 18, 1000); })},
            {"entry inside the directory", changed(good, [](QByteArray& b) { put32(b, 18, 6); })},
            {"empty entry", changed(good, [](QByteArray& b) { put32(b, 14, 0); })},
            {"AND mask cut short",
             [&] {
                 QByteArray b = good.left(good.size() - 4);
                 put32(b, 14, quint32(b.size() - 22));
                 return b;
             }()},
            {"odd row count", changed(good, [](QByteArray& b) { put32(b, 22 + 8, 15); })},
            {"broken PNG", icoFile({brokenPng})},
            {"PNG beyond 32 megapixels", icoFile({hugePng})},
        },
        decodeIco, kInvalid);
}

} // namespace
