#include "tcpsegment.h"

#include "base/failure.h"

#include <QtEndian>

namespace quorvel::sim {

namespace {

constexpr quint16 kEtherTypeIpv4 = 0x0800;
constexpr quint16 kEtherTypeVlan = 0x8100;
constexpr quint16 kEtherTypeQinQ = 0x88A8;
constexpr quint8 kProtocolTcp = 6;
constexpr quint32 kFamilyInet = 2;

quint16 be16(const QByteArray& b, qsizetype at)
{
    return qFromBigEndian<quint16>(reinterpret_cast<const uchar*>(b.constData()) + at);
}

quint32 be32(const QByteArray& b, qsizetype at)
{
    return qFromBigEndian<quint32>(reinterpret_cast<const uchar*>(b.constData()) + at);
}

// Where the IPv4 packet starts within the frame, or -1 when the frame carries none.
qsizetype ipv4Offset(quint32 linkType, const QByteArray& frame)
{
    switch (linkType) {
    case kLinkRaw: return 0;
    case kLinkNull: {
        if (frame.size() < 4)
            return -1;
        // The family is in the byte order of the machine that captured.
        const auto* p = reinterpret_cast<const uchar*>(frame.constData());
        const bool inet = qFromLittleEndian<quint32>(p) == kFamilyInet || qFromBigEndian<quint32>(p) == kFamilyInet;
        return inet ? 4 : -1;
    }
    case kLinkEthernet: {
        qsizetype typeAt = 12;
        if (frame.size() < typeAt + 2)
            return -1;
        while (be16(frame, typeAt) == kEtherTypeVlan || be16(frame, typeAt) == kEtherTypeQinQ) {
            typeAt += 4;
            if (frame.size() < typeAt + 2)
                return -1;
        }
        return be16(frame, typeAt) == kEtherTypeIpv4 ? typeAt + 2 : -1;
    }
    case kLinkLinuxSll: return frame.size() >= 16 && be16(frame, 14) == kEtherTypeIpv4 ? 16 : -1;
    case kLinkLinuxSll2: return frame.size() >= 20 && be16(frame, 0) == kEtherTypeIpv4 ? 20 : -1;
    default:
        throw Failure(
            format("link type %u is not read: capture with tcpdump on an Ethernet interface, "
                   "on \"any\" or on loopback",
                   linkType));
    }
}

} // namespace

std::optional<TcpSegment> decodeTcpSegment(quint32 linkType, const QByteArray& frame)
{
    const qsizetype ip = ipv4Offset(linkType, frame);
    if (ip < 0 || frame.size() < ip + 20)
        return std::nullopt;
    const auto version = static_cast<quint8>(frame[ip]) >> 4;
    const qsizetype ipHeader = (static_cast<quint8>(frame[ip]) & 0x0F) * 4;
    if (version != 4 || ipHeader < 20 || static_cast<quint8>(frame[ip + 9]) != kProtocolTcp)
        return std::nullopt;
    // A fragment holds only part of a segment; the overlay's short texts never fragment.
    const quint16 fragment = be16(frame, ip + 6);
    if ((fragment & 0x2000) != 0 || (fragment & 0x1FFF) != 0)
        return std::nullopt;
    // The IP total length, not the frame's end: Ethernet pads short frames.
    const qsizetype ipLength = be16(frame, ip + 2);
    const qsizetype tcp = ip + ipHeader;
    if (ipLength < ipHeader + 20 || frame.size() < tcp + 20)
        throw Failure("a TCP segment cut short by the capture's snap length: capture with -s 0");
    const qsizetype tcpHeader = (static_cast<quint8>(frame[tcp + 12]) >> 4) * 4;
    if (tcpHeader < 20 || ipLength < ipHeader + tcpHeader)
        return std::nullopt; // damaged header
    if (frame.size() < ip + ipLength)
        throw Failure("a TCP segment cut short by the capture's snap length: capture with -s 0");

    TcpSegment segment;
    segment.sourceAddress = be32(frame, ip + 12);
    segment.destinationAddress = be32(frame, ip + 16);
    segment.sourcePort = be16(frame, tcp);
    segment.destinationPort = be16(frame, tcp + 2);
    segment.sequence = be32(frame, tcp + 4);
    const auto flags = static_cast<quint8>(frame[tcp + 13]);
    segment.fin = (flags & 0x01) != 0;
    segment.syn = (flags & 0x02) != 0;
    segment.rst = (flags & 0x04) != 0;
    segment.payload = frame.mid(tcp + tcpHeader, ipLength - ipHeader - tcpHeader);
    return segment;
}

} // namespace quorvel::sim
