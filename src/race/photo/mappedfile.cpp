#include "race/photo/mappedfile.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvel::race {

MappedFile::MappedFile(const QString& path)
{
    // Not blocking: a FIFO in the folder must not hang the program on open.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        m_error = errno;
        return;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        m_error = errno;
    } else if (S_ISDIR(info.st_mode)) {
        m_error = EISDIR;
    } else if (!S_ISREG(info.st_mode)) {
        m_error = ENODEV;
    } else if (info.st_size > 0) {
        void* data = ::mmap(nullptr, size_t(info.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
        if (data == MAP_FAILED) {
            m_error = errno;
        } else {
            m_data = data;
            m_size = qsizetype(info.st_size);
        }
    }
    ::close(fd);
}

MappedFile::~MappedFile()
{
    if (m_data)
        ::munmap(m_data, size_t(m_size));
}

QByteArray MappedFile::bytes() const
{
    return QByteArray::fromRawData(static_cast<const char*>(m_data), m_size);
}

} // namespace quorvel::race
