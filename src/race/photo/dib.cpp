#include "race/photo/dib.h"

#include "race/photo/picturelimits.h"
#include "race/photo/picturememory.h"

#include <algorithm>
#include <bit>

namespace quorvel::race {
namespace {

constexpr quint32 kCoreHeaderSize = 12;
constexpr quint32 kInfoHeaderSize = 40;

bool isKnownHeaderSize(quint32 size)
{
    // core, info, V2 (RGB masks), V3 (RGBA masks), V4, V5
    return size == kCoreHeaderSize || size == kInfoHeaderSize || size == 52 || size == 56 || size == 108 || size == 124;
}

bool isContiguousMask(quint32 mask)
{
    if (mask == 0)
        return false;
    const quint32 shifted = mask >> std::countr_zero(mask);
    return (shifted & (shifted + 1)) == 0;
}

// One colour channel of a masked pixel, widened to 8 bits.
struct Channel {
    explicit Channel(quint32 mask)
        : shift(mask ? std::countr_zero(mask) : 0)
        , max(mask ? mask >> shift : 0)
        , mask(mask)
    {
    }
    int value(quint32 pixel) const
    {
        if (max == 0)
            return 0;
        const quint32 v = (pixel & mask) >> shift;
        return int((quint64(v) * 255 + max / 2) / max);
    }
    int shift;
    quint32 max;
    quint32 mask;
};

void checkBitCountAndCompression(const DibHeader& h)
{
    switch (h.compression) {
    case kBiRgb:
        require(h.bitCount == 1 || h.bitCount == 4 || h.bitCount == 8 || h.bitCount == 16 || h.bitCount == 24 ||
                h.bitCount == 32);
        break;
    case kBiRle8: require(h.bitCount == 8 && !h.topDown); break;
    case kBiRle4: require(h.bitCount == 4 && !h.topDown); break;
    case kBiBitfields:
    case kBiAlphaBitfields: require(h.bitCount == 16 || h.bitCount == 32); break;
    default: invalidPicture(); // embedded JPEG or PNG, or unknown
    }
}

void readMasks(ByteReader& reader, DibHeader& h, bool withAlpha)
{
    h.redMask = reader.u32();
    h.greenMask = reader.u32();
    h.blueMask = reader.u32();
    h.alphaMask = withAlpha ? reader.u32() : 0;
}

void setDefaultMasks(DibHeader& h)
{
    if (h.compression == kBiBitfields || h.compression == kBiAlphaBitfields) {
        require(isContiguousMask(h.redMask) && isContiguousMask(h.greenMask) && isContiguousMask(h.blueMask));
        require((h.redMask & h.greenMask) == 0 && (h.redMask & h.blueMask) == 0 && (h.greenMask & h.blueMask) == 0);
        require(h.alphaMask == 0 || isContiguousMask(h.alphaMask));
        if (h.bitCount == 16)
            require(((h.redMask | h.greenMask | h.blueMask | h.alphaMask) >> 16) == 0);
        return;
    }
    if (h.bitCount == 16) {
        h.redMask = 0x7C00;
        h.greenMask = 0x03E0;
        h.blueMask = 0x001F;
        h.alphaMask = 0;
    } else if (h.bitCount == 32) {
        h.redMask = 0x00FF0000;
        h.greenMask = 0x0000FF00;
        h.blueMask = 0x000000FF;
        h.alphaMask = 0xFF000000; // used only where alpha is asked for (icons)
    }
}

void readPalette(ByteReader& reader, DibHeader& h, quint32 colorsUsed, bool core)
{
    const int entrySize = core ? 3 : 4;
    quint32 count = colorsUsed;
    if (h.bitCount <= 8) {
        const quint32 full = 1u << h.bitCount;
        if (count == 0)
            count = full;
        require(count <= full);
    }
    require(qint64(count) * entrySize <= reader.remaining());
    if (h.bitCount > 8) {
        reader.skip(qsizetype(count) * entrySize); // a hint for palette devices only
        return;
    }
    h.palette.fill(qRgb(0, 0, 0), 256);
    for (quint32 i = 0; i < count; ++i) {
        const int b = reader.u8();
        const int g = reader.u8();
        const int r = reader.u8();
        if (!core)
            reader.u8();
        h.palette[i] = qRgb(r, g, b);
    }
}

QImage newImage(const DibHeader& h, QImage::Format format)
{
    QImage image = newPicture(h.width, h.height, format);
    require(!image.isNull());
    return image;
}

// Row y of the picture (top first) from the stored row order.
qsizetype storedRow(const DibHeader& h, int y)
{
    return h.topDown ? y : h.height - 1 - y;
}

QImage readIndexed(const DibHeader& h, QByteArrayView bits, qint64 stride)
{
    QImage image = newImage(h, QImage::Format_RGB32);
    const auto* data = reinterpret_cast<const uchar*>(bits.data());
    const int bpp = h.bitCount;
    const int perByte = 8 / bpp;
    const uchar mask = uchar((1 << bpp) - 1);
    for (int y = 0; y < h.height; ++y) {
        const uchar* src = data + storedRow(h, y) * stride;
        auto* dst = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < h.width; ++x) {
            const int shift = 8 - bpp * (x % perByte + 1);
            dst[x] = h.palette[(src[x / perByte] >> shift) & mask];
        }
    }
    return image;
}

QImage readRgb24(const DibHeader& h, QByteArrayView bits, qint64 stride)
{
    QImage image = newImage(h, QImage::Format_RGB32);
    const auto* data = reinterpret_cast<const uchar*>(bits.data());
    for (int y = 0; y < h.height; ++y) {
        const uchar* src = data + storedRow(h, y) * stride;
        auto* dst = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < h.width; ++x, src += 3)
            dst[x] = qRgb(src[2], src[1], src[0]);
    }
    return image;
}

