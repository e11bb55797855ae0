#include "race/photo/picturefile.h"

#include "base/cp1252.h"
#include "race/photo/decoders.h"
#include "race/photo/photoerrors.h"
#include "race/photo/photofilebytes.h"

#include <algorithm>

namespace quorvel::race {
namespace {

// Bitmaps and icons are decoded whole: the element samples them.
QImage decodeBmpInBox(const QByteArray& bytes, QSize)
{
    return decodeBmp(bytes);
}

QImage decodeIcoInBox(const QByteArray& bytes, QSize)
{
    return decodeIco(bytes);
}

struct Format {
    QLatin1StringView extension;
    PictureDecoder decoder;
    FittingDecoder fitting;
    // Whether decoding keeps one processor busy throughout, so that two such pictures
    // decode faster side by side. A JPEG's entropy decoding does; drawing a metafile's
    // large bitmaps already spreads over the processors.
    bool oneProcessorsWork;
};

// clang-format off
const Format kFormats[] = {
    {QLatin1StringView("bmp"),  decodeBmp,  decodeBmpInBox,  false},
    {QLatin1StringView("ico"),  decodeIco,  decodeIcoInBox,  false},
    {QLatin1StringView("wmf"),  decodeWmf,  decodeWmfInBox,  false},
    {QLatin1StringView("emf"),  decodeEmf,  decodeEmfInBox,  false},
    {QLatin1StringView("jpg"),  decodeJpeg, decodeJpegInBox, true},
    {QLatin1StringView("jpeg"), decodeJpeg, decodeJpegInBox, true},
};
// clang-format on

const Format* knownFormat(const QString& path)
{
    const QString extension = fileExtension(path).toLower();
    for (const Format& known : kFormats) {
        if (extension == known.extension)
            return &known;
    }
    return nullptr;
}

const Format& formatForFile(const QString& path)
{
    if (const Format* known = knownFormat(path))
        return *known;
    throw PhotoFailure("Unknown picture file extension (." + toCp1252(fileExtension(path).toLower()) + ")");
}

} // namespace

QString fileExtension(const QString& path)
{
    const qsizetype separator = std::max(path.lastIndexOf(u'/'), path.lastIndexOf(u'\\'));
    const qsizetype dot = path.lastIndexOf(u'.');
    return dot > separator ? path.mid(dot + 1) : QString();
}

PictureDecoder decoderForFile(const QString& path)
{
    return formatForFile(path).decoder;
}

FittingDecoder fittingDecoderForFile(const QString& path)
{
    return formatForFile(path).fitting;
}

bool decodesOnOneProcessor(const QString& path)
{
    const Format* known = knownFormat(path);
    return known && known->oneProcessorsWork;
}

namespace {

template <class Decode> QImage readAndDecode(const QString& path, const Decode& decode)
{
    const PhotoFileBytes file = readPhotoFile(path);
    if (file.error != 0)
        throw cannotOpenFile(path, systemReason(file.error));
    // A picture that does not decode is a photo failure like a missing file.
    try {
        return decode(file.bytes);
    } catch (const Failure& e) {
        throw PhotoFailure(e.message());
    }
}

} // namespace

QImage readPictureFile(const QString& path, PictureDecoder decoder)
{
    return readAndDecode(path, [&](const QByteArray& bytes) { return decoder(bytes); });
}

QImage readPictureFile(const QString& path, FittingDecoder decoder, QSize fitBox)
{
    return readAndDecode(path, [&](const QByteArray& bytes) { return decoder(bytes, fitBox); });
}

QImage loadPictureFile(const QString& path)
{
    return readPictureFile(path, decoderForFile(path));
}

} // namespace quorvel::race
