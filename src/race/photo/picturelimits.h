#pragma once

#include <QtGlobal>

namespace quorvel::race {

// The largest picture any decoder accepts: 64 megapixels, 256 MB at 4 bytes a pixel. A
// file claiming more is refused from its header, before anything is allocated, so a
// hostile or damaged photo cannot take the memory of the whole program.
inline constexpr qint64 kMaxPicturePixels = qint64(64) * 1024 * 1024;

inline bool withinPictureLimit(qint64 width, qint64 height)
{
    return width > 0 && height > 0 && width <= kMaxPicturePixels && height <= kMaxPicturePixels
        && width * height <= kMaxPicturePixels;
}

} // namespace quorvel::race
