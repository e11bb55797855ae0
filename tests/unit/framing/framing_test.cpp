#include "base/failure.h"
#include "base/timer.h"
#include "overlay/screen.h"
#include "race/readhandler.h"

#include <QCoreApplication>
#include <QTimer>

#include <gtest/gtest.h>

using quorvel::Failure;
using quorvel::Text;
using quorvel::TextList;
using quorvel::Timer;
using quorvel::overlay::El;
using quorvel::overlay::Screen;
using quorvel::race::RaceMessage;
using quorvel::race::ReadHandler;

namespace {

// What the screen and the timers looked like when a message was applied.
struct Applied {
    RaceMessage message;
    bool boardVisible;
    bool pageTimerRunning;
    TextList fieldsShown;
    quint64 memoCopies;
};

class Framing : public ::testing::Test {
protected:
    Framing()
    {
        framing.setApplyRaceMessage([this](const RaceMessage& m) {
            applied.push_back({m, screen.visible(El::pnlClass), tmrResult.enabled(), screen.element(El::ListBox2).items,
                               screen.memo(El::Memo1).appended});
            if (onApply)
                onApply(m);
        });
        framing.setPauseReads([this](bool paused) { pauses.append(paused); });
    }

    QList<RaceMessage> messages() const
    {
        QList<RaceMessage> out;
        for (const Applied& a : applied)
            out.append(a.message);
        return out;
    }
    // The board up and paging, the idle countdown stopped: what every item must undo.
    void showBoard()
    {
        screen.show(El::pnlClass);
        screen.hide(El::pnlTempos);
        tmrResult.start();
        tmrIntervalo.stop();
    }

    Screen screen;
    Timer tmrResult{"tmrResult", 5000};
    Timer tmrIntervalo{"tmrIntervalo", 60000};
    ReadHandler framing{screen, tmrResult, tmrIntervalo};
    std::vector<Applied> applied;
    std::function<void(const RaceMessage&)> onApply;
    QList<bool> pauses;
};

} // namespace

