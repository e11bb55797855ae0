// The simulator reads a journal as a script and plays a stretch of it by the times of day.

#include "base/failure.h"
#include "script.h"

#include <gtest/gtest.h>

using namespace quorvel;
using namespace quorvel::sim;

namespace {

const Text kJournal =
    "# quorvel journal of 2026-12-11\n"
    "[09:59:58.000 100] 0 !mark started\n"
    "[10:00:00.000 2100] 2000 !wait-connection\n"
    "[10:00:00.500 2600] 500 Nova:\n"
    "[10:05:00.000 302100] 299500 RA:0.412\n"
    "[10:05:00.250 302350] 250 !mark the connection broke\n"
    "[10:05:00.250 302350] 0 !reset\n"
    "[10:10:00.000 602100] 299750 !wait-connection\n"
    "[10:10:01.000 603100] 1000 RB:0.399\n"
    "[10:15:00.000 902100] 298900 Nova:\n";

std::vector<Text> describe(const std::vector<Step>& steps)
{
    std::vector<Text> out;
    for (const Step& s : steps)
        out.push_back(format("%d %d ", static_cast<int>(s.kind), s.delayMs) + s.text);
    return out;
}

Text step(Step::Kind kind, int delayMs, const Text& text = {})
{
    return format("%d %d ", static_cast<int>(kind), delayMs) + text;
}

} // namespace

TEST(JournalReplay, AStretchWaitsForAnOverlayThenPlaysFromItsFirstStep)
{
    const std::vector<Step> steps = parseScript(kJournal);
    ASSERT_EQ(steps.size(), 9u);
    EXPECT_EQ(steps[0].kind, Step::Kind::Mark);
    EXPECT_EQ(steps[3].timeOfDayMs, 10 * 3600 * 1000 + 5 * 60 * 1000);
    EXPECT_EQ(steps[3].monotonicMs, 302100);

    using K = Step::Kind;
    const struct {
        const char* from;
        const char* to;
        std::vector<Text> expected;
    } cases[] = {
        {"10:05",
         "10:10",
         {step(K::WaitConnection, 0), step(K::Send, 0, "RA:0.412"), step(K::Mark, 250, "the connection broke"),
          step(K::Reset, 0)}},
        {"10:05:00.100",
         nullptr,
         {step(K::WaitConnection, 0), step(K::Mark, 0, "the connection broke"), step(K::Reset, 0),
          step(K::WaitConnection, 299750), step(K::Send, 1000, "RB:0.399"), step(K::Send, 298900, "Nova:")}},
        {nullptr,
         "10:00:00.500",
         {step(K::WaitConnection, 0), step(K::Mark, 0, "started"), step(K::WaitConnection, 2000)}},
    };
    for (const auto& c : cases) {
        const qint64 from = c.from ? parseTimeOfDay(QString::fromLatin1(c.from)) : -1;
        const qint64 to = c.to ? parseTimeOfDay(QString::fromLatin1(c.to)) : -1;
        EXPECT_EQ(describe(selectStretch(steps, from, to)), c.expected)
            << (c.from ? c.from : "-") << " " << (c.to ? c.to : "-");
    }
    EXPECT_THROW(selectStretch(steps, parseTimeOfDay(QStringLiteral("11:00")), -1), Failure);
    EXPECT_THROW(selectStretch(steps, parseTimeOfDay(QStringLiteral("10:10")), parseTimeOfDay(QStringLiteral("10:05"))),
                 Failure);
    // A script without stamps has no times to choose by.
    EXPECT_THROW(selectStretch(parseScript("!wait-connection\n100 Nova:\n"), 0, -1), Failure);
}

TEST(JournalReplay, TimesOfDayAndStampsAreCheckedByTheLetter)
{
    EXPECT_EQ(parseTimeOfDay(QStringLiteral("14:05")), (14 * 60 + 5) * 60000LL);
    EXPECT_EQ(parseTimeOfDay(QStringLiteral("14:05:09")), ((14 * 60 + 5) * 60 + 9) * 1000LL);
    EXPECT_EQ(parseTimeOfDay(QStringLiteral("00:00:00.001")), 1);
    for (const char* bad : {"", "14", "4:05", "24:00", "14:60", "14:05:60", "14:05:09.1", "14:05:09,120", "now"})
        EXPECT_EQ(parseTimeOfDay(QString::fromLatin1(bad)), -1) << bad;

    for (const char* bad : {"[10:00:00.000] 0 Nova:\n", "[10:00:00.000 12x] 0 Nova:\n", "[25:00:00.000 1] 0 Nova:\n",
                            "[10:00:00.000 1]\n", "[10:00:00.000 1 0 Nova:\n"}) {
        try {
            parseScript(Text("# a journal\n") + bad);
            ADD_FAILURE() << "accepted " << bad;
        } catch (const Failure& f) {
            EXPECT_TRUE(f.message().startsWith("line 2:")) << f.message().constData();
        }
    }
    // A stamp does not change what the rest of the line means.
    const std::vector<Step> steps =
        parseScript("[10:00:00.000 5] 20  \\x21 leading blank\n[10:00:00.020 25] 0 !udp off\n");
    ASSERT_EQ(steps.size(), 2u);
    EXPECT_EQ(steps[0].text, Text(" ! leading blank"));
    EXPECT_EQ(steps[1].kind, Step::Kind::UdpOff);
}
