#pragma once

#include <QByteArray>
#include <QImage>

namespace quorvel::race {

// The picture decoders of the photo cache, each a pure function over a file's bytes.
// Each raises quorvel::Failure with its own message when the bytes are not a picture it
// can read, and refuses pictures beyond kMaxPicturePixels before allocating them.

QImage decodeBmp(const QByteArray& bytes); // "Bitmap image is not valid"
QImage decodeIco(const QByteArray& bytes); // "Icon image is not valid"
QImage decodeWmf(const QByteArray& bytes); // "Metafile is not valid"
QImage decodeEmf(const QByteArray& bytes); // "Metafile is not valid"
QImage decodeJpeg(const QByteArray& bytes); // "JPEG error #<the library's message number>"

// The same for a picture that will be shrunk into `fitBox`, keeping its ratio (an empty
// box: shown at its own size). The work follows the size the picture is drawn at, not the
// file's: a JPEG is decoded at the smallest scale libjpeg offers that is not smaller, a
// metafile is played at that size. The result has the fitted size (fittedSize()), so that
// the element draws it as it is.
QImage decodeJpegInBox(const QByteArray& bytes, QSize fitBox);
QImage decodeWmfInBox(const QByteArray& bytes, QSize fitBox);
QImage decodeEmfInBox(const QByteArray& bytes, QSize fitBox);

// The size a picture is drawn at in a box it is shrunk into proportionally (never
// enlarged); the picture's own size when the box is empty.
QSize fittedSize(QSize picture, QSize fitBox);

} // namespace quorvel::race
