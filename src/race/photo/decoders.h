#pragma once

#include <QByteArray>
#include <QImage>

namespace quorvel::race {

// The picture decoders of the photo cache, each a pure function over a file's bytes.
// Each raises quorvel::Failure with its own message when the bytes are not a picture it
// can read, and refuses pictures beyond kMaxPicturePixels before allocating them.

QImage decodeBmp(const QByteArray& bytes);  // "Bitmap image is not valid"
QImage decodeIco(const QByteArray& bytes);  // "Icon image is not valid"
QImage decodeWmf(const QByteArray& bytes);  // "Metafile is not valid"
QImage decodeEmf(const QByteArray& bytes);  // "Metafile is not valid"
QImage decodeJpeg(const QByteArray& bytes); // "JPEG error #<the library's message number>"

} // namespace quorvel::race
