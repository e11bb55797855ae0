#include "race/photo/decoders.h"

#include "race/photo/dib.h"
#include "race/photo/picturelimits.h"

#include <QList>

namespace quorvel::race {
namespace {

constexpr int kDirectoryHeaderSize = 6;
constexpr int kEntrySize = 16;
constexpr char kPngSignature[] = "\x89PNG\r\n\x1a\n";

struct IconEntry {
    QByteArrayView bytes;
    qint64 pixels = 0;
    int bitCount = 0;
    bool png = false;
};

bool isPng(QByteArrayView bytes)
{
    return bytes.startsWith(QByteArrayView(kPngSignature, 8));
}

quint32 bigEndian32(QByteArrayView bytes, qsizetype at)
{
    const auto* p = reinterpret_cast<const uchar*>(bytes.data()) + at;
    return (quint32(p[0]) << 24) | (quint32(p[1]) << 16) | (quint32(p[2]) << 8) | quint32(p[3]);
}

// Size and depth of an entry from its own header; the directory's bytes for them are
// only one byte wide and often wrong.
void measureEntry(IconEntry& entry)
{
    if (isPng(entry.bytes)) {
        // signature, then the IHDR chunk: length 13, "IHDR", width, height, depth, colour type
        require(entry.bytes.size() >= 8 + 8 + 13 && bigEndian32(entry.bytes, 8) == 13 &&
                entry.bytes.sliced(12, 4) == QByteArrayView("IHDR"));
        const quint32 width = bigEndian32(entry.bytes, 16);
        const quint32 height = bigEndian32(entry.bytes, 20);
        require(withinPictureLimit(width, height));
        entry.png = true;
        entry.pixels = qint64(width) * height;
        entry.bitCount = 32;
        return;
    }
    ByteReader reader(entry.bytes);
    const DibHeader header = readDibHeader(reader, 2);
    entry.pixels = qint64(header.width) * header.height;
    entry.bitCount = header.bitCount;
}

QList<IconEntry> readDirectory(QByteArrayView bytes)
{
    ByteReader reader(bytes);
    require(reader.u16() == 0); // reserved
    require(reader.u16() == 1); // icon, not cursor
    const int count = reader.u16();
    require(count > 0);
    const qint64 dataStart = kDirectoryHeaderSize + qint64(count) * kEntrySize;
    require(dataStart <= bytes.size());
    QList<IconEntry> entries;
    for (int i = 0; i < count; ++i) {
        reader.skip(8); // width, height, colours, reserved, planes, bit count
        const quint32 size = reader.u32();
        const quint32 offset = reader.u32();
        require(size > 0 && offset >= dataStart && quint64(offset) + size <= quint64(bytes.size()));
        IconEntry entry;
        entry.bytes = bytes.sliced(offset, size);
        measureEntry(entry);
        entries.append(entry);
    }
    return entries;
}

const IconEntry& bestEntry(const QList<IconEntry>& entries)
{
    const IconEntry* best = &entries.first();
    for (const IconEntry& entry : entries) {
        if (entry.pixels > best->pixels || (entry.pixels == best->pixels && entry.bitCount > best->bitCount))
            best = &entry;
    }
    return *best;
}

QImage readPngEntry(QByteArrayView bytes)
{
    QImage image = QImage::fromData(bytes, "PNG");
    require(!image.isNull());
    return image.convertToFormat(QImage::Format_ARGB32);
}

// Colour rows, then the AND mask: a set bit makes the pixel transparent. Rows with their
// own alpha channel leave the mask unused.
QImage readBitmapEntry(QByteArrayView bytes)
{
    ByteReader reader(bytes);
    const DibHeader header = readDibHeader(reader, 2);
    require(header.compression == kBiRgb || header.compression == kBiBitfields);
    const qint64 colorBytes = dibStride(header.width, header.bitCount) * header.height;
    const qint64 maskStride = dibStride(header.width, 1);
    require(colorBytes + maskStride * header.height <= reader.remaining());
    const QByteArrayView colors = reader.view(colorBytes);
    const auto* mask = reinterpret_cast<const uchar*>(reader.view(maskStride * header.height).data());

    QImage image = readDibPixels(header, colors, true);
    if (image.hasAlphaChannel())
        return image;
    image = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < header.height; ++y) {
        const uchar* row = mask + (header.topDown ? y : header.height - 1 - y) * maskStride;
        auto* dst = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < header.width; ++x) {
            if (row[x / 8] & (0x80 >> (x % 8)))
                dst[x] = qRgba(0, 0, 0, 0);
        }
    }
    return image;
}

} // namespace

QImage decodeIco(const QByteArray& bytes)
{
    return decodeOrFail(
        [&] {
            const QList<IconEntry> entries = readDirectory(bytes);
            const IconEntry& best = bestEntry(entries);
            return best.png ? readPngEntry(best.bytes) : readBitmapEntry(best.bytes);
        },
        "Icon image is not valid");
}

} // namespace quorvel::race
