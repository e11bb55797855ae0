#pragma once

#include "race/photo/invalidpicture.h"

#include <QByteArrayView>
#include <QtGlobal>

namespace quorvel::race {

// Little-endian reads that never step outside the bytes: every file format here comes
// from disk and may be cut short or lie about its own sizes.
class ByteReader {
public:
    explicit ByteReader(QByteArrayView bytes, qsizetype position = 0)
        : m_bytes(bytes)
        , m_position(position)
    {
        require(position >= 0 && position <= bytes.size());
    }

    qsizetype position() const { return m_position; }
    qsizetype remaining() const { return m_bytes.size() - m_position; }
    QByteArrayView bytes() const { return m_bytes; }

    void seek(qsizetype position)
    {
        require(position >= 0 && position <= m_bytes.size());
        m_position = position;
    }
    void skip(qsizetype count)
    {
        require(count >= 0 && count <= remaining());
        m_position += count;
    }

    quint8 u8() { return static_cast<quint8>(take(1)[0]); }
    quint16 u16()
    {
        const uchar* p = take(2);
        return quint16(p[0] | (p[1] << 8));
    }
    qint16 i16() { return static_cast<qint16>(u16()); }
    quint32 u32()
    {
        const uchar* p = take(4);
        return quint32(p[0]) | (quint32(p[1]) << 8) | (quint32(p[2]) << 16) | (quint32(p[3]) << 24);
    }
    qint32 i32() { return static_cast<qint32>(u32()); }

    // The next `count` bytes, checked to be there.
    QByteArrayView view(qsizetype count)
    {
        require(count >= 0 && count <= remaining());
        const QByteArrayView out = m_bytes.sliced(m_position, count);
        m_position += count;
        return out;
    }

private:
    const uchar* take(qsizetype count)
    {
        require(count <= remaining());
        const auto* p = reinterpret_cast<const uchar*>(m_bytes.data()) + m_position;
        m_position += count;
        return p;
    }

    QByteArrayView m_bytes;
    qsizetype m_position;
};

} // namespace quorvel::race
