#include "picturebuilders.h"

#include <QBuffer>

#include <cstdio>
#include <jpeglib.h>

#include <vector>

namespace photo_test {

Bytes& Bytes::u8(int v)
{
    data.append(char(v & 0xFF));
    return *this;
}

Bytes& Bytes::u16(int v)
{
    return u8(v).u8(v >> 8);
}

Bytes& Bytes::u32(quint32 v)
{
    return u16(int(v & 0xFFFF)).u16(int(v >> 16));
}

Bytes& Bytes::raw(const QByteArray& bytes)
{
    data.append(bytes);
    return *this;
}

Bytes& Bytes::zeros(int count)
{
    data.append(QByteArray(count, '\0'));
    return *this;
}

void put16(QByteArray& bytes, int at, int value)
{
    bytes[at] = char(value & 0xFF);
    bytes[at + 1] = char((value >> 8) & 0xFF);
}

void put32(QByteArray& bytes, int at, quint32 value)
{
    put16(bytes, at, int(value & 0xFFFF));
    put16(bytes, at + 2, int(value >> 16));
}

QByteArray dibHeader(const DibSpec& spec)
{
    Bytes b;
    const int rows = spec.height * spec.rowsFactor;
    if (spec.headerSize == 12) {
        b.u32(12).u16(spec.width).u16(rows).u16(1).u16(spec.bitCount);
        for (QRgb c : spec.palette)
            b.u8(qBlue(c)).u8(qGreen(c)).u8(qRed(c));
        return b.data;
    }
    const bool rle = spec.compression == 1 || spec.compression == 2;
    b.u32(quint32(spec.headerSize)).i32(spec.width).i32(spec.topDown ? -rows : rows);
    b.u16(1).u16(spec.bitCount).u32(spec.compression).u32(rle ? quint32(spec.rle.size()) : 0);
    b.u32(2835).u32(2835).u32(quint32(spec.palette.size())).u32(0);
    if (spec.headerSize > 40) {
        for (int i = 0; i < 4; ++i)
            b.u32(i < spec.masks.size() ? spec.masks[i] : 0);
        b.zeros(spec.headerSize - 56);
    } else {
        for (quint32 mask : spec.masks)
            b.u32(mask);
    }
    for (QRgb c : spec.palette)
        b.u8(qBlue(c)).u8(qGreen(c)).u8(qRed(c)).u8(0);
    return b.data;
}

QByteArray dibRows(const DibSpec& spec)
{
    if (!spec.rle.isEmpty())
        return spec.rle;
    const int stride = ((spec.width * spec.bitCount + 31) / 32) * 4;
    QByteArray rows(stride * spec.height, '\0');
    for (int r = 0; r < spec.height; ++r) {
        const int y = spec.topDown ? r : spec.height - 1 - r;
        auto* row = reinterpret_cast<uchar*>(rows.data()) + r * stride;
        for (int x = 0; x < spec.width; ++x) {
            const quint32 v = spec.value(x, y);
            switch (spec.bitCount) {
            case 1:
            case 4:
            case 8: {
                const int perByte = 8 / spec.bitCount;
                row[x / perByte] |= uchar(v << (8 - spec.bitCount * (x % perByte + 1)));
                break;
            }
            case 16:
                row[x * 2] = uchar(v);
                row[x * 2 + 1] = uchar(v >> 8);
                break;
            case 24:
                row[x * 3] = uchar(v);
                row[x * 3 + 1] = uchar(v >> 8);
                row[x * 3 + 2] = uchar(v >> 16);
                break;
            default:
                for (int i = 0; i < 4; ++i)
                    row[x * 4 + i] = uchar(v >> (8 * i));
            }
        }
    }
    return rows;
}

QByteArray bmpFile(const DibSpec& spec)
{
    const QByteArray header = dibHeader(spec);
    const QByteArray rows = dibRows(spec);
    Bytes b;
    b.u8('B').u8('M').u32(quint32(14 + header.size() + rows.size())).u32(0).u32(quint32(14 + header.size()));
    return b.raw(header).raw(rows).data;
}

QImage expectedPicture(const DibSpec& spec, const std::function<QRgb(int x, int y)>& color)
{
    QImage image(spec.width, spec.height, QImage::Format_RGB32);
    for (int y = 0; y < spec.height; ++y)
        for (int x = 0; x < spec.width; ++x)
            image.setPixel(x, y, color(x, y));
    return image;
}

QRgb patternColor(int x, int y)
{
    return qRgb((x * 37 + 11) % 256, (y * 59 + 23) % 256, (x * y * 13 + 71) % 256);
}

DibSpec rgb24Spec(int width, int height)
{
    DibSpec spec;
    spec.width = width;
    spec.height = height;
    spec.value = [](int x, int y) { return quint32(patternColor(x, y) & 0xFFFFFF); };
    return spec;
}

DibSpec paletteSpec(int bitCount, int width, int height)
{
    DibSpec spec;
    spec.width = width;
    spec.height = height;
    spec.bitCount = bitCount;
    const int count = std::min(1 << bitCount, 16);
    for (int i = 0; i < count; ++i)
        spec.palette.append(qRgb(i * 15, 255 - i * 15, (i * 97) % 256));
    spec.value = [count](int x, int y) { return quint32((x + 3 * y) % count); };
    return spec;
}

IconEntrySpec bitmapIconEntry(const QImage& picture, const QList<QPoint>& transparent)
{
    const QImage rgb = picture.convertToFormat(QImage::Format_ARGB32);
    DibSpec spec;
    spec.width = rgb.width();
    spec.height = rgb.height();
    spec.rowsFactor = 2;
    spec.bitCount = picture.hasAlphaChannel() ? 32 : 24;
    spec.value = [rgb, spec](int x, int y) {
        const QRgb c = rgb.pixel(x, y);
        return spec.bitCount == 32 ? quint32(c) : quint32(c & 0xFFFFFF);
    };
    const int maskStride = ((spec.width + 31) / 32) * 4;
    QByteArray mask(maskStride * spec.height, '\0');
    for (const QPoint& p : transparent) {
        const int row = spec.height - 1 - p.y();
        mask[row * maskStride + p.x() / 8] = char(mask[row * maskStride + p.x() / 8] | (0x80 >> (p.x() % 8)));
    }
    IconEntrySpec entry;
    entry.bytes = dibHeader(spec) + dibRows(spec) + mask;
    entry.directoryWidth = spec.width;
    entry.directoryHeight = spec.height;
    entry.bitCount = spec.bitCount;
    return entry;
}

IconEntrySpec pngIconEntry(const QImage& picture)
{
    IconEntrySpec entry;
    QBuffer buffer(&entry.bytes);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
    entry.directoryWidth = picture.width();
    entry.directoryHeight = picture.height();
    return entry;
}

QByteArray icoFile(const QList<IconEntrySpec>& entries)
{
    Bytes b;
    b.u16(0).u16(1).u16(int(entries.size()));
    quint32 offset = quint32(6 + 16 * entries.size());
    for (const IconEntrySpec& e : entries) {
        b.u8(e.directoryWidth >= 256 ? 0 : e.directoryWidth).u8(e.directoryHeight >= 256 ? 0 : e.directoryHeight);
        b.u8(0).u8(0).u16(1).u16(e.bitCount).u32(quint32(e.bytes.size())).u32(offset);
        offset += quint32(e.bytes.size());
    }
    for (const IconEntrySpec& e : entries)
        b.raw(e.bytes);
    return b.data;
}

QByteArray wmfRecord(int function, const QByteArray& params)
{
    Bytes b;
    b.u32(quint32(3 + params.size() / 2)).u16(function).raw(params);
    return b.data;
}

namespace {

constexpr quint32 kSrcCopy = 0x00CC0020;

QByteArray packedDib(const DibSpec& dib)
{
    return dibHeader(dib) + dibRows(dib);
}

QByteArray wmfBody(const DibSpec& dib, int frameWidth, int frameHeight, QSize dest)
{
    if (dest.isEmpty())
        dest = QSize(frameWidth, frameHeight);
    QByteArray records;
    records += wmfRecord(0x020B, Bytes().u16(0).u16(0).data); // window origin
    records += wmfRecord(0x020C, Bytes().u16(frameHeight).u16(frameWidth).data); // window extent
    Bytes stretch;
    stretch.u32(kSrcCopy).u16(0).u16(dib.height).u16(dib.width).u16(0).u16(0);
    stretch.u16(dest.height()).u16(dest.width()).u16(0).u16(0).raw(packedDib(dib));
    records += wmfRecord(0x0F43, stretch.data);
    records += wmfRecord(0x0000, QByteArray());
    Bytes header;
    header.u16(1).u16(9).u16(0x0300).u32(quint32(9 + records.size() / 2)).u16(0).u32(0).u16(0);
    return header.data + records;
}

} // namespace

QByteArray placeableWmf(const DibSpec& dib, int frameWidth, int frameHeight, int unitsPerInch, QSize dest)
{
    Bytes placeable;
    placeable.u32(0x9AC6CDD7).u16(0).u16(0).u16(0).u16(frameWidth).u16(frameHeight).u16(unitsPerInch).u32(0);
    quint16 checksum = 0;
    for (int i = 0; i < 10; ++i)
        checksum ^= quint16(uchar(placeable.data[2 * i]) | (uchar(placeable.data[2 * i + 1]) << 8));
    placeable.u16(checksum);
    return placeable.data + wmfBody(dib, frameWidth, frameHeight, dest);
}

QByteArray standardWmf(const DibSpec& dib, int frameWidth, int frameHeight, QSize dest)
{
    return wmfBody(dib, frameWidth, frameHeight, dest);
}

QByteArray emfFile(const DibSpec& dib, int pixelWidth, int pixelHeight, QSize dest, int records)
{
    if (dest.isEmpty())
        dest = QSize(pixelWidth, pixelHeight);
    const QByteArray info = dibHeader(dib);
    const QByteArray rows = dibRows(dib);
    Bytes stretch;
    stretch.u32(81).u32(quint32(80 + info.size() + rows.size()));
    stretch.i32(0).i32(0).i32(pixelWidth - 1).i32(pixelHeight - 1);
    stretch.i32(0).i32(0).i32(0).i32(0).i32(dib.width).i32(dib.height);
    stretch.u32(80).u32(quint32(info.size())).u32(quint32(80 + info.size())).u32(quint32(rows.size()));
    stretch.u32(0).u32(kSrcCopy).i32(dest.width()).i32(dest.height()).raw(info).raw(rows);
    stretch.data = stretch.data.repeated(records);
    Bytes eof;
    eof.u32(14).u32(20).u32(0).u32(16).u32(20);
    Bytes header;
    const quint32 total = quint32(88 + stretch.data.size() + eof.data.size());
    header.u32(1).u32(88).i32(0).i32(0).i32(pixelWidth - 1).i32(pixelHeight - 1);
    header.i32(0).i32(0).i32(pixelWidth * 2540 / 96).i32(pixelHeight * 2540 / 96);
    header.u32(0x464D4520).u32(0x10000).u32(total).u32(quint32(records + 2)).u16(1).u16(0);
    header.u32(0).u32(0).u32(0).i32(960).i32(960).i32(254).i32(254);
    return header.data + stretch.data + eof.data;
}

QByteArray compressJpeg(int width, int height, int components, int space, const std::function<const uchar*(int y)>& row,
                        int quality, bool subsampled, int progressiveScans)
{
    std::vector<jpeg_scan_info> script;
    if (progressiveScans > 0) {
        script.push_back({1, {0}, 0, 0, 0, 0});
        const int bands = progressiveScans - 1;
        for (int band = 0; band < bands; ++band)
            script.push_back({1, {0}, 1 + 63 * band / bands, 63 * (band + 1) / bands, 0, 0});
    }
    jpeg_compress_struct cinfo;
    jpeg_error_mgr errors;
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &out, &size);
    cinfo.image_width = JDIMENSION(width);
    cinfo.image_height = JDIMENSION(height);
    cinfo.input_components = components;
    cinfo.in_color_space = J_COLOR_SPACE(space);
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    if (components == 3 && !subsampled)
        cinfo.comp_info[0].h_samp_factor = cinfo.comp_info[0].v_samp_factor = 1;
    if (progressiveScans == 0) {
        jpeg_simple_progression(&cinfo);
    } else if (progressiveScans > 0) {
        cinfo.scan_info = script.data();
        cinfo.num_scans = int(script.size());
    }
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW rows[1] = {const_cast<uchar*>(row(int(cinfo.next_scanline)))};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    QByteArray bytes(reinterpret_cast<const char*>(out), qsizetype(size));
    free(out);
    return bytes;
}

