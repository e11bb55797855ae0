#include "capturescript.h"

#include "base/failure.h"
#include "capturefile.h"
#include "escapes.h"
#include "streamassembly.h"
#include "tcpsegment.h"

#include <QDateTime>

#include <cmath>

namespace quorvel::sim {

namespace {

// Milliseconds from the start, rounded once per step so the delays never drift from the
// capture's clock, however many steps there are.
qint64 msSince(qint64 startUs, qint64 timeUs)
{
    return static_cast<qint64>(std::llround(static_cast<double>(timeUs - startUs) / 1000.0));
}

Text heading(const QString& sourceName, const CaptureConversion& c, qint64 firstUs, quint16 serverPort)
{
    const QString started = QDateTime::fromMSecsSinceEpoch(firstUs / 1000).toString(Qt::ISODate);
    Text out;
    out += "# Replay of " + sourceName.toLocal8Bit() + " (what the timing server on port " + Text::number(serverPort) +
        " sent, captured from " + started.toLatin1() + ").\n";
    out += format("# %d steps, %lld bytes, %lld ms. Each step is one TCP segment, after its delay in\n", c.steps,
                  static_cast<long long>(c.bytes), static_cast<long long>(c.durationMs));
    out += "# milliseconds from the previous one; play faster with quorvel-sim --speed N.\n";
    if (c.retransmissions > 0)
        out += format("# %d retransmitted segments left out.\n", c.retransmissions);
    if (c.missingBytes > 0)
        out += format("# %lld bytes were not in the capture: the bytes after them come out as they were.\n",
                      static_cast<long long>(c.missingBytes));
    out += "!wait-connection\n";
    return out;
}

} // namespace

CaptureConversion scriptFromCapture(const QByteArray& pcap, quint16 serverPort, const QString& sourceName)
{
    const Capture capture = readCapture(pcap);
    StreamAssembly assembly(serverPort);
    for (const CapturedFrame& frame : capture.frames) {
        if (const auto segment = decodeTcpSegment(capture.linkType, frame.bytes))
            assembly.add(frame.timeUs, *segment);
    }
    assembly.finish();

    CaptureConversion result;
    result.retransmissions = assembly.retransmissions();
    result.missingBytes = assembly.missingBytes();
    result.truncatedAtEnd = capture.truncatedAtEnd;
    const auto& pieces = assembly.pieces();
    if (pieces.empty())
        throw Failure(format("the capture holds nothing sent from port %u", serverPort));

    const qint64 firstUs = pieces.front().timeUs;
    Text steps;
    qint64 previousMs = 0;
    for (const StreamPiece& piece : pieces) {
        const qint64 atMs = msSince(firstUs, piece.timeUs);
        steps += Text::number(atMs - previousMs) + ' ' + escapeScriptText(piece.bytes) + '\n';
        previousMs = atMs;
        result.bytes += piece.bytes.size();
    }
    result.steps = static_cast<int>(pieces.size());
    result.durationMs = previousMs;
    result.script = heading(sourceName, result, firstUs, serverPort) + steps;
    return result;
}

} // namespace quorvel::sim
