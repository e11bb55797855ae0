#pragma once

#include <QImage>

namespace quorvel::race {

// A new picture for a decoder to fill. A large one (4 MB or more) gets anonymous memory
// of its own, aligned to 2 MB and offered to the system for huge pages: a camera photo
// then takes a few dozen page faults instead of thousands, which in 4 KB pages cost about
// a quarter of its decoding time. Null when the memory cannot be had.
QImage newPicture(int width, int height, QImage::Format format);

} // namespace quorvel::race