QByteArray jpegFile(const QImage& picture, int quality, bool gray, bool subsampled)
{
    const QImage source = picture.convertToFormat(gray ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
    return compressJpeg(
        source.width(), source.height(), gray ? 1 : 3, gray ? JCS_GRAYSCALE : JCS_RGB,
        [&](int y) { return source.constScanLine(y); }, quality, subsampled);
}

QByteArray jpegWithSize(QByteArray jpeg, int width, int height)
{
    // the height field follows the SOF0 marker and its length
    const qsizetype marker = jpeg.indexOf(QByteArray("\xFF\xC0", 2));
    if (marker < 0)
        return jpeg;
    const qsizetype at = marker + 5;
    jpeg[at] = char(height >> 8);
    jpeg[at + 1] = char(height);
    jpeg[at + 2] = char(width >> 8);
    jpeg[at + 3] = char(width);
    return jpeg;
}

QByteArray jpegError(int code)
{
    return QByteArray("JPEG error #") + QByteArray::number(code);
}

QImage quadrantPicture(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    const QRgb colors[4] = {qRgb(200, 30, 30), qRgb(30, 200, 30), qRgb(30, 30, 200), qRgb(230, 230, 40)};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, colors[(x >= width / 2 ? 1 : 0) + (y >= height / 2 ? 2 : 0)]);
    return image;
}

} // namespace photo_test

