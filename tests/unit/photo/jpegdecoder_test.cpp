#include "failures.h"
#include "picturebuilders.h"
#include "race/photo/decoders.h"
#include "race/photo/picturelimits.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <jerror.h>
#include <jpeglib.h>

using namespace photo_test;
using quorvel::race::decodeJpeg;

namespace {

QByteArray jpegError(int code)
{
    return QByteArray("JPEG error #") + QByteArray::number(code);
}

QByteArray withSize(QByteArray jpeg, int width, int height)
{
    const int at = jpegSizeFieldOffset(jpeg);
    jpeg[at] = char(height >> 8);
    jpeg[at + 1] = char(height);
    jpeg[at + 2] = char(width >> 8);
    jpeg[at + 3] = char(width);
    return jpeg;
}

TEST(JpegDecoder, DecodesColourAndGrey)
{
    const QImage picture = quadrantPicture(48, 32);
    const QImage colour = decodeJpeg(jpegFile(picture));
    ASSERT_EQ(colour.size(), picture.size());
    EXPECT_LE(largestDifference(colour, picture), 6);
    EXPECT_EQ(colour.format(), QImage::Format_RGB32);
    EXPECT_EQ(qAlpha(colour.pixel(40, 30)), 255);

    const QImage grey = decodeJpeg(jpegFile(picture, 100, true));
    ASSERT_EQ(grey.size(), picture.size());
    EXPECT_LE(largestDifference(grey, picture.convertToFormat(QImage::Format_Grayscale8)), 6);
}

// libjpeg writes CMYK with Adobe's marker and inverted inks, as Photoshop does.
TEST(JpegDecoder, DecodesAdobeCmyk)
{
    const QRgb inks[] = {qRgb(255, 0, 0), qRgb(0, 0, 255), qRgb(255, 255, 255), qRgb(0, 0, 0)};
    for (QRgb expected : inks) {
        // inverted: 255 - cyan, magenta, yellow from the colour; no black ink
        const uchar ink[4] = {uchar(qRed(expected)), uchar(qGreen(expected)), uchar(qBlue(expected)), 255};
        QByteArray row;
        for (int x = 0; x < 16; ++x)
            row.append(reinterpret_cast<const char*>(ink), 4);
        const QByteArray bytes = compressJpeg(
            16, 16, 4, JCS_CMYK, [&](int) { return reinterpret_cast<const uchar*>(row.constData()); }, 100, false);

        QImage solid(16, 16, QImage::Format_RGB32);
        solid.fill(expected);
        EXPECT_LE(largestDifference(decodeJpeg(bytes), solid), 4) << std::hex << expected;
    }
}

TEST(JpegDecoder, ReportsTheLibrarysMessageNumber)
{
    QImage detailed(64, 64, QImage::Format_RGB32);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            detailed.setPixel(x, y, patternColor(x, y));
    const QByteArray good = jpegFile(detailed, 90);
    const qsizetype scanStart = good.indexOf(QByteArray("\xFF\xDA", 2));
    ASSERT_GT(scanStart, 0);
    ASSERT_LT(scanStart + 200, good.size() * 2 / 3);
    const struct {
        const char* name;
        QByteArray bytes;
        int code;
    } cases[] = {
        {"empty", QByteArray(), JERR_INPUT_EMPTY},
        {"not a JPEG", bmpFile(rgb24Spec()), JERR_NO_SOI},
        // the rows would come out grey: an error, not a picture
        {"cut in the image data", good.left(good.size() * 2 / 3), JWRN_HIT_MARKER},
        {"cut in the header", good.left(scanStart - 10), JWRN_JPEG_EOF},
        {"beyond the library's own limit", withSize(good, 65535, 8), JERR_IMAGE_TOO_BIG},
        {"60000 x 60000", withSize(good, 60000, 60000), JERR_IMAGE_TOO_BIG},
        {"just beyond 64 megapixels", withSize(good, 8193, 8192), JERR_IMAGE_TOO_BIG},
        {"zero width", withSize(good, 0, 64), JERR_EMPTY_IMAGE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(failsWith([&] { decodeJpeg(c.bytes); }, jpegError(c.code)));
    }
}

// A missing end marker after complete rows loses nothing.
TEST(JpegDecoder, AcceptsAMissingEndMarker)
{
    const QImage picture = quadrantPicture(32, 32);
    QByteArray bytes = jpegFile(picture);
    ASSERT_TRUE(bytes.endsWith("\xFF\xD9"));
    bytes.chop(2);
    EXPECT_LE(largestDifference(decodeJpeg(bytes), picture), 6);
}

// Failures leave through the library's error exit; the same decoder must keep working
// afterwards, over and over (a leak or a broken unwinding shows under the sanitizers).
TEST(JpegDecoder, KeepsWorkingAfterFailures)
{
    const QByteArray good = jpegFile(quadrantPicture(32, 32));
    for (int i = 0; i < 200; ++i) {
        EXPECT_THROW(decodeJpeg(good.left(good.size() / 2)), quorvel::Failure);
        EXPECT_THROW(decodeJpeg(withSize(good, 60000, 60000)), quorvel::Failure);
    }
    EXPECT_EQ(decodeJpeg(good).size(), QSize(32, 32));
}

TEST(PictureLimit, AllowsUpTo64Megapixels)
{
    using quorvel::race::withinPictureLimit;
    const struct {
        qint64 width, height;
        bool allowed;
    } cases[] = {
        {1, 1, true},       {8192, 8192, true},         {8193, 8192, false}, {67108864, 1, true},
        {1, 67108865, false}, {0, 5, false},            {5, -1, false},      {65535, 65535, false},
        {qint64(1) << 40, qint64(1) << 40, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(withinPictureLimit(c.width, c.height), c.allowed) << c.width << " x " << c.height;
}

} // namespace