TEST_F(Framing, ChunksBecomeItemsFieldsAndMessages)
{
    struct Case {
        const char* name;
        QByteArray chunk;
        TextList items;
        QList<RaceMessage> messages;
        TextList lastFields;
    };
    const QList<Case> cases{
        {"empty chunk", "", {""}, {}, {""}},
        {"lone @", "@", {"", ""}, {}, {""}},
        {"trailing @", "RA:0.123@RB:0.456@", {"RA:0.123", "RB:0.456", ""}, {{"RA", "0.123"}, {"RB", "0.456"}}, {""}},
        {"double @", "PA:1.1@@PB:1.2", {"PA:1.1", "", "PB:1.2"}, {{"PA", "1.1"}, {"PB", "1.2"}}, {"PB", "1.2"}},
        {"three fields", "TPA:6.123:7.456", {"TPA:6.123:7.456"}, {{"TPA", "6.123"}}, {"TPA", "6.123", "7.456"}},
        {"no colon", "Alinhar", {"Alinhar"}, {}, {"Alinhar"}},
        {"empty value", "Alinhar:", {"Alinhar:"}, {{"Alinhar", ""}}, {"Alinhar", ""}},
        {"empty key", ":x", {":x"}, {{"", "x"}}, {"", "x"}},
        {"leading blank and lower case are kept",
         " GanhaA:@alinhar:",
         {" GanhaA:", "alinhar:"},
         {{" GanhaA", ""}, {"alinhar", ""}},
         {"alinhar", ""}},
        {"bytes unchanged",
         "pilA:Jo\xE3o\r\n",
         {"pilA:Jo\xE3o\r\n"},
         {{"pilA", "Jo\xE3o\r\n"}},
         {"pilA", "Jo\xE3o\r\n"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        applied.clear();
        const quint64 copiesBefore = screen.memo(El::Memo1).appended;
        framing.S_ClienteRead(c.chunk);
        EXPECT_EQ(screen.element(El::ListBox1).items, c.items);
        EXPECT_EQ(messages(), c.messages);
        EXPECT_EQ(screen.element(El::ListBox2).items, c.lastFields);
        EXPECT_EQ(screen.memo(El::Memo1).appended - copiesBefore, quint64(c.messages.size()));
    }
}

TEST_F(Framing, EveryItemTakesTheBoardDownAndRestartsTheIdleCountdown)
{
    for (const QByteArray& chunk : {QByteArray(""), QByteArray("@"), QByteArray("Alinhar")}) {
        SCOPED_TRACE(chunk.constData());
        showBoard();
        framing.S_ClienteRead(chunk);
        EXPECT_FALSE(screen.visible(El::pnlClass));
        EXPECT_TRUE(screen.visible(El::pnlTempos));
        EXPECT_FALSE(tmrResult.enabled());
        EXPECT_TRUE(tmrIntervalo.enabled());
        EXPECT_TRUE(applied.empty());
    }

    // Each item runs its steps again: an effect that brings the board back is undone by the
    // next item, before that item's own message.
    onApply = [this](const RaceMessage&) { showBoard(); };
    framing.S_ClienteRead("a:1@b:2@c:3");
    ASSERT_EQ(applied.size(), 3u);
    for (size_t i = 0; i < applied.size(); ++i) {
        EXPECT_FALSE(applied[i].boardVisible) << i;
        EXPECT_FALSE(applied[i].pageTimerRunning) << i;
    }
    EXPECT_EQ(applied[1].fieldsShown, (TextList{"b", "2"}));
    EXPECT_FALSE(tmrIntervalo.enabled()); // the last effect stopped it and no item followed
}

TEST_F(Framing, EachMessageCopiesTheWholeChunkToMemo1BeforeItsEffect)
{
    const QByteArray chunk = "RA:0.1@RB:0.2@PA:1.1@PB:1.2@FA:9.9";
    const quint64 before = screen.memo(El::Memo1).appended;
    framing.S_ClienteRead(chunk);
    ASSERT_EQ(applied.size(), 5u);
    for (size_t i = 0; i < applied.size(); ++i)
        EXPECT_EQ(applied[i].memoCopies - before, i + 1); // the copy goes in before the effect
    const auto& entries = screen.memo(El::Memo1).entries;
    ASSERT_GE(entries.size(), 5u);
    for (auto entry = entries.end() - 5; entry != entries.end(); ++entry) {
        EXPECT_EQ(entry->text, chunk);
        EXPECT_EQ(entry->text.constData(), entries.back().text.constData()) << "each copy shares the chunk's bytes";
    }
}

TEST_F(Framing, AMessageSplitOverTwoReadsIsLost)
{
    framing.S_ClienteRead("catA:Dragster@pil");
    framing.S_ClienteRead("A:Jose Silva");
    EXPECT_EQ(messages(), (QList<RaceMessage>{{"catA", "Dragster"}, {"A", "Jose Silva"}}));
}

TEST_F(Framing, WaitingEventsRunBeforeEachItem)
{
    QList<QByteArray> order;
    onApply = [&](const RaceMessage& m) {
        order.append("apply " + m.key);
        QTimer::singleShot(0, [&order, key = m.key] { order.append("event after " + key); });
    };
    framing.S_ClienteRead("a:1@b:2");
    QCoreApplication::processEvents();
    EXPECT_EQ(order, (QList<QByteArray>{"apply a", "event after a", "apply b", "event after b"}));
}

TEST_F(Framing, AnErrorEndsTheChunkAtItsItemAndTheNextChunkIsHandled)
{
    onApply = [](const RaceMessage& m) {
        if (m.key == "cod_pilotoA")
            throw Failure("'x' is not a valid integer value");
    };
    try {
        framing.S_ClienteRead("RA:0.1@cod_pilotoA:x@RB:0.2");
        FAIL() << "the error did not propagate";
    } catch (const Failure& e) {
        EXPECT_EQ(e.message(), "'x' is not a valid integer value");
    }
    EXPECT_EQ(messages(), (QList<RaceMessage>{{"RA", "0.1"}, {"cod_pilotoA", "x"}}));
    EXPECT_EQ(pauses, (QList<bool>{true, false})) << "reads resume after an error too";

    framing.S_ClienteRead("RB:0.3");
    EXPECT_EQ(messages().last(), (RaceMessage{"RB", "0.3"}));
    EXPECT_EQ(pauses, (QList<bool>{true, false, true, false}));
}

TEST_F(Framing, ReadsArePausedOnlyAroundTheOutermostChunk)
{
    // Without a pause bound to the link a read could nest; the pause must still pair up.
    bool nested = false;
    onApply = [&](const RaceMessage& m) {
        if (m.key == "outer" && !nested) {
            nested = true;
            framing.S_ClienteRead("inner:1");
        }
    };
    framing.S_ClienteRead("outer:1@last:1");
    EXPECT_EQ(messages(), (QList<RaceMessage>{{"outer", "1"}, {"inner", "1"}, {"last", "1"}}));
    EXPECT_EQ(pauses, (QList<bool>{true, false}));
    EXPECT_EQ(screen.element(El::ListBox1).items, (TextList{"inner:1"})) << "the list may show either chunk";
}

TEST_F(Framing, AMegabyteChunkOfFiftyThousandMessagesStaysBounded)
{
    QByteArray chunk;
    for (int i = 0; i < 50000; ++i)
        chunk += "k" + QByteArray::number(i % 10) + ":v" + QByteArray::number(i).rightJustified(16, '0') + '@';
    chunk.chop(1);
    ASSERT_GE(chunk.size(), 1000000);
    const quint64 before = screen.memo(El::Memo1).appended;
    framing.S_ClienteRead(chunk);
    EXPECT_EQ(applied.size(), 50000u);
    EXPECT_EQ(applied.back().message, (RaceMessage{"k9", "v0000000000049999"}));
    const auto& memo = screen.memo(El::Memo1);
    EXPECT_EQ(memo.appended - before, 50000u);
    // The memo holds few full copies however many messages the chunk had.
    EXPECT_LE(memo.byteCount, quorvel::overlay::MemoLines::kMaxBytes + chunk.size());
}
