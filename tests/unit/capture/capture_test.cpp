// A capture of the overlay's connection turned into a race script: every link type tcpdump
// writes, both byte orders, and the TCP cases a day at the track brings (retransmissions,
// segments out of order, a reconnection, a capture started mid-connection).

#include "capturescript.h"
#include "pcapbuilder.h"
#include "script.h"

#include "base/failure.h"

#include <gtest/gtest.h>

using namespace quorvel;
using namespace quorvel::sim;
using namespace quorvel::test;

namespace {

struct Sent {
    int delayMs;
    QByteArray text;
    friend bool operator==(const Sent&, const Sent&) = default;
};

void PrintTo(const Sent& s, std::ostream* os)
{
    *os << s.delayMs << " \"" << s.text.toStdString() << '"';
}

// The script's steps as read back by the player: it must start by waiting for the overlay.
std::vector<Sent> replayOf(const QByteArray& pcap, quint16 port = 3335)
{
    const std::vector<Step> steps = parseScript(scriptFromCapture(pcap, port, QStringLiteral("t.pcap")).script);
    EXPECT_FALSE(steps.empty());
    EXPECT_EQ(steps.front().kind, Step::Kind::WaitConnection);
    std::vector<Sent> sent;
    for (size_t i = 1; i < steps.size(); ++i) {
        EXPECT_EQ(steps[i].kind, Step::Kind::Send) << "step " << i;
        sent.push_back({steps[i].delayMs, steps[i].text});
    }
    return sent;
}

Segment server(uint32_t seq, const QByteArray& payload, uint8_t flags = 0x18)
{
    Segment s;
    s.seq = seq;
    s.payload = payload;
    s.flags = flags;
    return s;
}

Segment overlay(uint32_t seq, const QByteArray& payload)
{
    Segment s;
    std::swap(s.from, s.to);
    std::swap(s.fromPort, s.toPort);
    s.seq = seq;
    s.payload = payload;
    return s;
}

struct LinkCase {
    const char* name;
    Link link;
    bool bigEndian;
    bool nano;
};

class EveryLinkType : public testing::TestWithParam<LinkCase> { };

TEST_P(EveryLinkType, ServerPayloadsBecomeStepsWithTheirDelays)
{
    const LinkCase c = GetParam();
    PcapBuilder pcap(c.link, c.bigEndian, c.nano);
    pcap.segment(0, server(999, {}, 0x12)) // SYN ACK: the stream starts at 1000
        .segment(200, overlay(5000, "Quorvel:Conectado")) // the overlay's side is left out
        .segment(1500000, server(1000, "Nova:@mostraTempo:"))
        .segment(2300400,
                 server(1018,
                        "pilA:Patr\xED"
                        "cia Mour\xE3o@apelidoA:Patty"))
        .segment(2300900, server(1053, "RA:0.412"));
    const std::vector<Sent> expected{
        {0, "Nova:@mostraTempo:"},
        {800,
         "pilA:Patr\xED"
         "cia Mour\xE3o@apelidoA:Patty"},
        {1, "RA:0.412"},
    };
    EXPECT_EQ(replayOf(pcap.bytes()), expected);
}

INSTANTIATE_TEST_SUITE_P(Capture, EveryLinkType,
                         testing::Values(LinkCase{"ethernet_vlan", Link::Ethernet, false, false},
                                         LinkCase{"linux_cooked", Link::Sll, false, false},
                                         LinkCase{"linux_cooked_v2", Link::Sll2, true, false},
                                         LinkCase{"raw_ip_nanoseconds", Link::Raw, false, true},
                                         LinkCase{"bsd_loopback_big_endian", Link::Null, true, true}),
                         [](const testing::TestParamInfo<LinkCase>& info) { return std::string(info.param.name); });

TEST(CaptureStream, RetransmittedBytesComeOutOnce)
{
    PcapBuilder pcap(Link::Sll2);
    pcap.segment(0, server(1000, "APS-HIGH:"))
        .segment(300000, server(1000, "APS-HIGH:")) // whole segment again
        .segment(400000, server(1009, "BPS-HIGH:"))
        .segment(500000, server(1004, "HIGH:BPS-HIGH:e_AA")); // overlaps: only "e_AA" is new
    const std::vector<Sent> expected{{0, "APS-HIGH:"}, {400, "BPS-HIGH:"}, {100, "e_AA"}};
    EXPECT_EQ(replayOf(pcap.bytes()), expected);
}

TEST(CaptureStream, SegmentsAheadOfAGapWaitUntilItIsFilled)
{
    PcapBuilder pcap(Link::Ethernet);
    pcap.segment(0, server(1000, "PA:1.654@"))
        .segment(100000, server(1018, "CA:4.981@")) // arrives before the segment it follows
        .segment(150000, server(1027, "CB:5.127@"))
        .segment(200000, server(1009, "PB:1.702@")); // fills the gap
    const std::vector<Sent> expected{{0, "PA:1.654@"}, {200, "PB:1.702@"}, {0, "CA:4.981@"}, {0, "CB:5.127@"}};
    EXPECT_EQ(replayOf(pcap.bytes()), expected);
}

TEST(CaptureStream, SequenceNumbersWrapAround)
{
    PcapBuilder pcap(Link::Raw);
    pcap.segment(0, server(0xFFFFFFFA, "123456"))
        .segment(1000, server(0x00000000, "789"))
        .segment(2000, server(0xFFFFFFFD, "456")); // a retransmission from before the wrap
    const std::vector<Sent> expected{{0, "123456"}, {1, "789"}};
    EXPECT_EQ(replayOf(pcap.bytes()), expected);
}

TEST(CaptureStream, AReconnectionStartsItsOwnStream)
{
    PcapBuilder pcap(Link::Sll);
    pcap.segment(0, server(1000, "Nova:"))
        .segment(1000000, server(1005, {}, 0x11)) // FIN from the server
        .segment(5000000, server(70000, {}, 0x12)) // a new connection on the same ports
        .segment(5500000, server(70001, "Alinhar:"));
    const std::vector<Sent> expected{{0, "Nova:"}, {5500, "Alinhar:"}};
    EXPECT_EQ(replayOf(pcap.bytes()), expected);
}

TEST(CaptureStream, ACaptureStartedMidConnectionBeginsAtItsFirstSegment)
{
    PcapBuilder pcap(Link::Raw);
    pcap.segment(0, server(123456, "TPA:7.345")).segment(50000, server(123456 + 9, "@VA:162.4"));
    const std::vector<Sent> expected{{0, "TPA:7.345"}, {50, "@VA:162.4"}};
    EXPECT_EQ(replayOf(pcap.bytes()), expected);
}

TEST(CaptureStream, TwoOverlaysKeepTheirOwnStreams)
{
    Segment second = server(9000, "RA:0.300");
    second.to = 0x0A000003;
    PcapBuilder pcap(Link::Raw);
    pcap.segment(0, server(1000, "RA:0.412")).segment(1000, second).segment(2000, server(1008, "@RB:0.389"));
    const std::vector<Sent> expected{{0, "RA:0.412"}, {1, "RA:0.300"}, {1, "@RB:0.389"}};
    EXPECT_EQ(replayOf(pcap.bytes()), expected);
}

TEST(CaptureStream, AGapNeverFilledStillGivesTheBytesAfterIt)
{
    PcapBuilder pcap(Link::Raw);
    pcap.segment(0, server(1000, "GanhaA:"))
        .segment(900000, server(1020, "posB:2")); // 13 bytes never captured before it
    const CaptureConversion c = scriptFromCapture(pcap.bytes(), 3335, QStringLiteral("t.pcap"));
    EXPECT_EQ(c.missingBytes, 13);
    EXPECT_EQ(c.steps, 2);
    EXPECT_TRUE(c.script.contains("GanhaA:\n") && c.script.contains(" posB:2\n"));
}

TEST(CaptureDelays, RoundedAgainstTheCaptureClockWithoutDrift)
{
    PcapBuilder pcap(Link::Raw);
    uint32_t seq = 1000;
    for (int i = 0; i < 1000; ++i) {
        pcap.segment(int64_t(i) * 1400, server(seq, "x")); // 1.4 ms apart
        ++seq;
    }
    const std::vector<Sent> got = replayOf(pcap.bytes());
    ASSERT_EQ(got.size(), 1000u);
    int total = 0;
    for (const Sent& s : got) {
        EXPECT_TRUE(s.delayMs == 1 || s.delayMs == 2 || (&s == &got.front() && s.delayMs == 0));
        total += s.delayMs;
    }
    EXPECT_EQ(total, 1399); // 999 x 1.4 ms, rounded once
}

TEST(CaptureFile, TheServerPortCanBeChosen)
{
    Segment s = server(1000, "Largada:");
    s.fromPort = 4444;
    PcapBuilder pcap(Link::Raw);
    pcap.segment(0, s).segment(10, server(1000, "Nova:"));
    const std::vector<Sent> expected{{0, "Largada:"}};
    EXPECT_EQ(replayOf(pcap.bytes(), 4444), expected);
}

TEST(CaptureFile, ALastRecordCutShortIsLeftOut)
{
    PcapBuilder pcap(Link::Raw);
    pcap.segment(0, server(1000, "Nova:")).segment(1000, server(1005, "Alinhar:"));
    const QByteArray cut = pcap.bytes().left(pcap.bytes().size() - 3);
    const CaptureConversion c = scriptFromCapture(cut, 3335, QStringLiteral("t.pcap"));
    EXPECT_TRUE(c.truncatedAtEnd);
    EXPECT_EQ(c.steps, 1);
}

TEST(CaptureFile, APcapngCaptureGivesTheStepsOfThePcapOne)
{
    for (const Link link : {Link::Ethernet, Link::Sll2, Link::Raw}) {
        PcapBuilder pcap(link);
        PcapngBuilder pcapng(link);
        const Segment first = server(1000, "Alinhar:");
        const Segment second = server(1008, "RA:0.412@RB:0.389"); // odd length: the block is padded
        pcap.segment(0, first).segment(1400, second);
        pcapng.segment(0, first).segment(1400, second);
        const std::vector<Sent> expected{{0, "Alinhar:"}, {1, "RA:0.412@RB:0.389"}};
        EXPECT_EQ(replayOf(pcap.bytes()), expected) << "pcap, link type " << int(link);
        EXPECT_EQ(replayOf(pcapng.bytes()), expected) << "pcapng, link type " << int(link);
    }
}

TEST(CaptureFile, Refusals)
{
    const auto failureOf = [](const QByteArray& bytes) -> std::string {
        try {
            scriptFromCapture(bytes, 3335, QStringLiteral("t.pcap"));
        } catch (const Failure& f) {
            return f.message().toStdString();
        }
        return "no failure";
    };
    PcapBuilder snapped(Link::Raw);
    snapped.add(0,
                frame(Link::Raw,
                      ipv4Packet(server(1000,
                                        "pilA:Maria Gon\xE7"
                                        "alves"))),
                45);
    PcapBuilder otherLink(Link::Raw);
    otherLink.segment(0, server(1, "x"));
    QByteArray wifi = otherLink.bytes();
    wifi[20] = char(105); // IEEE 802.11
    PcapBuilder silent(Link::Raw);
    silent.segment(0, overlay(1, "Quorvel:Conectado"));

    EXPECT_NE(failureOf("GET / HTTP/1.1\r\nHost: x\r\n\r\n").find("not a pcap"), std::string::npos);
    EXPECT_NE(failureOf("tiny").find("shorter"), std::string::npos);
    EXPECT_NE(failureOf(snapped.bytes()).find("snap length"), std::string::npos);
    EXPECT_NE(failureOf(wifi).find("link type 105"), std::string::npos);
    EXPECT_NE(failureOf(silent.bytes()).find("nothing sent from port 3335"), std::string::npos);
}

} // namespace
