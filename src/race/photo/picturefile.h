#pragma once

#include "base/text.h"

#include <QImage>
#include <QString>

namespace quorvel::race {

using PictureDecoder = QImage (*)(const QByteArray& bytes);
// A decoder told the box the picture is shrunk into (see decoders.h).
using FittingDecoder = QImage (*)(const QByteArray& bytes, QSize fitBox);

// The extension of a path's file name: the text after its last "." when that "." comes
// after the last folder separator; empty otherwise.
QString fileExtension(const QString& path);

// The decoder for a path's extension, compared without regard to case; the bytes are
// never looked at to guess the format. Raises "Unknown picture file extension (.%s)".
PictureDecoder decoderForFile(const QString& path);

// The same, for a picture shown shrunk into a box.
FittingDecoder fittingDecoderForFile(const QString& path);

// Whether the path's format decodes on one processor throughout (a JPEG), so that two
// such pictures are done sooner each on a thread of its own. False for an unknown one.
bool decodesOnOneProcessor(const QString& path);

// Opens and decodes a picture file. Raises "Cannot open file "%s". %s" with the system's
// reason, or the decoder's message. Every failure here is a PhotoFailure.
QImage readPictureFile(const QString& path, PictureDecoder decoder);
QImage readPictureFile(const QString& path, FittingDecoder decoder, QSize fitBox);

// Both of the above.
QImage loadPictureFile(const QString& path);

} // namespace quorvel::race
