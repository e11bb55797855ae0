// Camera photos far beyond what a picture may hold in memory show in a photo element's
// box: the JPEG is decoded at the smallest scale that still covers the box, and the bound
// holds for what that scale makes.
#include "failures.h"
#include "imagecompare.h"
#include "picturebuilders.h"
#include "race/photo/decoders.h"
#include "race/photo/jpegsession.h"
#include "race/photo/picturelimits.h"

#include <gtest/gtest.h>

#include <jerror.h>

using namespace photo_test;
using quorvel::race::decodeJpegInBox;

namespace {

// The photo elements' boxes (fotoPilotoA, fotoPilotoB).
const QSize kPhotoBox(89, 96);

TEST(JpegScale, IsTheSmallestEighthNotSmallerThanTheDrawnPicture)
{
    const QByteArray small = jpegFile(quadrantPicture(16, 16));
    const struct {
        int width, height;
        QSize drawn;
        unsigned eighths;
        QSize output;
    } cases[] = {
        {800, 600, {89, 66}, 1, {100, 75}},    {800, 600, {400, 300}, 4, {400, 300}},
        {800, 600, {401, 300}, 5, {500, 375}}, {801, 600, {401, 300}, 4, {401, 300}}, // rounded up: never a pixel short
        {800, 600, {800, 600}, 8, {800, 600}}, {800, 600, {900, 700}, 8, {800, 600}}, // never enlarged
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height << " for " << c.drawn.width() << " x "
                                        << c.drawn.height());
        const QByteArray bytes = jpegWithSize(small, c.width, c.height);
        quorvel::race::JpegSession session{};
        ASSERT_EQ(quorvel::race::jpegReadHeader(&session, reinterpret_cast<const unsigned char*>(bytes.constData()),
                                                (unsigned long)bytes.size()),
                  0);
        EXPECT_EQ(quorvel::race::jpegChooseScale(&session, unsigned(c.drawn.width()), unsigned(c.drawn.height())), 0);
        EXPECT_EQ(session.cinfo.scale_num, c.eighths);
        EXPECT_EQ(session.cinfo.scale_denom, 8u);
        EXPECT_EQ(QSize(int(session.cinfo.output_width), int(session.cinfo.output_height)), c.output);
        quorvel::race::jpegEndSession(&session);
    }
}

// The header alone decides: what the chosen scale would make beyond the picture bound, or
// a file beyond the largest photos, is refused before any row is decoded; what passes is
// decoded (here until its data runs out).
TEST(JpegScale, TheMemoryBoundHoldsAtTheChosenScale)
{
    const QByteArray small = jpegFile(quadrantPicture(16, 16));
    const struct {
        const char* name;
        int width, height;
        QSize box;
        int code;
    } cases[] = {
        {"192 megapixels in a photo box", 16000, 12000, kPhotoBox, JWRN_HIT_MARKER},
        {"192 megapixels whole", 16000, 12000, QSize(), JERR_IMAGE_TOO_BIG},
        {"192 megapixels at half scale, 48 megapixels", 16000, 12000, QSize(8000, 8000), JERR_IMAGE_TOO_BIG},
        {"beyond the largest photos", 16384, 12800, kPhotoBox, JERR_IMAGE_TOO_BIG},
        {"beyond the library's own limit", 65535, 8, kPhotoBox, JERR_IMAGE_TOO_BIG},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(
            failsWith([&] { decodeJpegInBox(jpegWithSize(small, c.width, c.height), c.box); }, jpegError(c.code)));
    }
}

// 45 megapixels (a full-frame camera) and 100 megapixels (a medium-format one) show in
// the photo box with the pixels of a whole decode sampled to the drawn size: the scaled
// decode averages where the sampling picks, so they agree within the grain.
TEST(JpegScale, CameraPhotosShowAsAWholeDecodeWould)
{
    const struct {
        int width, height;
    } cases[] = {{8256, 5504}, {11648, 8736}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
        const QByteArray bytes = cameraJpeg(c.width, c.height);
        const QImage shown = decodeJpegInBox(bytes, kPhotoBox);
        const QSize drawn = quorvel::race::fittedSize(QSize(c.width, c.height), kPhotoBox);
        ASSERT_EQ(shown.size(), drawn);
        const QImage whole = fullDecodeSampled(bytes, drawn);
        EXPECT_EQ(imageMismatch(whole, shown, {.edgeChannel = 48, .flatChannel = 48, .meanChannel = 6.0}), "");
    }
}

} // namespace
