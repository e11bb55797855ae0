#include "qrcode.h"

#include <qrencode.h>

#include <memory>
#include <stdexcept>

namespace quorvel::picturegen {

QImage qrModules(const QByteArray& content)
{
    // Version 0 lets the encoder pick the smallest symbol that holds the text.
    const std::unique_ptr<QRcode, decltype(&QRcode_free)> code(
        QRcode_encodeString(content.constData(), 0, QR_ECLEVEL_M, QR_MODE_8, 1), &QRcode_free);
    if (!code)
        throw std::runtime_error("the QR code could not be encoded");

    QImage modules(code->width, code->width, QImage::Format_RGB32);
    for (int y = 0; y < code->width; ++y)
        for (int x = 0; x < code->width; ++x) {
            // The lowest bit of each module byte says dark or light; the others are the
            // encoder's bookkeeping.
            const bool dark = code->data[y * code->width + x] & 1;
            modules.setPixel(x, y, dark ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
        }
    return modules;
}

} // namespace quorvel::picturegen
