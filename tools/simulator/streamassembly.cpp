#include "streamassembly.h"

#include <algorithm>

namespace quorvel::sim {

namespace {

// Sequence numbers wrap at 2^32: compare by their signed distance.
qint32 distance(quint32 from, quint32 to)
{
    return static_cast<qint32>(to - from);
}

} // namespace

StreamAssembly::StreamAssembly(quint16 sourcePort)
    : m_sourcePort(sourcePort)
{
}

void StreamAssembly::add(qint64 timeUs, const TcpSegment& segment)
{
    if (segment.sourcePort != m_sourcePort)
        return;
    m_lastTimeUs = std::max(m_lastTimeUs, timeUs);
    Flow& flow =
        m_flows[{segment.sourceAddress, segment.sourcePort, segment.destinationAddress, segment.destinationPort}];
    quint32 dataSequence = segment.sequence;
    if (segment.syn) {
        // A new connection on the same ports: what the old one held back is lost with it.
        for (const Held& h : flow.held)
            m_missing += h.bytes.size();
        flow = Flow{};
        flow.started = true;
        flow.next = segment.sequence + 1;
        dataSequence = flow.next;
    }
    if (segment.payload.isEmpty())
        return;
    if (!flow.started) {
        // The capture began in the middle of the connection.
        flow.started = true;
        flow.next = dataSequence;
    }
    take(flow, timeUs, dataSequence, segment.payload);
}

void StreamAssembly::take(Flow& flow, qint64 timeUs, quint32 sequence, QByteArray bytes)
{
    const qint32 ahead = distance(flow.next, sequence);
    if (ahead > 0) {
        flow.held.push_back({sequence, std::move(bytes)});
        return;
    }
    // Starts at or before the next byte due: keep only what is new.
    const qsizetype already = -static_cast<qsizetype>(ahead);
    if (already >= bytes.size()) {
        ++m_retransmissions;
        return;
    }
    bytes.remove(0, already);
    flow.next += static_cast<quint32>(bytes.size());
    emitPiece(timeUs, bytes);
    releaseHeld(flow, timeUs);
}

void StreamAssembly::releaseHeld(Flow& flow, qint64 timeUs)
{
    for (bool moved = true; moved;) {
        moved = false;
        for (auto it = flow.held.begin(); it != flow.held.end(); ++it) {
            if (distance(flow.next, it->sequence) > 0)
                continue;
            Held held = std::move(*it);
            flow.held.erase(it);
            take(flow, timeUs, held.sequence, std::move(held.bytes));
            moved = true;
            break;
        }
    }
}

void StreamAssembly::emitPiece(qint64 timeUs, const QByteArray& bytes)
{
    m_pieces.push_back({timeUs, bytes});
}

void StreamAssembly::finish()
{
    for (auto& [key, flow] : m_flows) {
        while (!flow.held.empty()) {
            const auto first =
                std::min_element(flow.held.begin(), flow.held.end(), [&flow](const Held& a, const Held& b) {
                    return distance(flow.next, a.sequence) < distance(flow.next, b.sequence);
                });
            m_missing += distance(flow.next, first->sequence);
            flow.next = first->sequence;
            releaseHeld(flow, m_lastTimeUs);
        }
    }
}

} // namespace quorvel::sim
