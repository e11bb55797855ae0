#pragma once

// Small writers of picture files for the photo tests: the bytes are laid out by hand,
// field by field, so each test can break exactly one of them.

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QRgb>
#include <QSize>

#include <functional>

namespace photo_test {

// Little-endian fields appended to a byte array.
class Bytes {
public:
    Bytes& u8(int v);
    Bytes& u16(int v);
    Bytes& u32(quint32 v);
    Bytes& i32(qint32 v) { return u32(quint32(v)); }
    Bytes& raw(const QByteArray& bytes);
    Bytes& zeros(int count);
    QByteArray data;
};

void put16(QByteArray& bytes, int at, int value);
void put32(QByteArray& bytes, int at, quint32 value);

// A device-independent bitmap: header, masks, palette, rows. `value(x, y)` gives each
// pixel's stored value (y counts from the top): a palette index for up to 8 bits, the
// packed pixel for 16 and 32 bits, 0xRRGGBB for 24 bits.
struct DibSpec {
    int width = 5;
    int height = 3;
    int bitCount = 24;
    quint32 compression = 0;
    bool topDown = false;
    int headerSize = 40;
    QList<QRgb> palette;
    QList<quint32> masks; // written after a 40-byte header, or inside V4/V5 headers
    QByteArray rle; // the coded rows, for RLE compressions
    int rowsFactor = 1; // 2 for icons: the header counts the AND mask's rows
    std::function<quint32(int x, int y)> value;
};

QByteArray dibHeader(const DibSpec& spec); // header, masks and palette
QByteArray dibRows(const DibSpec& spec);
QByteArray bmpFile(const DibSpec& spec); // with the 14-byte file header

// The colour the decoder must give each pixel of a spec with a palette or 24-bit rows.
QImage expectedPicture(const DibSpec& spec, const std::function<QRgb(int x, int y)>& color);

// A test picture with a different colour in every pixel.
QRgb patternColor(int x, int y);
DibSpec rgb24Spec(int width = 5, int height = 3);
DibSpec paletteSpec(int bitCount, int width = 5, int height = 3);

// Icons: each entry either a bitmap (XOR rows and AND mask) or PNG bytes.
struct IconEntrySpec {
    QByteArray bytes;
    int directoryWidth = 0;
    int directoryHeight = 0;
    int bitCount = 32;
};
IconEntrySpec bitmapIconEntry(const QImage& picture, const QList<QPoint>& transparent);
IconEntrySpec pngIconEntry(const QImage& picture);
QByteArray icoFile(const QList<IconEntrySpec>& entries);

// Metafiles holding one bitmap record, drawn at the top-left of the frame, as large as
// the frame unless a smaller destination (in logical units) is given.
QByteArray wmfRecord(int function, const QByteArray& params);
QByteArray placeableWmf(const DibSpec& dib, int frameWidth, int frameHeight, int unitsPerInch, QSize dest = QSize());
QByteArray standardWmf(const DibSpec& dib, int frameWidth, int frameHeight, QSize dest = QSize());
// The EMF's bitmap record is written `records` times.
QByteArray emfFile(const DibSpec& dib, int pixelWidth, int pixelHeight, QSize dest = QSize(), int records = 1);

// JPEG through libjpeg's compressor from rows of `components` bytes a pixel in `space`
// (a J_COLOR_SPACE), 4:2:0 when subsampled: the one JPEG writer of the tests and the
// benchmarks. Baseline unless `progressiveScans` says otherwise: 0 for libjpeg's own
// progression (colour in ten scans), N for grey in N scans (the DC coefficients, then the
// 63 AC ones in bands as even as they divide).
QByteArray compressJpeg(int width, int height, int components, int space, const std::function<const uchar*(int y)>& row,
                        int quality, bool subsampled, int progressiveScans = -1);
// A picture through compressJpeg; colour without chroma subsampling unless asked for
// (cameras use 4:2:0), so that solid areas come back almost exact.
QByteArray jpegFile(const QImage& picture, int quality = 100, bool gray = false, bool subsampled = false);
// The same JPEG with another size in its frame header (SOF0), the rest as it was.
QByteArray jpegWithSize(QByteArray jpeg, int width, int height);
// The decoder's message for libjpeg's message code `code`.
QByteArray jpegError(int code);

// A picture of four solid quadrants, which JPEG keeps almost exact.
QImage quadrantPicture(int width, int height);

} // namespace photo_test

namespace photo_test {

// A camera-like JPEG (4:2:0, quality 90): blotches some hundred pixels wide with a grain
// of `grain` levels on every pixel, as sensor noise gives; generated row by row, so that
// even 100 megapixels never exist whole in memory.
QByteArray cameraJpeg(int width, int height, int grain = 8);

// The whole picture decoded by libjpeg at full scale and sampled without filtering to
// `drawn` (each pixel the one under the centre of its cell), row by row.
QImage fullDecodeSampled(const QByteArray& jpeg, QSize drawn);

} // namespace photo_test