QImage readMasked(const DibHeader& h, QByteArrayView bits, qint64 stride, bool keepAlpha)
{
    const Channel red(h.redMask), green(h.greenMask), blue(h.blueMask), alpha(h.alphaMask);
    const auto* data = reinterpret_cast<const uchar*>(bits.data());
    const int bytes = h.bitCount / 8;
    bool anyAlpha = false;
    QImage image = newImage(h, keepAlpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    for (int y = 0; y < h.height; ++y) {
        const uchar* src = data + storedRow(h, y) * stride;
        auto* dst = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < h.width; ++x, src += bytes) {
            quint32 pixel = quint32(src[0]) | (quint32(src[1]) << 8);
            if (bytes == 4)
                pixel |= (quint32(src[2]) << 16) | (quint32(src[3]) << 24);
            const int a = keepAlpha ? alpha.value(pixel) : 255;
            anyAlpha = anyAlpha || a != 0;
            dst[x] = qRgba(red.value(pixel), green.value(pixel), blue.value(pixel), a);
        }
    }
    // Rows whose alpha is all zero were written by programs that ignore alpha: opaque.
    if (keepAlpha && !anyAlpha)
        return image.convertToFormat(QImage::Format_RGB32);
    return image;
}

// Run-length coded rows, bottom-up. Pixels the codes never reach keep palette entry 0.
class RleReader {
public:
    RleReader(const DibHeader& h, QImage& image)
        : m_h(h)
        , m_image(image)
        , m_movesLeft(qint64(h.width) * h.height + h.height)
    {
    }

    void decode(ByteReader& in)
    {
        const bool four = m_h.compression == kBiRle4;
        while (in.remaining() >= 2) {
            const int count = in.u8();
            const int value = in.u8();
            if (count > 0) {
                for (int i = 0; i < count; ++i)
                    put(four ? ((i % 2) ? (value & 0x0F) : (value >> 4)) : value);
                continue;
            }
            if (value == 0) { // end of line
                countMove();
                m_x = 0;
                moveDown(1);
            } else if (value == 1) { // end of bitmap
                return;
            } else if (value == 2) { // delta
                countMove();
                moveRight(in.u8());
                moveDown(in.u8());
            } else { // absolute run, padded to a 16-bit boundary
                const int bytes = four ? (value + 1) / 2 : value;
                const QByteArrayView run = in.view(bytes);
                for (int i = 0; i < value; ++i) {
                    const auto b = static_cast<uchar>(run[four ? i / 2 : i]);
                    put(four ? ((i % 2) ? (b & 0x0F) : (b >> 4)) : b);
                }
                if (bytes % 2)
                    in.skip(1);
            }
        }
        // Some writers stop at the last row without an end-of-bitmap code.
    }

private:
    // A position past the picture's edge stays just past it: only a pixel put there is
    // a fault, and millions of deltas must not carry the counters round to the front.
    // Codes that draw nothing cost time all the same: a writer needs at most one for each
    // pixel it skips and one for each row, and a file of millions more is refused at once.
    void countMove() { require(--m_movesLeft >= 0); }
    void moveRight(int columns) { m_x = std::min(m_x + columns, m_h.width); }
    void moveDown(int rows) { m_row = std::min(m_row + rows, m_h.height); }

