#include "failures.h"
#include "picturebuilders.h"
#include "race/photo/decoders.h"

#include <gtest/gtest.h>

using namespace photo_test;
using quorvel::race::decodeEmf;
using quorvel::race::decodeWmf;

namespace {

const QByteArray kInvalid = "Metafile is not valid";
const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kCorners[2][2] = {{qRgb(200, 0, 0), qRgb(0, 180, 0)}, {qRgb(0, 0, 220), qRgb(240, 240, 0)}};

// 2 x 2 pixels, a different colour in each, so that any flip or swap shows.
DibSpec cornersDib(bool topDown = false)
{
    DibSpec spec = rgb24Spec(2, 2);
    spec.topDown = topDown;
    spec.value = [](int x, int y) { return quint32(kCorners[y][x] & 0xFFFFFF); };
    return spec;
}

// The bitmap drawn over `drawn` pixels from the top-left, white elsewhere: checked at the
// centre of each stretched source pixel and just outside the drawing.
void expectCornersDrawn(const QImage& picture, QSize drawn)
{
    const int w = drawn.width() / 2, h = drawn.height() / 2;
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x)
            EXPECT_EQ(picture.pixel(x * w + w / 2, y * h + h / 2), kCorners[y][x]) << x << "," << y;
    if (drawn.width() < picture.width()) {
        EXPECT_EQ(picture.pixel(drawn.width(), 0), kWhite);
    }
    if (drawn.height() < picture.height()) {
        EXPECT_EQ(picture.pixel(0, drawn.height()), kWhite);
    }
}

struct DrawnFile {
    const char* name;
    QByteArray bytes;
    QSize size; // the picture's
    QSize drawn; // the bitmap's on it
};

void expectAllDrawn(const std::vector<DrawnFile>& files, QImage (*decode)(const QByteArray&))
{
    for (const DrawnFile& file : files) {
        SCOPED_TRACE(file.name);
        const QImage picture = decode(file.bytes);
        ASSERT_EQ(picture.size(), file.size);
        expectCornersDrawn(picture, file.drawn);
    }
}

void fixPlaceableChecksum(QByteArray& wmf)
{
    quint16 sum = 0;
    for (int i = 0; i < 10; ++i)
        sum ^= quint16(uchar(wmf[2 * i]) | (uchar(wmf[2 * i + 1]) << 8));
    put16(wmf, 20, sum);
}

TEST(WmfDecoder, DrawsTheBitmapOnWhiteAtTheFrameSize)
{
    expectAllDrawn(
        {
            {"placeable, 96 units an inch", placeableWmf(cornersDib(), 48, 48, 96), {48, 48}, {48, 48}},
            {"placeable, twips", placeableWmf(cornersDib(), 1440, 720, 1440), {96, 48}, {96, 48}},
            {"placeable, smaller bitmap", placeableWmf(cornersDib(), 48, 48, 96, {24, 24}), {48, 48}, {24, 24}},
            {"top-down bitmap", placeableWmf(cornersDib(true), 48, 48, 96), {48, 48}, {48, 48}},
            {"standard, window extent", standardWmf(cornersDib(), 40, 20), {40, 20}, {40, 20}},
            {"standard, smaller bitmap", standardWmf(cornersDib(), 40, 20, {20, 10}), {40, 20}, {20, 10}},
        },
        decodeWmf);
}

