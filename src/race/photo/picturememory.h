#pragma once

#include <QImage>

namespace quorvel::race {

// A new picture for a decoder to fill. A large one gets its memory mapped with all its
// pages at once: a camera photo faulted in page by page costs about a quarter of its
// decoding time. Null when the memory cannot be had.
QImage newPicture(int width, int height, QImage::Format format);

} // namespace quorvel::race
