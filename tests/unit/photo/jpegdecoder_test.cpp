#include "failures.h"
#include "imagecompare.h"
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

// JPEG's rounding: any pixel of a decoded picture may stand that far from what was encoded.
ImageTolerance jpegRounding(int channel)
{
    return {.edgeChannel = channel, .flatChannel = channel};
}

TEST(JpegDecoder, DecodesColourAndGrey)
{
    const QImage picture = quadrantPicture(48, 32);
    const QImage colour = decodeJpeg(jpegFile(picture));
    ASSERT_EQ(colour.size(), picture.size());
    EXPECT_EQ(imageMismatch(picture, colour, jpegRounding(6)), "");
    EXPECT_EQ(colour.format(), QImage::Format_RGB32);
    EXPECT_EQ(qAlpha(colour.pixel(40, 30)), 255);

    const QImage grey = decodeJpeg(jpegFile(picture, 100, true));
    ASSERT_EQ(grey.size(), picture.size());
    EXPECT_EQ(imageMismatch(picture.convertToFormat(QImage::Format_Grayscale8), grey, jpegRounding(6)), "");
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
        EXPECT_EQ(imageMismatch(solid, decodeJpeg(bytes), jpegRounding(4)), "") << std::hex << expected;
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
        {"beyond the library's own limit", jpegWithSize(good, 65535, 8), JERR_IMAGE_TOO_BIG},
        {"60000 x 60000", jpegWithSize(good, 60000, 60000), JERR_IMAGE_TOO_BIG},
        {"just beyond 32 megapixels", jpegWithSize(good, 8193, 4096), JERR_IMAGE_TOO_BIG},
        {"zero width", jpegWithSize(good, 0, 64), JERR_EMPTY_IMAGE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(failsWith([&] { decodeJpeg(c.bytes); }, jpegError(c.code)));
    }
}

// A progressive JPEG. Grey in `scans` scans: the DC coefficients, then the 63 AC ones in
// bands as even as they divide; colour (scans 0) in libjpeg's own ten scans, without
// chroma subsampling.
QByteArray progressiveJpeg(const QImage& picture, int scans)
{
    const bool colour = scans == 0;
    const QImage source = picture.convertToFormat(colour ? QImage::Format_RGB888 : QImage::Format_Grayscale8);
    return compressJpeg(
        source.width(), source.height(), colour ? 3 : 1, colour ? JCS_RGB : JCS_GRAYSCALE,
        [&](int y) { return source.constScanLine(y); }, 75, false, scans);
}

// A progressive file with a frame header (SOF2) claiming another size.
QByteArray progressiveWithSize(QByteArray jpeg, int width, int height)
{
    const qsizetype at = jpeg.indexOf(QByteArray("\xFF\xC2", 2)) + 5;
    jpeg[at] = char(height >> 8);
    jpeg[at + 1] = char(height);
    jpeg[at + 2] = char(width >> 8);
    jpeg[at + 3] = char(width);
    return jpeg;
}

// Each scan of a progressive file is a pass over the whole picture and may cost a few
// bytes; the number of scans is bounded (JERR_IMAGE_TOO_BIG), as is the memory libjpeg
// may take for the coefficients it keeps (JERR_NO_BACKING_STORE, its own message when a
// picture needs more than it may have).
TEST(JpegDecoder, BoundsTheWorkOfProgressiveFiles)
{
    const QImage picture = quadrantPicture(64, 48);
    const QByteArray ten = progressiveJpeg(picture, 10);
    EXPECT_EQ(imageMismatch(picture.convertToFormat(QImage::Format_Grayscale8), decodeJpeg(ten), jpegRounding(6)), "");
    EXPECT_EQ(decodeJpeg(progressiveJpeg(picture, 32)).size(), picture.size());
    EXPECT_TRUE(failsWith([&] { decodeJpeg(progressiveJpeg(picture, 33)); }, jpegError(JERR_IMAGE_TOO_BIG)));
    EXPECT_TRUE(failsWith([&] { decodeJpeg(progressiveJpeg(picture, 64)); }, jpegError(JERR_IMAGE_TOO_BIG)));
    const QByteArray colour = progressiveJpeg(picture, 0);
    EXPECT_EQ(imageMismatch(picture, decodeJpeg(colour), jpegRounding(6)), "");
    // At the largest picture grey keeps 64 MB of coefficients, and is decoded until its
    // data runs out; full colour would keep 192 MB.
    EXPECT_TRUE(failsWith([&] { decodeJpeg(progressiveWithSize(ten, 8192, 4096)); }, jpegError(JWRN_HIT_MARKER)));
    EXPECT_TRUE(
        failsWith([&] { decodeJpeg(progressiveWithSize(colour, 8192, 4096)); }, jpegError(JERR_NO_BACKING_STORE)));
}

// A missing end marker after complete rows loses nothing.
TEST(JpegDecoder, AcceptsAMissingEndMarker)
{
    const QImage picture = quadrantPicture(32, 32);
    QByteArray bytes = jpegFile(picture);
    ASSERT_TRUE(bytes.endsWith("\xFF\xD9"));
    bytes.chop(2);
    EXPECT_EQ(imageMismatch(picture, decodeJpeg(bytes), jpegRounding(6)), "");
}

// Failures leave through the library's error exit; the same decoder must keep working
// afterwards, over and over (a leak or a broken unwinding shows under the sanitizers).
TEST(JpegDecoder, KeepsWorkingAfterFailures)
{
    const QByteArray good = jpegFile(quadrantPicture(32, 32));
    for (int i = 0; i < 200; ++i) {
        EXPECT_THROW(decodeJpeg(good.left(good.size() / 2)), quorvel::Failure);
        EXPECT_THROW(decodeJpeg(jpegWithSize(good, 60000, 60000)), quorvel::Failure);
    }
    EXPECT_EQ(decodeJpeg(good).size(), QSize(32, 32));
}

TEST(PictureLimit, AllowsUpTo32Megapixels)
{
    using quorvel::race::withinPictureLimit;
    const struct {
        qint64 width, height;
        bool allowed;
    } cases[] = {
        {1, 1, true},          {8192, 4096, true},
        {8193, 4096, false},   {33554432, 1, true},
        {1, 33554433, false},  {8192, 8192, false},
        {0, 5, false},         {5, -1, false},
        {65535, 65535, false}, {qint64(1) << 40, qint64(1) << 40, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(withinPictureLimit(c.width, c.height), c.allowed) << c.width << " x " << c.height;
}

} // namespace
