#pragma once

// Writes pcap and pcapng files by hand, frame by frame, in any link type and byte order, so
// that the capture reader meets exactly the bytes a test wants.

#include <QByteArray>
#include <QtEndian>

#include <cstdint>

namespace quorvel::test {

struct Segment {
    uint32_t from = 0x0A000001; // 10.0.0.1, the timing server
    uint16_t fromPort = 3335;
    uint32_t to = 0x0A000002; // 10.0.0.2, the overlay
    uint16_t toPort = 50000;
    uint32_t seq = 1000;
    uint8_t flags = 0x18; // PSH ACK
    QByteArray payload;
};

inline void put16(QByteArray& b, uint16_t v)
{
    b.append(char(v >> 8)).append(char(v & 0xFF));
}
inline void put32(QByteArray& b, uint32_t v)
{
    put16(b, uint16_t(v >> 16));
    put16(b, uint16_t(v & 0xFFFF));
}

// An IPv4 packet holding the TCP segment (checksums left at zero: nothing reads them).
inline QByteArray ipv4Packet(const Segment& s, int tcpOptions = 0)
{
    QByteArray tcp;
    put16(tcp, s.fromPort);
    put16(tcp, s.toPort);
    put32(tcp, s.seq);
    put32(tcp, 1);
    tcp.append(char(((20 + tcpOptions) / 4) << 4)).append(char(s.flags));
    put16(tcp, 65535);
    put32(tcp, 0);
    tcp.append(QByteArray(tcpOptions, char(1))); // NOPs
    tcp.append(s.payload);
    QByteArray ip;
    ip.append(char(0x45)).append(char(0));
    put16(ip, uint16_t(20 + tcp.size()));
    put32(ip, 0x00004000); // id 0, don't fragment
    ip.append(char(64)).append(char(6));
    put16(ip, 0);
    put32(ip, s.from);
    put32(ip, s.to);
    return ip + tcp;
}

enum class Link : uint32_t { Null = 0, Ethernet = 1, Raw = 101, Sll = 113, Sll2 = 276 };

inline QByteArray frame(Link link, const QByteArray& ip)
{
    QByteArray f;
    switch (link) {
    case Link::Null:
        f.append("\x02\x00\x00\x00", 4); // AF_INET, little-endian machine
        break;
    case Link::Ethernet:
        f.append(QByteArray(12, '\x11'));
        put16(f, 0x8100); // a VLAN tag before the IPv4 type
        put16(f, 7);
        put16(f, 0x0800);
        break;
    case Link::Sll:
        put16(f, 0);
        put16(f, 772);
        put16(f, 6);
        f.append(QByteArray(8, '\0'));
        put16(f, 0x0800);
        break;
    case Link::Sll2:
        put16(f, 0x0800);
        put16(f, 0);
        put32(f, 1);
        put16(f, 772);
        f.append(char(0)).append(char(6)).append(QByteArray(8, '\0'));
        break;
    case Link::Raw: break;
    }
    f.append(ip);
    if (link == Link::Ethernet && f.size() < 60)
        f.append(QByteArray(60 - f.size(), '\0')); // Ethernet pads short frames
    return f;
}

class PcapBuilder {
public:
    explicit PcapBuilder(Link link, bool bigEndian = false, bool nano = false)
        : m_big(bigEndian)
        , m_nano(nano)
    {
        u32(nano ? 0xA1B23C4D : 0xA1B2C3D4);
        u16(2);
        u16(4);
        u32(0);
        u32(0);
        u32(262144);
        u32(static_cast<uint32_t>(link));
        m_link = link;
    }
    // A frame at `timeUs` microseconds after 1 000 000 000 s.
    PcapBuilder& add(int64_t timeUs, const QByteArray& frameBytes, int cutTo = -1)
    {
        const QByteArray kept = cutTo < 0 ? frameBytes : frameBytes.left(cutTo);
        u32(uint32_t(1000000000 + timeUs / 1000000));
        u32(uint32_t(m_nano ? (timeUs % 1000000) * 1000 : timeUs % 1000000));
        u32(uint32_t(kept.size()));
        u32(uint32_t(frameBytes.size()));
        m_bytes.append(kept);
        return *this;
    }
    PcapBuilder& segment(int64_t timeUs, const Segment& s) { return add(timeUs, frame(m_link, ipv4Packet(s))); }
    const QByteArray& bytes() const { return m_bytes; }

private:
    void u16(uint16_t v)
    {
        uchar b[2];
        m_big ? qToBigEndian(v, b) : qToLittleEndian(v, b);
        m_bytes.append(reinterpret_cast<char*>(b), 2);
    }
    void u32(uint32_t v)
    {
        uchar b[4];
        m_big ? qToBigEndian(v, b) : qToLittleEndian(v, b);
        m_bytes.append(reinterpret_cast<char*>(b), 4);
    }
    bool m_big;
    bool m_nano;
    Link m_link = Link::Raw;
    QByteArray m_bytes;
};

// The same frames in pcapng, as Wireshark writes them: a section header, one interface
// (microsecond time stamps, the default) and an enhanced packet block a frame.
class PcapngBuilder {
public:
    explicit PcapngBuilder(Link link)
        : m_link(link)
    {
        QByteArray section;
        u32(section, 0x1A2B3C4D); // byte-order magic
        u16(section, 1);
        u16(section, 0);
        u32(section, 0xFFFFFFFF); // section length unknown (64 bits)
        u32(section, 0xFFFFFFFF);
        block(0x0A0D0D0A, section);
        QByteArray interface;
        u16(interface, static_cast<uint16_t>(link));
        u16(interface, 0);
        u32(interface, 262144);
        block(1, interface);
    }
    PcapngBuilder& add(int64_t timeUs, const QByteArray& frameBytes)
    {
        const uint64_t stamp = uint64_t(1000000000) * 1000000 + uint64_t(timeUs);
        QByteArray packet;
        u32(packet, 0);
        u32(packet, uint32_t(stamp >> 32));
        u32(packet, uint32_t(stamp & 0xFFFFFFFF));
        u32(packet, uint32_t(frameBytes.size()));
        u32(packet, uint32_t(frameBytes.size()));
        packet.append(frameBytes);
        packet.append(QByteArray((4 - frameBytes.size() % 4) % 4, '\0'));
        block(6, packet);
        return *this;
    }
    PcapngBuilder& segment(int64_t timeUs, const Segment& s) { return add(timeUs, frame(m_link, ipv4Packet(s))); }
    const QByteArray& bytes() const { return m_bytes; }

private:
    static void u16(QByteArray& b, uint16_t v)
    {
        uchar le[2];
        qToLittleEndian(v, le);
        b.append(reinterpret_cast<char*>(le), 2);
    }
    static void u32(QByteArray& b, uint32_t v)
    {
        uchar le[4];
        qToLittleEndian(v, le);
        b.append(reinterpret_cast<char*>(le), 4);
    }
    void block(uint32_t type, const QByteArray& body)
    {
        const auto length = uint32_t(12 + body.size());
        u32(m_bytes, type);
        u32(m_bytes, length);
        m_bytes.append(body);
        u32(m_bytes, length);
    }
    Link m_link;
    QByteArray m_bytes;
};

} // namespace quorvel::test
