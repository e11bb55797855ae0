#pragma once

#include <QByteArray>

#include <optional>

namespace quorvel::sim {

// The link types a capture of the overlay's connection comes in (pcap LINKTYPE_* values).
enum LinkType : quint32 {
    kLinkNull = 0, // BSD loopback: a 4-byte address family
    kLinkEthernet = 1,
    kLinkRaw = 101, // the IP packet alone
    kLinkLinuxSll = 113, // tcpdump -i any, older libpcap
    kLinkLinuxSll2 = 276, // tcpdump -i any, libpcap 1.10 and later
};

// One TCP segment of an IPv4 packet.
struct TcpSegment {
    quint32 sourceAddress = 0;
    quint32 destinationAddress = 0;
    quint16 sourcePort = 0;
    quint16 destinationPort = 0;
    quint32 sequence = 0;
    bool syn = false;
    bool fin = false;
    bool rst = false;
    QByteArray payload;
};

// The TCP segment a captured frame carries, or nothing for a frame of another kind (ARP,
// IPv6, UDP, an IP fragment). Raises a Failure for a link type it cannot read and for a
// segment whose payload the capture cut short (its snap length), since a replay of it
// would not send the bytes the overlay got.
std::optional<TcpSegment> decodeTcpSegment(quint32 linkType, const QByteArray& frame);

} // namespace quorvel::sim
