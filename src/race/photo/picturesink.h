#pragma once

#include <QImage>

namespace quorvel::race {

// An image element that shows a pilot photo (fotoPilotoA, fotoPilotoB).
class PictureSink {
public:
    virtual ~PictureSink() = default;
    virtual void setPicture(const QImage& picture) = 0;
    virtual void clearPicture() = 0;
    // The box the element shrinks a picture into, keeping its ratio; empty when it draws
    // a picture otherwise (at its own size, stretched, keyed). The decoders then do only
    // the work the drawn size needs.
    virtual QSize fitBox() const { return {}; }
};

} // namespace quorvel::race
