#pragma once

#include <QImage>

namespace quorvel::race {

// An image element that shows a pilot photo (fotoPilotoA, fotoPilotoB).
class PictureSink {
public:
    virtual ~PictureSink() = default;
    virtual void setPicture(const QImage& picture) = 0;
    virtual void clearPicture() = 0;
};

} // namespace quorvel::race
