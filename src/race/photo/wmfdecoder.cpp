#include "race/photo/decoders.h"

#include "race/photo/bytereader.h"
#include "race/photo/metafilecanvas.h"
#include "race/photo/picturelimits.h"

#include <cmath>
#include <optional>

namespace quorvel::race {
namespace {

constexpr quint32 kPlaceableKey = 0x9AC6CDD7;
constexpr int kPlaceableSize = 22;
constexpr int kHeaderWords = 9;
constexpr int kScreenDpi = 96;

enum WmfFunction : quint16 {
    kMetaEof = 0x0000,
    kMetaSetWindowOrg = 0x020B,
    kMetaSetWindowExt = 0x020C,
    kMetaSaveDc = 0x001E,
    kMetaRestoreDc = 0x0127,
    kMetaDibBitBlt = 0x0940,
    kMetaDibStretchBlt = 0x0B41,
    kMetaStretchDib = 0x0F43,
};

constexpr quint16 kDibRgbColors = 0;

struct Record {
    quint16 function = 0;
    QByteArrayView params; // the words after size and function
};

// The optional header of Aldus placeable metafiles: the picture's frame in logical
// units and how many of those units make an inch.
struct Placeable {
    QRectF frame;
    int unitsPerInch = 0;
};

std::optional<Placeable> readPlaceable(ByteReader& reader)
{
    if (reader.remaining() < 4 || ByteReader(reader.bytes()).u32() != kPlaceableKey)
        return std::nullopt;
    ByteReader words(reader.view(kPlaceableSize));
    quint16 checksum = 0;
    for (int i = 0; i < 10; ++i)
        checksum ^= words.u16();
    require(words.u16() == checksum);
    words.seek(4);
    require(words.u16() == 0); // handle, always 0 on disk
    const int left = words.i16();
    const int top = words.i16();
    const int right = words.i16();
    const int bottom = words.i16();
    const int inch = words.u16();
    require(inch > 0 && right != left && bottom != top);
    return Placeable{QRectF(QPointF(left, top), QPointF(right, bottom)), inch};
}

void readStandardHeader(ByteReader& reader)
{
    const quint16 type = reader.u16();
    require(type == 1 || type == 2); // in memory, on disk
    require(reader.u16() == kHeaderWords);
    const quint16 version = reader.u16();
    require(version == 0x0100 || version == 0x0300);
    const quint32 words = reader.u32();
    require(words >= kHeaderWords + 3);
    reader.skip(2 + 4); // objects, largest record
    require(reader.u16() == 0); // members, unused
}

// Every record up to META_EOF, each checked to lie inside the file.
QList<Record> readRecords(ByteReader& reader)
{
    QList<Record> records;
    for (;;) {
        const quint32 words = reader.u32();
        require(words >= 3 && qint64(words) * 2 - 4 <= reader.remaining());
        Record record;
        record.function = reader.u16();
        record.params = reader.view(qsizetype(words) * 2 - 6);
        if (record.function == kMetaEof)
            return records;
        records.append(record);
    }
}

// Parameters are stored last first; `at` counts words from the start of the record's
// parameters.
qint16 word(const Record& record, int at)
{
    ByteReader reader(record.params);
    reader.skip(qsizetype(at) * 2);
    return reader.i16();
}

QPointF pointParam(const Record& record)
{
    return QPointF(word(record, 1), word(record, 0)); // y, then x
}

std::optional<QPointF> firstWindowExtent(const QList<Record>& records)
{
    for (const Record& record : records) {
        if (record.function == kMetaSetWindowExt)
            return pointParam(record);
    }
    return std::nullopt;
}

// The records that carry a bitmap. Those without one (a pattern fill) are skipped.
void drawBitmapRecord(MetafileCanvas& canvas, const Record& record)
{
    const qsizetype words = record.params.size() / 2;
    const int fixed = record.function >> 8; // parameter words of the form without bitmap
    if (words <= fixed)
        return;
    auto w = [&](int at) { return word(record, at); };
    switch (record.function) {
    case kMetaDibBitBlt: // rop(2) ySrc xSrc height width yDest xDest dib
        canvas.drawPackedDib(QRectF(w(7), w(6), w(5), w(4)), record.params.sliced(16), QRectF(w(3), w(2), w(5), w(4)));
        break;
    case kMetaDibStretchBlt: // rop(2) srcH srcW ySrc xSrc destH destW yDest xDest dib
        canvas.drawPackedDib(QRectF(w(9), w(8), w(7), w(6)), record.params.sliced(20), QRectF(w(5), w(4), w(3), w(2)));
        break;
    case kMetaStretchDib: // rop(2) usage srcH srcW ySrc xSrc destH destW yDest xDest dib
        if (quint16(w(2)) != kDibRgbColors)
            return; // palette indices of objects this player does not keep
        canvas.drawPackedDib(QRectF(w(10), w(9), w(8), w(7)), record.params.sliced(22), QRectF(w(6), w(5), w(4), w(3)));
        break;
    default: break;
    }
}

// The player keeps its own viewport on the picture; the metafile moves the window only.
void play(MetafileCanvas& canvas, const Record& record)
{
    switch (record.function) {
    case kMetaSetWindowOrg: canvas.mapping().windowOrigin = pointParam(record); break;
    case kMetaSetWindowExt: canvas.mapping().windowExtent = pointParam(record); break;
    case kMetaSaveDc: canvas.saveState(); break;
    case kMetaRestoreDc: canvas.restoreState(word(record, 0)); break;
    default: drawBitmapRecord(canvas, record);
    }
}

QImage readWmf(QByteArrayView bytes, QSize fitBox)
{
    ByteReader reader(bytes);
    const std::optional<Placeable> placeable = readPlaceable(reader);
    readStandardHeader(reader);
    const QList<Record> records = readRecords(reader);

    QSize size;
    QRectF window;
    if (placeable) {
        window = placeable->frame;
        size = QSize(int(std::lround(std::abs(window.width()) * kScreenDpi / placeable->unitsPerInch)),
                     int(std::lround(std::abs(window.height()) * kScreenDpi / placeable->unitsPerInch)));
    } else {
        // Without a placeable header only the window extent tells the picture's size.
        const std::optional<QPointF> extent = firstWindowExtent(records);
        require(extent.has_value());
        window = QRectF(QPointF(0, 0), QSizeF(extent->x(), extent->y()));
        size = QSize(std::abs(int(extent->x())), std::abs(int(extent->y())));
    }
    require(withinPictureLimit(size.width(), size.height()));

    const QSize shown = fittedSize(size, fitBox).isEmpty() ? size : fittedSize(size, fitBox);
    for (const MetafileCanvas::Pass pass : {MetafileCanvas::Measure, MetafileCanvas::Draw}) {
        // The player maps the window onto the whole picture; the canvas then maps the
        // picture onto the pixels it is played at.
        MetafileCanvas canvas(pass == MetafileCanvas::Draw ? shown : size, QRectF(QPointF(0, 0), QSizeF(size)), pass);
        MetafileMapping& mapping = canvas.mapping();
        mapping.mapMode = kMapAnisotropic;
        mapping.windowOrigin = window.topLeft();
        mapping.windowExtent = QPointF(window.width(), window.height());
        mapping.viewportExtent = QPointF(size.width(), size.height());
        for (const Record& record : records)
            play(canvas, record);
        if (pass == MetafileCanvas::Draw)
            return canvas.image();
    }
    Q_UNREACHABLE();
}

} // namespace

QImage decodeWmf(const QByteArray& bytes)
{
    return decodeWmfInBox(bytes, QSize());
}

QImage decodeWmfInBox(const QByteArray& bytes, QSize fitBox)
{
    return decodeOrFail([&] { return readWmf(bytes, fitBox); }, "Metafile is not valid");
}

} // namespace quorvel::race
