#pragma once

#include "base/text.h"

#include <QString>

namespace quorvel::sim {

// What a conversion made, for the operator's report.
struct CaptureConversion {
    Text script;
    int steps = 0;
    qint64 bytes = 0;
    qint64 durationMs = 0;
    int retransmissions = 0;
    qint64 missingBytes = 0;
    bool truncatedAtEnd = false;
};

// Turns a pcap capture of the overlay's connection into a race script: every piece of
// what the timing server (the side on `serverPort`) sent becomes one step, with the
// capture's delay from the previous step, so that a replay sends the same bytes at the
// same pace. `sourceName` goes into the script's heading comment.
CaptureConversion scriptFromCapture(const QByteArray& pcap, quint16 serverPort, const QString& sourceName);

} // namespace quorvel::sim
