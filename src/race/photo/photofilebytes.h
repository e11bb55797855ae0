#pragma once

#include <QByteArray>
#include <QString>

namespace quorvel::race {

// A photo file read whole into memory. Decoding from a mapping of the file would die of
// SIGBUS when another process cut the file short meanwhile; a copy cannot change.
struct PhotoFileBytes {
    int error = 0; // the system's error number, 0 when the bytes are all there
    QByteArray bytes;
};

// The largest file read: an uncompressed bitmap of the largest picture any decoder takes,
// with room for its headers. A bigger file fails with EFBIG before anything is read.
extern const qint64 kMaxPhotoFileBytes;

PhotoFileBytes readPhotoFile(const QString& path);

} // namespace quorvel::race
