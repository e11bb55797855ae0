#include "imagecompare.h"
#include "pictures.h"

#include <QPainter>

#include <functional>
#include <map>

#include <gtest/gtest.h>

namespace {

QImage committed(const QString& name)
{
    return builtInPicture(name.toUtf8().constData()).convertToFormat(QImage::Format_ARGB32);
}

// Every pixel an edge crosses a few units off, as another processor's blending leaves it.
QImage roundedOtherwise(const QImage& picture)
{
    QImage out = picture;
    int n = 0;
    for (int y = 1; y + 1 < picture.height(); ++y)
        for (int x = 1; x + 1 < picture.width(); ++x) {
            const QRgb p = picture.pixel(x, y);
            if (picture.pixel(x + 1, y) == p && picture.pixel(x - 1, y) == p && picture.pixel(x, y + 1) == p &&
                picture.pixel(x, y - 1) == p)
                continue;
            const int step = 1 + n++ % 3;
            const int red = qRed(p) + (qRed(p) + step <= 255 ? step : -step);
            out.setPixel(x, y, qRgba(red, qGreen(p), qBlue(p), qAlpha(p)));
        }
    return out;
}

// The whole drawing one pixel to the right: every vertical edge moved.
QImage movedRight(const QImage& picture)
{
    QImage out = picture;
    QPainter painter(&out);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(1, 0, picture);
    return out;
}

// The picture's most common colour two units bluer: a wrong colour a viewer hardly sees.
QImage mainColourOff(const QImage& picture)
{
    std::map<QRgb, int> counts;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            ++counts[picture.pixel(x, y)];
    const QRgb main = std::max_element(counts.begin(), counts.end(), [](const auto& a, const auto& b) {
                          return a.second < b.second;
                      })->first;
    const int blue = qBlue(main) <= 253 ? qBlue(main) + 2 : qBlue(main) - 2;
    const QRgb off = qRgba(qRed(main), qGreen(main), blue, qAlpha(main));
    QImage out = picture;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            if (picture.pixel(x, y) == main)
                out.setPixel(x, y, off);
    return out;
}

// The lettering gone: every bright pixel takes the colour of the nearest dark one above.
QImage letteringMissing(const QImage& picture)
{
    QImage out = picture;
    for (int x = 0; x < picture.width(); ++x) {
        QRgb ground = picture.pixel(x, 0);
        for (int y = 0; y < picture.height(); ++y) {
            if (isBright(picture.pixel(x, y)))
                out.setPixel(x, y, ground);
            else
                ground = picture.pixel(x, y);
        }
    }
    return out;
}

// A single small element gone: a 3 x 3 patch in the middle of the picture painted over
// with a colour it does not have there.
QImage smallPatchChanged(const QImage& picture)
{
    QImage out = picture;
    const int cx = picture.width() / 2;
    const int cy = picture.height() / 2;
    const QRgb p = picture.pixel(cx, cy);
    const auto far = [](int channel) { return channel < 128 ? 255 : 0; };
    const QRgb other = qRgba(far(qRed(p)), far(qGreen(p)), far(qBlue(p)), 255);
    for (int y = cy - 1; y <= cy + 1; ++y)
        for (int x = cx - 1; x <= cx + 1; ++x)
            out.setPixel(x, y, other);
    return out;
}

bool hasBrightPixels(const QImage& picture)
{
    return !brightInk(picture, picture.rect()).isNull();
}

TEST(ImageCompare, AcceptsTheSamePictureAndEdgesAFewUnitsOff)
{
    for (const QString& name : quorvel::assets::pictureFileNames()) {
        SCOPED_TRACE(name.toStdString());
        const QImage picture = committed(name);
        ASSERT_FALSE(picture.isNull());
        EXPECT_EQ(imageMismatch(picture, picture), "");
        const QImage rounded = roundedOtherwise(picture);
        ASSERT_TRUE(rounded != picture) << "the picture has no edges to round";
        EXPECT_EQ(imageMismatch(picture, rounded), "");
    }
}

// Every real change of the artwork must fail the comparison, even where the anti-aliased
// rounding it accepts lies beside it.
TEST(ImageCompare, RefusesEveryRealChangeOfTheArtwork)
{
    struct Change {
        const char* what;
        std::function<QImage(const QImage&)> make;
        bool needsLettering = false;
    };
    const std::vector<Change> changes = {
        {"an edge moved by one pixel", movedRight},
        {"a flat colour two units off", mainColourOff},
        {"the lettering missing", letteringMissing, true},
        {"a 3 x 3 element painted over", smallPatchChanged},
        {"a moved edge among rounded ones", [](const QImage& p) { return roundedOtherwise(movedRight(p)); }},
    };
    for (const QString& name : quorvel::assets::pictureFileNames()) {
        const QImage picture = committed(name);
        ASSERT_FALSE(picture.isNull());
        for (const Change& change : changes) {
            SCOPED_TRACE(name.toStdString() + ": " + change.what);
            if (change.needsLettering && !hasBrightPixels(picture))
                continue;
            const QImage changed = change.make(picture);
            if (changed == picture)
                continue; // a picture of one colour has no edge to move
            EXPECT_NE(imageMismatch(picture, changed), "");
        }
    }
}

TEST(ImageCompare, RefusesOtherSizesAndMissingPictures)
{
    const QImage picture = committed(quorvel::assets::pictureFileNames().front());
    EXPECT_EQ(imageMismatch(picture, picture.copy(0, 0, picture.width() - 1, picture.height())), "sizes differ");
    EXPECT_EQ(imageMismatch(picture, QImage()), "a picture is missing");
}

// The allowances the suite names for its comparisons (a renderer's pictures against the
// committed ones, the program output against the window) still catch a moved edge.
TEST(ImageCompare, EveryNamedAllowanceRefusesAnEdgeMovedByOnePixel)
{
    const std::vector<ImageTolerance> allowances = {
        {},
        {.edgeChannel = 3, .flatChannel = 3},
        {.edgeChannel = 8, .flatChannel = 8, .strayPixels = 9},
    };
    for (const QString& name : quorvel::assets::pictureFileNames()) {
        const QImage picture = committed(name);
        const QImage moved = movedRight(picture);
        if (moved == picture)
            continue;
        for (const ImageTolerance& allowance : allowances) {
            SCOPED_TRACE(name.toStdString() + ": within " + std::to_string(allowance.flatChannel) + ", " +
                         std::to_string(allowance.strayPixels) + " stray");
            EXPECT_EQ(imageMismatch(picture, roundedOtherwise(picture), allowance), "");
            EXPECT_NE(imageMismatch(picture, moved, allowance), "");
        }
    }
}

TEST(ImageCompare, StrayPixelsAndTheMeanAreCountedOverTheWholePicture)
{
    QImage grey(20, 10, QImage::Format_RGB32);
    grey.fill(qRgb(100, 100, 100));
    QImage spotted = grey;
    for (int x = 0; x < 9; ++x)
        spotted.setPixel(x * 2, 5, qRgb(200, 100, 100));
    EXPECT_EQ(imageMismatch(grey, spotted, {.strayPixels = 9}), "");
    spotted.setPixel(19, 9, qRgb(100, 100, 200));
    const std::string tenth = imageMismatch(grey, spotted, {.strayPixels = 9});
    EXPECT_EQ(tenth.substr(0, 8), "at 0, 5 ") << tenth;
    EXPECT_NE(tenth.find("(and 9 pixels more)"), std::string::npos) << tenth;

    // ten pixels 100 units off in one channel: 1000 / (3 * 200) on average
    EXPECT_EQ(imageMismatch(grey, spotted, {.edgeChannel = 255, .flatChannel = 255, .meanChannel = 1.7}), "");
    EXPECT_NE(imageMismatch(grey, spotted, {.edgeChannel = 255, .flatChannel = 255, .meanChannel = 1.6}), "");
}

} // namespace
