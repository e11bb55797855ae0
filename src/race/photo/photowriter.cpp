#include "race/photo/photowriter.h"

#include "race/photo/photoerrors.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace quorvel::race {

void writePhotoFile(const QString& path, const QByteArray& bytes)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        throw cannotCreateFile(path, systemReason(errno));
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            const int error = written < 0 ? errno : EIO;
            ::close(fd);
            throw cannotCreateFile(path, systemReason(error));
        }
        data += written;
        left -= written;
    }
    if (::close(fd) != 0)
        throw cannotCreateFile(path, systemReason(errno));
}

} // namespace quorvel::race
