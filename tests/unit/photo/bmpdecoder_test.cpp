#include "failures.h"
#include "imagecompare.h"
#include "picturebuilders.h"
#include "race/photo/decoders.h"
#include "race/photo/dib.h"

#include <gtest/gtest.h>

using namespace photo_test;
using quorvel::race::decodeBmp;

namespace {

const QByteArray kInvalid = "Bitmap image is not valid";

struct GoodBitmap {
    const char* name;
    DibSpec spec;
    std::function<QRgb(int x, int y)> color;
};

std::function<QRgb(int, int)> paletteColor(const DibSpec& spec)
{
    return [spec](int x, int y) { return spec.palette[int(spec.value(x, y))]; };
}

DibSpec with(DibSpec spec, const std::function<void(DibSpec&)>& change)
{
    change(spec);
    return spec;
}

// Channels at their extremes, so the widening to 8 bits is known without arithmetic.
QRgb extremes(int x, int y)
{
    return qRgb((x % 2) * 255, (y % 2) * 255, ((x + y) % 2) * 255);
}

QList<GoodBitmap> goodBitmaps()
{
    QList<GoodBitmap> cases;
    for (int bits : {1, 4, 8}) {
        const DibSpec spec = paletteSpec(bits, 11, 3);
        cases.append({bits == 1 ? "1 bit" : bits == 4 ? "4 bits" : "8 bits", spec, paletteColor(spec)});
    }
    cases.append({"24 bits bottom-up", rgb24Spec(), patternColor});
    cases.append({"24 bits top-down", with(rgb24Spec(), [](DibSpec& s) { s.topDown = true; }), patternColor});
    cases.append({"core header", with(rgb24Spec(), [](DibSpec& s) { s.headerSize = 12; }), patternColor});
    const DibSpec core8 = with(paletteSpec(8), [](DibSpec& s) {
        s.headerSize = 12;
        s.palette.resize(256);
    });
    cases.append({"core header, 8 bits", core8, paletteColor(core8)});
    cases.append({"16 bits 5-5-5",
                  with(rgb24Spec(),
                       [](DibSpec& s) {
                           s.bitCount = 16;
                           s.value = [](int x, int y) {
                               return quint32((x % 2) * 0x7C00 | (y % 2) * 0x03E0 | ((x + y) % 2) * 0x1F);
                           };
                       }),
                  extremes});
    cases.append({"16 bits 5-6-5 bit fields",
                  with(rgb24Spec(),
                       [](DibSpec& s) {
                           s.bitCount = 16;
                           s.compression = 3;
                           s.masks = {0xF800, 0x07E0, 0x001F};
                           s.value = [](int x, int y) {
                               return quint32((x % 2) * 0xF800 | (y % 2) * 0x07E0 | ((x + y) % 2) * 0x1F);
                           };
                       }),
                  extremes});
    cases.append({"32 bits, alpha byte ignored",
                  with(rgb24Spec(),
                       [](DibSpec& s) {
                           s.bitCount = 32;
                           s.value = [](int x, int y) {
                               return quint32(patternColor(x, y) & 0xFFFFFF) | (x == 0 ? 0u : 0x12000000u);
                           };
                       }),
                  patternColor});
    for (int header : {40, 108, 124}) {
        cases.append({header == 40        ? "32 bits, swapped bit fields"
                          : header == 108 ? "V4 header"
                                          : "V5 header",
                      with(rgb24Spec(),
                           [header](DibSpec& s) {
                               s.headerSize = header;
                               s.bitCount = 32;
                               s.compression = 3;
                               s.masks = {0x000000FF, 0x0000FF00, 0x00FF0000};
                               s.value = [](int x, int y) {
                                   const QRgb c = patternColor(x, y);
                                   return quint32(qRed(c) | (qGreen(c) << 8) | (qBlue(c) << 16));
                               };
                           }),
                      patternColor});
    }
    return cases;
}

TEST(BmpDecoder, ReadsEveryLayout)
{
    for (const GoodBitmap& c : goodBitmaps()) {
        SCOPED_TRACE(c.name);
        const QImage picture = decodeBmp(bmpFile(c.spec));
        ASSERT_EQ(picture.size(), QSize(c.spec.width, c.spec.height));
        EXPECT_EQ(imageMismatch(expectedPicture(c.spec, c.color), picture, {.edgeChannel = 0}), "");
        EXPECT_FALSE(picture.hasAlphaChannel());
    }
}

DibSpec rleSpec(quint32 compression, int width, int height, const QByteArray& codes)
{
    DibSpec spec = paletteSpec(compression == 1 ? 8 : 4, width, height);
    spec.compression = compression;
    spec.rle = codes;
    return spec;
}

TEST(BmpDecoder, ReadsRunLengthCodes)
{
    struct Case {
        const char* name;
        DibSpec spec;
        QList<QList<int>> rows; // palette indices, top row first
    };
    const QList<Case> cases = {
        // bottom row: three of 1, one of 2; top row: absolute 0 1 2 (padded), the rest untouched
        {"RLE8 runs and absolute",
         rleSpec(1, 4, 2, QByteArray::fromHex("0301 0102 0000 0003 000102 00 0001")),
         {{0, 1, 2, 0}, {1, 1, 1, 2}}},
        // a delta of two right and one up, then two of 3
        {"RLE8 delta", rleSpec(1, 4, 2, QByteArray::fromHex("0002 0201 0203 0001")), {{0, 0, 3, 3}, {0, 0, 0, 0}}},
        {"RLE4 alternating run", rleSpec(2, 5, 1, QByteArray::fromHex("0512 0001")), {{1, 2, 1, 2, 1}}},
        {"RLE4 absolute", rleSpec(2, 3, 1, QByteArray::fromHex("0003 3450 0001")), {{3, 4, 5}}},
        {"no end code", rleSpec(1, 2, 1, QByteArray::fromHex("0205")), {{5, 5}}},
        // a delta far past both edges draws nothing more and is no fault by itself
        {"delta past the edges", rleSpec(1, 2, 1, QByteArray::fromHex("0201 0002 FFFF 0002 FFFF 0001")), {{1, 1}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QImage picture = decodeBmp(bmpFile(c.spec));
        ASSERT_EQ(picture.size(), QSize(c.spec.width, c.spec.height));
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                EXPECT_EQ(picture.pixel(x, y), c.spec.palette[c.rows[y][x]]) << x << "," << y;
    }
}

// About 8.5 million deltas of 255 carry a column or row count past the largest int: the
// position must not come round to a place in front of the picture (34 MB, far beyond what
// a fuzzer finds). A picture of 4096 x 4096 may have that many codes that draw nothing; a
// small one may not, and is refused at once.
TEST(BmpDecoder, RefusesAPixelPutAfterMillionsOfDeltas)
{
    constexpr qsizetype kDeltas = 8'500'000;
    const struct {
        const char* name;
        QByteArray delta;
        int side;
    } cases[] = {
        {"to the right", QByteArray::fromHex("0002 FF00"), 4096},
        {"upwards", QByteArray::fromHex("0002 00FF"), 4096},
        {"in a small picture", QByteArray::fromHex("0002 FF00"), 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray codes = c.delta.repeated(kDeltas) + QByteArray::fromHex("0107 0001");
        EXPECT_TRUE(failsWith([&] { decodeBmp(bmpFile(rleSpec(1, c.side, c.side, codes))); }, kInvalid));
    }
}

// A writer's codes that draw nothing: one end of line for every row and a delta for every
// pixel skipped, then the end.
TEST(BmpDecoder, AcceptsAsManyMovesAsPixelsAndRows)
{
    const QByteArray rows = (QByteArray::fromHex("0002 0100").repeated(3) + QByteArray::fromHex("0000")).repeated(2);
    EXPECT_EQ(decodeBmp(bmpFile(rleSpec(1, 3, 2, rows + QByteArray::fromHex("0001")))).size(), QSize(3, 2));
    EXPECT_TRUE(
        failsWith([&] { decodeBmp(bmpFile(rleSpec(1, 3, 2, rows + QByteArray::fromHex("0000 0001")))); }, kInvalid));
}

TEST(BmpDecoder, RefusesBrokenFiles)
{
    const QByteArray good = bmpFile(rgb24Spec());
    expectAllRefused(
        {
            {"empty", QByteArray()},
            {"magic only", QByteArray("BM")},
            {"wrong magic", changed(good, [](QByteArray& b) { b[1] = 'A'; })},
            {"rows cut short", good.left(good.size() - 2)},
            {"header cut short", good.left(30)},
            {"pixel offset past the end", changed(good, [](QByteArray& b) { put32(b, 10, 100000); })},
            {"pixel offset inside the header", changed(good, [](QByteArray& b) { put32(b, 10, 20); })},
            {"unknown header size", changed(good, [](QByteArray& b) { put32(b, 14, 41); })},
            {"header larger than the file", changed(good, [](QByteArray& b) { put32(b, 14, 124); })},
            {"two planes", changed(good, [](QByteArray& b) { put16(b, 26, 2); })},
            {"7 bits a pixel", changed(good, [](QByteArray& b) { put16(b, 28, 7); })},
            {"embedded JPEG", changed(good, [](QByteArray& b) { put32(b, 30, 4); })},
            {"RLE8 with 24 bits", changed(good, [](QByteArray& b) { put32(b, 30, 1); })},
            {"zero width", changed(good, [](QByteArray& b) { put32(b, 18, 0); })},
            {"negative width", changed(good, [](QByteArray& b) { put32(b, 18, quint32(-5)); })},
            {"zero height", changed(good, [](QByteArray& b) { put32(b, 22, 0); })},
            {"lowest height", changed(good, [](QByteArray& b) { put32(b, 22, 0x80000000u); })},
            {"beyond 32 megapixels",
             changed(good,
                     [](QByteArray& b) {
                         put32(b, 18, 8193);
                         put32(b, 22, 4096);
                     })},
            {"palette larger than the bit count allows",
             bmpFile(with(paletteSpec(1), [](DibSpec& s) { s.palette.resize(3); }))},
            {"RLE run past the row", bmpFile(rleSpec(1, 2, 1, QByteArray::fromHex("0301 0001")))},
            {"RLE past the last row", bmpFile(rleSpec(1, 2, 1, QByteArray::fromHex("0000 0201")))},
            {"RLE absolute run cut short", bmpFile(rleSpec(1, 4, 1, QByteArray::fromHex("0004 0102")))},
            {"RLE top-down",
             bmpFile(with(rleSpec(1, 2, 1, QByteArray::fromHex("0201 0001")), [](DibSpec& s) { s.topDown = true; }))},
            {"RLE size beyond the file",
             [] {
                 QByteArray b = bmpFile(rleSpec(1, 2, 1, QByteArray::fromHex("0201 0001")));
                 put32(b, 34, 5000);
                 return b;
             }()},
            {"zero bit field",
             bmpFile(with(rgb24Spec(),
                          [](DibSpec& s) {
                              s.bitCount = 32;
                              s.compression = 3;
                              s.masks = {0xFF0000, 0, 0xFF};
                              s.value = [](int, int) { return 0u; };
                          }))},
            {"overlapping bit fields",
             bmpFile(with(rgb24Spec(),
                          [](DibSpec& s) {
                              s.bitCount = 32;
                              s.compression = 3;
                              s.masks = {0xFF0000, 0xFFFF00, 0xFF};
                              s.value = [](int, int) { return 0u; };
                          }))},
            {"broken bit field",
             bmpFile(with(rgb24Spec(),
                          [](DibSpec& s) {
                              s.bitCount = 16;
                              s.compression = 3;
                              s.masks = {0xF00F, 0x0F00, 0x00F0};
                              s.value = [](int, int) { return 0u; };
                          }))},
        },
        decodeBmp, kInvalid);
}

// The size limit is applied to the header, before any pixel is looked for.
TEST(BmpDecoder, RefusesOversizedPicturesFromTheHeaderAlone)
{
    using namespace quorvel::race;
    auto header = [](int width, int height) {
        return dibHeader(with(rgb24Spec(), [&](DibSpec& s) {
            s.width = width;
            s.height = height;
        }));
    };
    const QByteArray atLimit = header(8192, 4096);
    ByteReader reader(atLimit);
    EXPECT_EQ(readDibHeader(reader).width, 8192);
    for (const QByteArray& over : {header(8193, 4096), header(32768 * 1024 + 1, 1), header(60000, 60000)}) {
        ByteReader overReader(over);
        EXPECT_THROW(readDibHeader(overReader), InvalidPicture);
    }
}

} // namespace
