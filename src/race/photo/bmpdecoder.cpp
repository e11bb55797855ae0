#include "race/photo/decoders.h"

#include "race/photo/dib.h"

namespace quorvel::race {
namespace {

QImage readBmp(QByteArrayView bytes)
{
    ByteReader reader(bytes);
    require(reader.u8() == 'B' && reader.u8() == 'M');
    reader.skip(8); // file size and reserved words, often wrong in files that load everywhere
    const quint32 pixelOffset = reader.u32();
    const DibHeader header = readDibHeader(reader);
    require(pixelOffset >= quint64(reader.position()) && pixelOffset < quint64(bytes.size()));
    return readDibPixels(header, bytes.sliced(pixelOffset));
}

} // namespace

QImage decodeBmp(const QByteArray& bytes)
{
    return decodeOrFail([&] { return readBmp(bytes); }, "Bitmap image is not valid");
}

} // namespace quorvel::race
