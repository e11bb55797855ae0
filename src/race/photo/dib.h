#pragma once

#include "race/photo/bytereader.h"

#include <QImage>
#include <QList>
#include <QRgb>

namespace quorvel::race {

// A device-independent bitmap as Windows keeps it in .bmp files, icons and metafile
// records: an information header (core, info, V2 to V5), optional colour masks, a
// palette, then rows of pixels. All sizes are checked against the bytes that hold them.

enum DibCompression : quint32 {
    kBiRgb = 0,
    kBiRle8 = 1,
    kBiRle4 = 2,
    kBiBitfields = 3,
    kBiAlphaBitfields = 6,
};

struct DibHeader {
    int width = 0;
    int height = 0; // rows, always positive
    bool topDown = false;
    int bitCount = 0;
    quint32 compression = kBiRgb;
    quint32 sizeImage = 0;
    quint32 redMask = 0;
    quint32 greenMask = 0;
    quint32 blueMask = 0;
    quint32 alphaMask = 0;
    QList<QRgb> palette; // always 256 entries for bit counts up to 8, black beyond the file's
};

// Reads the header, masks and palette at the reader's position and leaves the reader
// just after them. `rowsDivisor` is 2 for icons, whose header counts the AND mask's rows
// too. Refuses pictures beyond the size limit.
DibHeader readDibHeader(ByteReader& reader, int rowsDivisor = 1);

// Bytes of one uncompressed row, padded to 4 bytes.
qint64 dibStride(int width, int bitCount);

// The picture from its pixel rows. Opaque unless `keepAlpha` is set and the pixels carry
// alpha (32-bit rows with an alpha byte or alpha mask that is not all zero).
QImage readDibPixels(const DibHeader& header, QByteArrayView bits, bool keepAlpha = false);

} // namespace quorvel::race
