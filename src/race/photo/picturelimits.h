#pragma once

#include <QtGlobal>

namespace quorvel::race {

// The largest picture any decoder accepts: 32 megapixels (8192 x 4096), 128 MB at 4
// bytes a pixel. A file claiming more is refused from its header, before anything is
// allocated, so a hostile or damaged photo cannot take the memory of the whole program.
// Two photos of this size take the lights-off view about half a second on the 2-core
// machine; at 64 megapixels it took a second, the whole of what the view may cost, and
// camera photos of 12 to 24 megapixels stay well inside.
inline constexpr qint64 kMaxPicturePixels = qint64(32) * 1024 * 1024;

inline bool withinPictureLimit(qint64 width, qint64 height)
{
    return width > 0 && height > 0 && width <= kMaxPicturePixels && height <= kMaxPicturePixels
        && width * height <= kMaxPicturePixels;
}

} // namespace quorvel::race
