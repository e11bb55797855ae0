#include "capturefile.h"

#include "base/failure.h"
#include "tcpsegment.h"

#include <QScopeGuard>

#include <pcap/pcap.h>

#include <cstdio>
#include <cstring>

namespace quorvel::sim {

namespace {

// Shorter than this, the bytes cannot be a pcap file header (24) nor a pcapng section (28).
constexpr qsizetype kFileHeaderSize = 24;

// libpcap names a link by its DLT_ value; the frame decoder by the LINKTYPE_ value of the
// file, which differs only for raw IP.
quint32 linkTypeOf(int dlt)
{
    return dlt == DLT_RAW ? kLinkRaw : static_cast<quint32>(dlt);
}

} // namespace

Capture readCapture(const QByteArray& file)
{
    if (file.size() < kFileHeaderSize)
        throw Failure("not a packet capture: shorter than a pcap file header");

    // libpcap reads from a stream; the file is already in memory.
    FILE* stream = fmemopen(const_cast<char*>(file.constData()), static_cast<size_t>(file.size()), "rb");
    if (!stream)
        throw Failure(format("cannot read the capture: %s", std::strerror(errno)));
    char error[PCAP_ERRBUF_SIZE] = {};
    // Nanosecond precision keeps a nanosecond file's fractions; microsecond files are scaled.
    pcap_t* pcap = pcap_fopen_offline_with_tstamp_precision(stream, PCAP_TSTAMP_PRECISION_NANO, error);
    if (!pcap) {
        std::fclose(stream);
        throw Failure(format("not a pcap or pcapng capture (%s)", error));
    }
    const auto close = qScopeGuard([pcap] { pcap_close(pcap); }); // closes the stream too

    Capture capture;
    capture.linkType = linkTypeOf(pcap_datalink(pcap));
    pcap_pkthdr* header = nullptr;
    const u_char* data = nullptr;
    for (;;) {
        const int got = pcap_next_ex(pcap, &header, &data);
        if (got == PCAP_ERROR_BREAK)
            break;
        if (got == PCAP_ERROR) {
            // tcpdump stopped in the middle of writing a record
            const char* why = pcap_geterr(pcap);
            if (std::strstr(why, "truncated")) {
                capture.truncatedAtEnd = true;
                break;
            }
            throw Failure(
                format("damaged capture after %lld frames: %s", static_cast<long long>(capture.frames.size()), why));
        }
        CapturedFrame frame;
        frame.timeUs = static_cast<qint64>(header->ts.tv_sec) * 1000000 + header->ts.tv_usec / 1000;
        frame.bytes = QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(header->caplen));
        frame.wireLength = header->len;
        capture.frames.push_back(std::move(frame));
    }
    return capture;
}

} // namespace quorvel::sim