TEST(WmfDecoder, RefusesBrokenFiles)
{
    const QByteArray good = placeableWmf(cornersDib(), 48, 48, 96);
    auto withChecksum = [&](const std::function<void(QByteArray&)>& change) {
        return changed(good, [&](QByteArray& b) {
            change(b);
            fixPlaceableChecksum(b);
        });
    };
    // placeable header 22 bytes, standard header 18, window origin and extent 10 each,
    // then the bitmap record: size, function, rop, 8 words, and the bitmap's header
    constexpr int kFirstRecord = 40;
    constexpr int kDibHeader = 22 + 18 + 10 + 10 + 6 + 4 + 16;
    QByteArray standardWithoutExtent = standardWmf(cornersDib(), 40, 20);
    standardWithoutExtent.remove(18 + 10, 10);

    expectAllRefused(
        {
            {"empty", QByteArray()},
            {"key only", good.left(4)},
            {"wrong checksum", changed(good, [](QByteArray& b) { b[20] = char(b[20] ^ 1); })},
            {"inch of zero", withChecksum([](QByteArray& b) { put16(b, 14, 0); })},
            {"empty frame", withChecksum([](QByteArray& b) { put16(b, 10, 0); })},
            {"unknown type", changed(good, [](QByteArray& b) { put16(b, 22, 3); })},
            {"header of 8 words", changed(good, [](QByteArray& b) { put16(b, 24, 8); })},
            {"unknown version", changed(good, [](QByteArray& b) { put16(b, 26, 0x0200); })},
            {"record of 2 words", changed(good, [](QByteArray& b) { put32(b, kFirstRecord, 2); })},
            {"record past the end", changed(good, [](QByteArray& b) { put32(b, kFirstRecord, 100000); })},
            {"no end record", good.left(good.size() - 6)},
            {"broken bitmap", changed(good, [](QByteArray& b) { put16(b, kDibHeader + 14, 7); })},
            {"bitmap rows cut short",
             changed(good,
                     [](QByteArray& b) {
                         // the bitmap record claims fewer words, and the end record follows it
                         const int record = 22 + 18 + 20;
                         const quint32 words = uchar(b[record]) | (uchar(b[record + 1]) << 8);
                         put32(b, record, words - 2);
                         b.remove(record + int(words - 2) * 2, 4);
                     })},
            {"standard without window extent", standardWithoutExtent},
            {"beyond 32 megapixels", standardWmf(cornersDib(), 30000, 30000)},
            {"an enhanced metafile", emfFile(cornersDib(), 48, 48)},
        },
        decodeWmf, kInvalid);
}

TEST(EmfDecoder, DrawsTheBitmapOnWhiteAtTheFrameSize)
{
    expectAllDrawn(
        {
            {"whole frame", emfFile(cornersDib(), 48, 48), {48, 48}, {48, 48}},
            {"wide frame", emfFile(cornersDib(), 96, 48), {96, 48}, {96, 48}},
            {"smaller bitmap", emfFile(cornersDib(), 48, 48, {24, 24}), {48, 48}, {24, 24}},
            {"top-down bitmap", emfFile(cornersDib(true), 48, 48), {48, 48}, {48, 48}},
        },
        decodeEmf);
}

// One metafile's bitmaps together hold, and cover, at most the picture bound (32
// megapixels) whatever the frame: a few kilobytes of records could otherwise ask for
// minutes of work, while a photo of any resolution in a frame of any size still shows.
TEST(MetafileDecoders, BoundTheWorkOfTheirBitmaps)
{
    DibSpec huge = paletteSpec(8, 4096, 4096); // run-length coded: its rows are two end codes
    huge.compression = 1;
    huge.rle = QByteArray::fromHex("0000 0001");
    const struct {
        const char* name;
        QByteArray bytes;
        QImage (*decode)(const QByteArray&);
        QSize size; // empty: refused
    } cases[] = {
        {"a bitmap of 16 megapixels in a small frame", emfFile(huge, 64, 48), decodeEmf, {64, 48}},
        {"two of them, 32 megapixels", emfFile(huge, 64, 48, {}, 2), decodeEmf, {64, 48}},
        {"three of them", emfFile(huge, 64, 48, {}, 3), decodeEmf, {}},
        {"four pixels stretched over a 2048 x 2048 frame eight times",
         emfFile(cornersDib(), 2048, 2048, {}, 8),
         decodeEmf,
         {2048, 2048}},
        {"nine times", emfFile(cornersDib(), 2048, 2048, {}, 9), decodeEmf, {}},
        {"nine times, each over a quarter",
         emfFile(cornersDib(), 2048, 2048, {1024, 1024}, 9),
         decodeEmf,
         {2048, 2048}},
        {"400 bitmaps of 4096 x 4096 stretched over the frame", emfFile(huge, 640, 480, {}, 400), decodeEmf, {}},
        {"a Windows metafile's bitmap of 4096 x 4096", placeableWmf(huge, 640, 480, 96), decodeWmf, {640, 480}},
        {"a Windows metafile's bitmap beyond 32 megapixels",
         placeableWmf(paletteSpec(8, 8192, 4097), 640, 480, 96),
         decodeWmf,
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.size.isEmpty())
            EXPECT_EQ(c.decode(c.bytes).size(), c.size);
        else
            EXPECT_TRUE(failsWith([&] { c.decode(c.bytes); }, kInvalid));
    }
}

