#include "race/photo/decoders.h"

#include "race/photo/bytereader.h"
#include "race/photo/metafilecanvas.h"
#include "race/photo/picturelimits.h"

#include <cmath>

namespace quorvel::race {
namespace {

constexpr quint32 kSignature = 0x464D4520; // " EMF"
constexpr int kHeaderSize = 88;
constexpr int kScreenDpi = 96;
constexpr int kHundredthsMmPerInch = 2540;

enum EmfRecordType : quint32 {
    kEmrHeader = 1,
    kEmrSetWindowExtEx = 9,
    kEmrSetWindowOrgEx = 10,
    kEmrSetViewportExtEx = 11,
    kEmrSetViewportOrgEx = 12,
    kEmrEof = 14,
    kEmrSetMapMode = 17,
    kEmrSaveDc = 33,
    kEmrRestoreDc = 34,
    kEmrBitBlt = 76,
    kEmrStretchBlt = 77,
    kEmrStretchDiBits = 81,
};

constexpr quint32 kDibRgbColors = 0;

struct Record {
    quint32 type = 0;
    QByteArrayView bytes; // the whole record, type and size included
};

struct Header {
    QRectF frame; // hundredths of a millimetre
    QSizeF device; // the reference device, pixels
    QSizeF millimeters; // the reference device, millimetres
    quint32 bytes = 0;
};

Header readHeader(QByteArrayView file)
{
    ByteReader reader(file);
    require(reader.u32() == kEmrHeader);
    const quint32 size = reader.u32();
    require(size >= kHeaderSize && size % 4 == 0 && size <= quint64(file.size()));
    reader.skip(16); // bounds
    const qint32 left = reader.i32();
    const qint32 top = reader.i32();
    const qint32 right = reader.i32();
    const qint32 bottom = reader.i32();
    require(reader.u32() == kSignature);
    reader.skip(4); // version
    Header header;
    header.bytes = reader.u32();
    require(header.bytes >= size && header.bytes <= quint64(file.size()));
    reader.skip(4 + 2 + 2 + 4 + 4 + 4); // records, handles, reserved, description, palette
    const qint32 deviceWidth = reader.i32();
    const qint32 deviceHeight = reader.i32();
    const qint32 mmWidth = reader.i32();
    const qint32 mmHeight = reader.i32();
    require(right > left && bottom > top && deviceWidth > 0 && deviceHeight > 0 && mmWidth > 0 && mmHeight > 0);
    header.frame = QRectF(QPointF(left, top), QPointF(right, bottom));
    header.device = QSizeF(deviceWidth, deviceHeight);
    header.millimeters = QSizeF(mmWidth, mmHeight);
    return header;
}

// Every record after the header up to EMR_EOF, each checked to lie inside the file.
QList<Record> readRecords(QByteArrayView file, const Header& header)
{
    ByteReader reader(file.first(header.bytes));
    QList<Record> records;
    for (bool first = true;; first = false) {
        const qsizetype start = reader.position();
        const quint32 type = reader.u32();
        const quint32 size = reader.u32();
        require(size >= 8 && size % 4 == 0 && qint64(size) - 8 <= reader.remaining());
        require(first == (type == kEmrHeader));
        reader.seek(start + size);
        if (type == kEmrEof)
            return records;
        if (!first)
            records.append(Record{type, file.sliced(start, size)});
    }
}

// Two 32-bit values, read in their order (the order of a function's arguments is not).
QPointF readPoint(ByteReader& reader)
{
    const qint32 x = reader.i32();
    return QPointF(x, reader.i32());
}

QSizeF readSize(ByteReader& reader)
{
    const QPointF p = readPoint(reader);
    return QSizeF(p.x(), p.y());
}

QPointF pointAt(const Record& record, qsizetype at)
{
    ByteReader reader(record.bytes, at);
    return readPoint(reader);
}

// The bitmap of a record: its header and palette, then its rows, each located by an
// offset and a length from the record's start.
void drawDibAt(MetafileCanvas& canvas, const Record& record, qsizetype fixedSize, qsizetype offsets, const QRectF& dest,
               const QRectF& source)
{
    ByteReader reader(record.bytes, offsets);
    const quint32 infoOffset = reader.u32();
    const quint32 infoSize = reader.u32();
    const quint32 bitsOffset = reader.u32();
    const quint32 bitsSize = reader.u32();
    if (infoSize == 0)
        return; // no source bitmap: a fill, not a picture
    const auto inside = [&](quint32 offset, quint32 size) {
        return offset >= fixedSize && quint64(offset) + size <= quint64(record.bytes.size());
    };
    require(inside(infoOffset, infoSize) && inside(bitsOffset, bitsSize));
    canvas.drawDib(dest, record.bytes.sliced(infoOffset, infoSize), record.bytes.sliced(bitsOffset, bitsSize), source);
}

void drawBitmapRecord(MetafileCanvas& canvas, const Record& record)
{
    ByteReader reader(record.bytes);
    switch (record.type) {
    case kEmrStretchDiBits: {
        // bounds, xDest yDest xSrc ySrc cxSrc cySrc, 4 offsets, usage, rop, cxDest cyDest
        reader.seek(24);
        const QPointF destAt = readPoint(reader);
        const QPointF srcAt = readPoint(reader);
        const QSizeF srcSize = readSize(reader);
        reader.seek(64);
        const quint32 usage = reader.u32();
        reader.skip(4);
        const QSizeF destSize = readSize(reader);
        if (usage != kDibRgbColors)
            return; // palette indices of objects this player does not keep
        drawDibAt(canvas, record, 80, 48, QRectF(destAt, destSize), QRectF(srcAt, srcSize));
        break;
    }
    case kEmrBitBlt:
    case kEmrStretchBlt: {
        // bounds, xDest yDest cxDest cyDest, rop, xSrc ySrc, transform, background,
        // usage, 4 offsets[, cxSrc cySrc]
        const qsizetype fixedSize = record.type == kEmrStretchBlt ? 108 : 100;
        require(record.bytes.size() >= fixedSize);
        reader.seek(24);
        const QPointF destAt = readPoint(reader);
        const QSizeF destSize = readSize(reader);
        reader.skip(4);
        const QPointF srcAt = readPoint(reader);
        reader.seek(80);
        const quint32 usage = reader.u32();
        QSizeF srcSize = destSize;
        if (record.type == kEmrStretchBlt) {
            reader.seek(100);
            srcSize = readSize(reader);
        }
        if (usage != kDibRgbColors)
            return;
        drawDibAt(canvas, record, fixedSize, 84, QRectF(destAt, destSize), QRectF(srcAt, srcSize));
        break;
    }
    default: break;
    }
}

void play(MetafileCanvas& canvas, const Record& record)
{
    MetafileMapping& mapping = canvas.mapping();
    switch (record.type) {
    case kEmrSetWindowExtEx: mapping.windowExtent = pointAt(record, 8); break;
    case kEmrSetWindowOrgEx: mapping.windowOrigin = pointAt(record, 8); break;
    case kEmrSetViewportExtEx: mapping.viewportExtent = pointAt(record, 8); break;
    case kEmrSetViewportOrgEx: mapping.viewportOrigin = pointAt(record, 8); break;
    case kEmrSetMapMode: mapping.mapMode = ByteReader(record.bytes, 8).u32(); break;
    case kEmrSaveDc: canvas.saveState(); break;
    case kEmrRestoreDc: canvas.restoreState(ByteReader(record.bytes, 8).i32()); break;
    default: drawBitmapRecord(canvas, record);
    }
}

QImage readEmf(QByteArrayView bytes, QSize fitBox)
{
    const Header header = readHeader(bytes);
    const QList<Record> records = readRecords(bytes, header);

    const qint64 width = std::lround(header.frame.width() * kScreenDpi / kHundredthsMmPerInch);
    const qint64 height = std::lround(header.frame.height() * kScreenDpi / kHundredthsMmPerInch);
    require(withinPictureLimit(width, height));
    // The frame, from hundredths of a millimetre into the reference device's pixels.
    const double xScale = header.device.width() / (header.millimeters.width() * 100);
    const double yScale = header.device.height() / (header.millimeters.height() * 100);
    const QRectF deviceFrame(QPointF(header.frame.left() * xScale, header.frame.top() * yScale),
                             QPointF(header.frame.right() * xScale, header.frame.bottom() * yScale));

    const QSize own{int(width), int(height)};
    const QSize shown = fittedSize(own, fitBox).isEmpty() ? own : fittedSize(own, fitBox);
    for (const MetafileCanvas::Pass pass : {MetafileCanvas::Measure, MetafileCanvas::Draw}) {
        MetafileCanvas canvas(pass == MetafileCanvas::Draw ? shown : own, deviceFrame, pass);
        for (const Record& record : records)
            play(canvas, record);
        if (pass == MetafileCanvas::Draw)
            return canvas.image();
    }
    Q_UNREACHABLE();
}

} // namespace

QImage decodeEmf(const QByteArray& bytes)
{
    return decodeEmfInBox(bytes, QSize());
}

QImage decodeEmfInBox(const QByteArray& bytes, QSize fitBox)
{
    return decodeOrFail([&] { return readEmf(bytes, fitBox); }, "Metafile is not valid");
}

} // namespace quorvel::race
