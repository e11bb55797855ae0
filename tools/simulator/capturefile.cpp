#include "capturefile.h"

#include "base/failure.h"

#include <QtEndian>

namespace quorvel::sim {

namespace {

constexpr quint32 kMagicMicro = 0xA1B2C3D4;
constexpr quint32 kMagicNano = 0xA1B23C4D;
constexpr quint32 kMagicPcapng = 0x0A0D0D0A;
constexpr int kFileHeaderSize = 24;
constexpr int kRecordHeaderSize = 16;
// Nothing a timing server sends comes near this; a larger record means a damaged file.
constexpr quint32 kMaxRecordSize = 16 * 1024 * 1024;

class FieldReader {
public:
    FieldReader(const QByteArray& bytes, bool bigEndian)
        : m_data(reinterpret_cast<const uchar*>(bytes.constData()))
        , m_bigEndian(bigEndian)
    {
    }
    quint32 u32(qsizetype at) const
    {
        return m_bigEndian ? qFromBigEndian<quint32>(m_data + at) : qFromLittleEndian<quint32>(m_data + at);
    }

private:
    const uchar* m_data;
    bool m_bigEndian;
};

} // namespace

Capture readCapture(const QByteArray& file)
{
    if (file.size() < kFileHeaderSize)
        throw Failure("not a packet capture: shorter than a pcap file header");
    const auto* head = reinterpret_cast<const uchar*>(file.constData());
    const quint32 asBig = qFromBigEndian<quint32>(head);
    const quint32 asLittle = qFromLittleEndian<quint32>(head);
    if (asBig == kMagicPcapng)
        throw Failure("a pcapng capture: write it as pcap first (tcpdump -r day.pcapng -w day.pcap)");
    bool bigEndian = false;
    quint32 magic = 0;
    if (asBig == kMagicMicro || asBig == kMagicNano) {
        bigEndian = true;
        magic = asBig;
    } else if (asLittle == kMagicMicro || asLittle == kMagicNano) {
        magic = asLittle;
    } else {
        throw Failure("not a pcap capture (unknown magic number)");
    }
    const FieldReader fields(file, bigEndian);
    const bool nano = magic == kMagicNano;

    Capture capture;
    capture.linkType = fields.u32(20) & 0x0FFFFFFF; // the upper bits carry FCS information
    qsizetype at = kFileHeaderSize;
    while (at < file.size()) {
        if (file.size() - at < kRecordHeaderSize) {
            capture.truncatedAtEnd = true;
            break;
        }
        const quint32 seconds = fields.u32(at);
        const quint32 fraction = fields.u32(at + 4);
        const quint32 included = fields.u32(at + 8);
        const quint32 original = fields.u32(at + 12);
        if (included > kMaxRecordSize)
            throw Failure(format("damaged capture: a record of %u bytes at offset %lld", included,
                                 static_cast<long long>(at)));
        if (file.size() - at - kRecordHeaderSize < static_cast<qsizetype>(included)) {
            capture.truncatedAtEnd = true;
            break;
        }
        CapturedFrame frame;
        frame.timeUs = static_cast<qint64>(seconds) * 1000000 + (nano ? fraction / 1000 : fraction);
        frame.bytes = file.mid(at + kRecordHeaderSize, included);
        frame.wireLength = original;
        capture.frames.push_back(std::move(frame));
        at += kRecordHeaderSize + included;
    }
    return capture;
}

} // namespace quorvel::sim