// A photo scanned at 300 dpi and kept in a metafile whose frame is measured at 96 dpi: its
// bitmap holds ten times the frame's pixels, and it shows, at the frame's size or shrunk
// into a box, with the pixels of the bitmap sampled.
TEST(MetafileDecoders, ShowA300DpiBitmapInA96DpiFrame)
{
    DibSpec scan = rgb24Spec(1500, 1200); // 5 x 4 inches at 300 dpi
    scan.value = [](int x, int y) { return quint32((x / 300) * 0x330000 + (y / 300) * 0x3300 + 0x80); };
    const QSize frame(480, 384); // the same 5 x 4 inches at 96 dpi
    const struct {
        const char* name;
        QImage (*decode)(const QByteArray&);
        QImage (*decodeInBox)(const QByteArray&, QSize);
        QByteArray bytes;
    } cases[] = {
        {"enhanced", decodeEmf, quorvel::race::decodeEmfInBox, emfFile(scan, frame.width(), frame.height())},
        {"Windows, placeable", decodeWmf, quorvel::race::decodeWmfInBox, placeableWmf(scan, 1500, 1200, 300)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QImage whole = c.decode(c.bytes);
        ASSERT_EQ(whole.size(), frame);
        // each 300-pixel block of the scan is a 96-pixel block of the picture
        for (const QPoint block : {QPoint(0, 0), QPoint(4, 3), QPoint(2, 1)}) {
            const QRgb expected = 0xFF000000u | ((block.x() * 0x33u) << 16) | ((block.y() * 0x33u) << 8) | 0x80u;
            EXPECT_EQ(whole.pixel(block.x() * 96 + 48, block.y() * 96 + 48), expected) << block.x() << "," << block.y();
        }
        const QImage boxed = c.decodeInBox(c.bytes, QSize(89, 96));
        ASSERT_EQ(boxed.size(), QSize(89, 71));
        EXPECT_EQ(boxed.pixel(88 * 9 / 10, 70 * 9 / 10), whole.pixel(479 * 9 / 10, 383 * 9 / 10));
    }
}

TEST(EmfDecoder, RefusesBrokenFiles)
{
    const QByteArray good = emfFile(cornersDib(), 48, 48);
    constexpr int kStretch = 88; // the bitmap record follows the 88-byte header
    expectAllRefused(
        {
            {"empty", QByteArray()},
            {"header cut short", good.left(60)},
            {"not a header first", changed(good, [](QByteArray& b) { put32(b, 0, 81); })},
            {"header of 80 bytes", changed(good, [](QByteArray& b) { put32(b, 4, 80); })},
            {"wrong signature", changed(good, [](QByteArray& b) { put32(b, 40, 0x464D4521); })},
            {"size beyond the file", changed(good, [](QByteArray& b) { put32(b, 48, quint32(b.size() + 4)); })},
            {"empty frame", changed(good, [](QByteArray& b) { put32(b, 32, 0); })},
            {"no millimetres", changed(good, [](QByteArray& b) { put32(b, 80, 0); })},
            {"beyond 32 megapixels",
             changed(good,
                     [](QByteArray& b) {
                         put32(b, 32, 300000);
                         put32(b, 36, 300000);
                     })},
            {"record size not in words", changed(good, [](QByteArray& b) { put32(b, kStretch + 4, 82); })},
            {"record past the end", changed(good, [](QByteArray& b) { put32(b, kStretch + 4, 4000); })},
            {"no end record",
             [&] {
                 QByteArray b = good.left(good.size() - 20);
                 put32(b, 48, quint32(b.size()));
                 return b;
             }()},
            {"bitmap header outside its record", changed(good, [](QByteArray& b) { put32(b, kStretch + 48, 100000); })},
            {"bitmap rows outside their record", changed(good, [](QByteArray& b) { put32(b, kStretch + 60, 100000); })},
            {"broken bitmap", changed(good, [](QByteArray& b) { put16(b, kStretch + 80 + 14, 7); })},
            {"a Windows metafile", placeableWmf(cornersDib(), 48, 48, 96)},
        },
        decodeEmf, kInvalid);
}

} // namespace
