#pragma once

#include <QByteArray>
#include <QImage>

namespace quorvel::picturegen {

// The QR code of a text as a picture of one pixel a module, black on white, without the
// quiet zone. Throws std::runtime_error when the text cannot be encoded.
QImage qrModules(const QByteArray& content);

} // namespace quorvel::picturegen