    void put(int index)
    {
        require(m_x < m_h.width && m_row < m_h.height);
        reinterpret_cast<QRgb*>(m_image.scanLine(m_h.height - 1 - m_row))[m_x++] = m_h.palette[index];
    }

    const DibHeader& m_h;
    QImage& m_image;
    qint64 m_movesLeft;
    int m_x = 0;
    int m_row = 0;
};

QImage readRle(const DibHeader& h, QByteArrayView bits)
{
    QByteArrayView data = bits;
    if (h.sizeImage != 0) {
        require(h.sizeImage <= quint64(bits.size()));
        data = bits.first(h.sizeImage);
    }
    QImage image = newImage(h, QImage::Format_RGB32);
    image.fill(h.palette[0]);
    ByteReader in(data);
    RleReader(h, image).decode(in);
    return image;
}

} // namespace

qint64 dibStride(int width, int bitCount)
{
    return ((qint64(width) * bitCount + 31) / 32) * 4;
}

DibHeader readDibHeader(ByteReader& reader, int rowsDivisor)
{
    const qsizetype start = reader.position();
    const quint32 size = reader.u32();
    require(isKnownHeaderSize(size));
    require(size <= quint64(reader.remaining() + 4));
    DibHeader h;
    qint64 height = 0;
    quint32 colorsUsed = 0;
    if (size == kCoreHeaderSize) {
        h.width = reader.u16();
        height = reader.u16();
        require(reader.u16() == 1); // planes
        h.bitCount = reader.u16();
        require(h.bitCount == 1 || h.bitCount == 4 || h.bitCount == 8 || h.bitCount == 24);
    } else {
        const qint32 width = reader.i32();
        require(width > 0);
        h.width = width;
        height = reader.i32();
        require(reader.u16() == 1); // planes
        h.bitCount = reader.u16();
        h.compression = reader.u32();
        h.sizeImage = reader.u32();
        reader.skip(8); // resolution
        colorsUsed = reader.u32();
        reader.skip(4); // important colours
        if (size > kInfoHeaderSize)
            readMasks(reader, h, size >= 56);
        reader.seek(start + size);
        if (size == kInfoHeaderSize && h.compression == kBiBitfields)
            readMasks(reader, h, false);
        else if (size == kInfoHeaderSize && h.compression == kBiAlphaBitfields)
            readMasks(reader, h, true);
    }
    if (height < 0) {
        h.topDown = true;
        height = -height;
    }
    require(height > 0 && height % rowsDivisor == 0);
    h.height = int(height / rowsDivisor);
    require(withinPictureLimit(h.width, h.height));
    checkBitCountAndCompression(h);
    setDefaultMasks(h);
    readPalette(reader, h, colorsUsed, size == kCoreHeaderSize);
    return h;
}

QImage readDibPixels(const DibHeader& h, QByteArrayView bits, bool keepAlpha)
{
    if (h.compression == kBiRle8 || h.compression == kBiRle4)
        return readRle(h, bits);
    const qint64 stride = dibStride(h.width, h.bitCount);
    require(stride * h.height <= bits.size());
    if (h.bitCount <= 8)
        return readIndexed(h, bits, stride);
    if (h.bitCount == 24)
        return readRgb24(h, bits, stride);
    return readMasked(h, bits, stride, keepAlpha && h.bitCount == 32);
}

} // namespace quorvel::race