namespace photo_test {
namespace {

quint32 mix(quint32 v)
{
    v ^= v >> 16;
    v *= 0x7FEB352Du;
    v ^= v >> 15;
    v *= 0x846CA68Bu;
    v ^= v >> 16;
    return v;
}

int noise(int x, int y, int channel)
{
    return int(mix(quint32(x) * 0x9E3779B1u ^ mix(quint32(y) * 0x85EBCA77u + quint32(channel))) & 0xFF);
}

} // namespace

QByteArray cameraJpeg(int width, int height, int grain)
{
    constexpr int kCell = 192;
    const int cells = width / kCell + 2;
    std::vector<uchar> row(size_t(width) * 3);
    std::vector<int> column(size_t(cells) * 3); // the blotches along this row, at each cell edge
    std::vector<int> grains(4096);
    for (size_t i = 0; i < grains.size(); ++i)
        grains[i] = noise(int(i), 0, 7) % qMax(grain, 1) - grain / 2;
    return compressJpeg(
        width, height, 3, JCS_RGB,
        [&](int y) {
            const int gy = y / kCell;
            const int fy = y % kCell;
            for (int gx = 0; gx < cells; ++gx)
                for (int c = 0; c < 3; ++c)
                    column[size_t(gx) * 3 + size_t(c)] =
                        (noise(gx, gy, c) * (kCell - fy) + noise(gx, gy + 1, c) * fy) / kCell;
            uchar* out = row.data();
            for (int x = 0; x < width; ++x) {
                const int gx = x / kCell;
                const int fx = x % kCell;
                const int* left = &column[size_t(gx) * 3];
                const int* right = left + 3;
                for (int c = 0; c < 3; ++c) {
                    const int value = (left[c] * (kCell - fx) + right[c] * fx) / kCell +
                        grains[size_t((x * 7 + y * 13 + c * 1031) & 4095)];
                    *out++ = uchar(qBound(0, value, 255));
                }
            }
            return row.data();
        },
        90, true);
}

QImage fullDecodeSampled(const QByteArray& jpeg, QSize drawn)
{
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr errors;
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(jpeg.constData()), (unsigned long)jpeg.size());
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    const int width = int(cinfo.output_width);
    const int height = int(cinfo.output_height);
    std::vector<uchar> line(size_t(width) * 3);
    QImage out(drawn, QImage::Format_RGB32);
    int outRow = 0;
    while (int(cinfo.output_scanline) < height) {
        const int y = int(cinfo.output_scanline);
        JSAMPROW rows[1] = {line.data()};
        jpeg_read_scanlines(&cinfo, rows, 1);
        while (outRow < drawn.height() && int((outRow + 0.5) * height / drawn.height()) == y) {
            auto* target = reinterpret_cast<QRgb*>(out.scanLine(outRow));
            for (int x = 0; x < drawn.width(); ++x) {
                const uchar* p = line.data() + size_t(int((x + 0.5) * width / drawn.width())) * 3;
                target[x] = qRgb(p[0], p[1], p[2]);
            }
            ++outRow;
        }
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return out;
}

} // namespace photo_test
