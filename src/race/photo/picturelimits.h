#pragma once

#include <QtGlobal>

namespace quorvel::race {

// The largest picture any decoder makes: 32 megapixels (8192 x 4096), 128 MB at 4 bytes
// a pixel. A file that would decode larger is refused from its header, before anything
// is allocated, so a hostile or damaged photo cannot take the memory of the whole
// program. A JPEG counts at the scale it is decoded at, so camera photos far beyond this
// show in a box of a few hundred pixels (see kMaxJpegSourcePixels).
inline constexpr qint64 kMaxPicturePixels = qint64(32) * 1024 * 1024;

// The largest JPEG accepted, whatever its scale: about 200 megapixels, beyond the
// largest camera and phone photos. Its entropy-coded data is read whole at every scale,
// which bounds the time a photo may take.
inline constexpr qint64 kMaxJpegSourcePixels = qint64(192) * 1024 * 1024;

inline bool withinPictureLimit(qint64 width, qint64 height)
{
    return width > 0 && height > 0 && width <= kMaxPicturePixels && height <= kMaxPicturePixels &&
        width * height <= kMaxPicturePixels;
}

} // namespace quorvel::race
