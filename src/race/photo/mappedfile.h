#pragma once

#include <QByteArray>
#include <QString>

namespace quorvel::race {

// A file opened for reading and mapped into memory, so that a photo of any size is
// decoded without first copying it; the decoders touch only what they need.
class MappedFile {
public:
    explicit MappedFile(const QString& path);
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    // 0 when the file is open, else the system's error number.
    int error() const { return m_error; }
    // The file's bytes, valid while this object lives.
    QByteArray bytes() const;

private:
    int m_error = 0;
    void* m_data = nullptr;
    qsizetype m_size = 0;
};

} // namespace quorvel::race
