#include "race/photo/picturefile.h"

#include "base/cp1252.h"
#include "race/photo/decoders.h"
#include "race/photo/photofilebytes.h"
#include "race/photo/photoerrors.h"

#include <algorithm>

namespace quorvel::race {
namespace {

struct Format {
    QLatin1StringView extension;
    PictureDecoder decoder;
};

constexpr Format kFormats[] = {
    {QLatin1StringView("bmp"), decodeBmp},  {QLatin1StringView("ico"), decodeIco},
    {QLatin1StringView("wmf"), decodeWmf},  {QLatin1StringView("emf"), decodeEmf},
    {QLatin1StringView("jpg"), decodeJpeg}, {QLatin1StringView("jpeg"), decodeJpeg},
};

} // namespace

QString fileExtension(const QString& path)
{
    const qsizetype separator = std::max(path.lastIndexOf(u'/'), path.lastIndexOf(u'\\'));
    const qsizetype dot = path.lastIndexOf(u'.');
    return dot > separator ? path.mid(dot + 1) : QString();
}

PictureDecoder decoderForFile(const QString& path)
{
    const QString extension = fileExtension(path).toLower();
    for (const Format& known : kFormats) {
        if (extension == known.extension)
            return known.decoder;
    }
    throw PhotoFailure("Unknown picture file extension (." + toCp1252(extension) + ")");
}

QImage readPictureFile(const QString& path, PictureDecoder decoder)
{
    const PhotoFileBytes file = readPhotoFile(path);
    if (file.error != 0)
        throw cannotOpenFile(path, systemReason(file.error));
    // A picture that does not decode is a photo failure like a missing file.
    try {
        return decoder(file.bytes);
    } catch (const Failure& e) {
        throw PhotoFailure(e.message());
    }
}

QImage loadPictureFile(const QString& path)
{
    return readPictureFile(path, decoderForFile(path));
}

} // namespace quorvel::race
