#pragma once

#include <QByteArray>

#include <vector>

namespace quorvel::sim {

// One frame of a packet capture, as tcpdump or Wireshark wrote it.
struct CapturedFrame {
    qint64 timeUs = 0; // capture time, microseconds since the epoch
    QByteArray bytes; // what was captured of the frame
    qint64 wireLength = 0; // the frame's length on the wire (more than bytes: cut by the snap length)
};

struct Capture {
    quint32 linkType = 0; // LINKTYPE_* of the file (pcapng: of its first interface)
    std::vector<CapturedFrame> frames;
    bool truncatedAtEnd = false; // the last record is cut short (tcpdump stopped mid-write)
};

// A capture file as libpcap reads it: classic pcap (tcpdump -w), microsecond or nanosecond
// time stamps, either byte order, or pcapng (Wireshark's default). Raises a Failure for
// anything else.
Capture readCapture(const QByteArray& file);

} // namespace quorvel::sim
