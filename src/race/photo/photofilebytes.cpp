#include "race/photo/photofilebytes.h"

#include "race/photo/picturelimits.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvel::race {

const qint64 kMaxPhotoFileBytes = kMaxPicturePixels * 4 + 1024 * 1024;

namespace {

class Descriptor {
public:
    explicit Descriptor(int fd)
        : m_fd(fd)
    {
    }
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd;
};

} // namespace

PhotoFileBytes readPhotoFile(const QString& path)
{
    PhotoFileBytes out;
    // Not blocking: a FIFO in the folder must not hang the program on open.
    const Descriptor file(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (file.fd() < 0) {
        out.error = errno;
        return out;
    }
    struct stat info { };
    if (::fstat(file.fd(), &info) != 0)
        out.error = errno;
    else if (S_ISDIR(info.st_mode))
        out.error = EISDIR;
    else if (!S_ISREG(info.st_mode))
        out.error = ENODEV;
    else if (info.st_size > kMaxPhotoFileBytes)
        out.error = EFBIG;
    if (out.error != 0)
        return out;
    // The size it had when opened: a file that shrinks meanwhile gives fewer bytes, which
    // its decoder then refuses; one that grows is read no further.
    out.bytes = QByteArray(qsizetype(info.st_size), Qt::Uninitialized);
    qsizetype done = 0;
    while (done < out.bytes.size()) {
        const ssize_t got = ::read(file.fd(), out.bytes.data() + done, size_t(out.bytes.size() - done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            out.error = errno;
            out.bytes.clear();
            return out;
        }
        if (got == 0)
            break;
        done += got;
    }
    out.bytes.truncate(done);
    return out;
}

} // namespace quorvel::race
