#pragma once

#include "tcpsegment.h"

#include <QByteArray>

#include <map>
#include <tuple>
#include <vector>

namespace quorvel::sim {

// Bytes that became part of a connection's stream, at the time they did.
struct StreamPiece {
    qint64 timeUs = 0;
    QByteArray bytes;
};

// Rebuilds what one side of TCP connections sent, from the segments a capture saw, in
// the order the receiver got the bytes: by sequence number, retransmitted bytes once,
// segments that arrive ahead of a gap held until the gap is filled. Each connection is
// told apart by its addresses and ports; a SYN starts a connection afresh.
class StreamAssembly {
public:
    // Takes the segments sent from `sourcePort` (the timing server's side).
    explicit StreamAssembly(quint16 sourcePort);

    // Feeds one captured segment; segments of the other side are ignored.
    void add(qint64 timeUs, const TcpSegment& segment);
    // Ends the capture: bytes still held behind a gap (lost from the capture, not from the
    // connection) come out in sequence order, at the time of the capture's last segment.
    void finish();

    // Every piece of every connection in the order it came out.
    const std::vector<StreamPiece>& pieces() const { return m_pieces; }
    // Bytes that the capture never saw though later bytes came (a gap at finish()).
    qint64 missingBytes() const { return m_missing; }
    // Segments that held only bytes already received.
    int retransmissions() const { return m_retransmissions; }

private:
    struct Held {
        quint32 sequence;
        QByteArray bytes;
    };
    struct Flow {
        bool started = false;
        quint32 next = 0; // sequence number of the next byte due
        std::vector<Held> held;
    };
    using FlowKey = std::tuple<quint32, quint16, quint32, quint16>;

    void take(Flow& flow, qint64 timeUs, quint32 sequence, QByteArray bytes);
    void releaseHeld(Flow& flow, qint64 timeUs);
    void emitPiece(qint64 timeUs, const QByteArray& bytes);

    quint16 m_sourcePort;
    std::map<FlowKey, Flow> m_flows;
    std::vector<StreamPiece> m_pieces;
    qint64 m_lastTimeUs = 0;
    qint64 m_missing = 0;
    int m_retransmissions = 0;
};

} // namespace quorvel::sim
