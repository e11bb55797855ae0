#include "overlay/memolines.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

using namespace quorvel;
using namespace quorvel::overlay;

namespace {

TEST(MemoLines, CountsTheLinesATextShows)
{
    const struct {
        const char* text;
        qsizetype lines;
    } cases[] = {
        {"", 1},           {"abc", 1},   {"a\r\nb", 2}, {"a\rb", 2},   {"a\nb", 2},    {"a\n\rb", 3},
        {"a\r\n\r\nb", 3}, {"a\r\n", 2}, {"\r", 2},     {"\n\n\n", 4}, {"x\ry\nz", 3}, {"\r\r\n", 3},
    };
    for (const auto& c : cases)
        EXPECT_EQ(shownLineCount(c.text), c.lines) << QByteArray(c.text).toPercentEncoding().constData();
}

TEST(MemoLines, LastLinesSplitEntriesAtEveryKindOfBreak)
{
    MemoLines memo;
    appendToMemo(memo, "first");
    appendToMemo(memo, "a\r\nb\rc\nd");
    appendToMemo(memo, "e\r\n");
    EXPECT_EQ(memo.lineCount, 1 + 4 + 2);
    EXPECT_EQ(lastShownLines(memo, 3), (TextList{"d", "e", ""}));
    EXPECT_EQ(lastShownLines(memo, 100), (TextList{"first", "a", "b", "c", "d", "e", ""}));
    EXPECT_TRUE(lastShownLines(memo, 0).isEmpty());
}

TEST(MemoLines, DropsTheOldestEntriesBeyondTenThousandLines)
{
    MemoLines memo;
    for (int i = 0; i < 12000; ++i)
        appendToMemo(memo, QByteArray::number(i));
    EXPECT_EQ(memo.lineCount, 10000);
    EXPECT_EQ(memo.entries.size(), 10000u);
    EXPECT_EQ(memo.entries.front().text, Text("2000"));
    EXPECT_EQ(memo.appended, 12000u);

    // an entry of three lines pushes out as many one-line entries as it needs
    appendToMemo(memo, "x\ny\nz");
    EXPECT_EQ(memo.lineCount, 10000);
    EXPECT_EQ(memo.entries.front().text, Text("2003"));
    EXPECT_EQ(lastShownLines(memo, 4), (TextList{"11999", "x", "y", "z"}));
}

TEST(MemoLines, AChunkLargerThanTheCapKeepsItsTail)
{
    Text big;
    for (int i = 0; i < 20000; ++i)
        big += "line " + QByteArray::number(i) + "\r\n";
    big += "end";
    MemoLines memo;
    appendToMemo(memo, "before");
    appendToMemo(memo, big);
    ASSERT_EQ(memo.entries.size(), 1u);
    EXPECT_EQ(memo.lineCount, 10000);
    EXPECT_EQ(lastShownLines(memo, 2), (TextList{"line 19999", "end"}));
    EXPECT_EQ(lastShownLines(memo, 10000).front(), Text("line 10001"));

    const Text huge(5 * 1024 * 1024, 'x'); // one line over the byte cap
    appendToMemo(memo, huge);
    EXPECT_EQ(memo.byteCount, MemoLines::kMaxBytes);
    EXPECT_EQ(memo.entries.back().text.size(), MemoLines::kMaxBytes);
}

// Memo1 logs the whole received chunk once for each of its messages: a megabyte chunk
// of 50,000 messages must neither pile up copies nor be rescanned 50,000 times.
TEST(MemoLines, AMegabyteChunkAppendedFiftyThousandTimesStaysBoundedAndFast)
{
    Text manyLines; // more lines than the cap: only its tail is kept, once
    while (manyLines.size() < 1024 * 1024)
        manyLines += "tempo:12.345@velocidade:160.2@\r\n";
    Text oneLine(1024 * 1024, 'x'); // copies up to the byte cap, sharing one buffer
    oneLine += "tempo:1@";

    for (const Text& chunk : {manyLines, oneLine}) {
        MemoLines memo;
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < 50000; ++i)
            appendToMemo(memo, chunk);
        const qint64 elapsedMs = clock.elapsed();

        EXPECT_EQ(memo.appended, 50000u);
        EXPECT_LE(memo.lineCount, MemoLines::kMaxLines);
        EXPECT_LE(memo.byteCount, MemoLines::kMaxBytes);
        // a megabyte and a message four times over passes 4 MB: three copies stay
        EXPECT_EQ(memo.entries.size(), chunk == oneLine ? 3u : 1u);
        // every kept entry is the one stored text
        const char* stored = memo.entries.back().text.constData();
        for (const auto& entry : memo.entries)
            EXPECT_EQ(entry.text.constData(), stored);
        if (chunk == oneLine) {
            EXPECT_EQ(stored, chunk.constData()); // not even copied once
        }
        // a rescan per append would read 50 GB; the cached count reads it once
        EXPECT_LT(elapsedMs, 5000);
    }
}

TEST(MemoLines, ADifferentTextOfTheSameSizeIsCountedAgain)
{
    MemoLines memo;
    appendToMemo(memo, "ab");
    appendToMemo(memo, "a\n");
    EXPECT_EQ(memo.lineCount, 3);
}

TEST(MemoLines, LinesBeforeAnyLineAcrossEntriesAndDroppedLinesKeepTheirNumbers)
{
    MemoLines memo;
    appendToMemo(memo, "first");
    appendToMemo(memo, "a\r\nb\rc");
    appendToMemo(memo, "d");
    const struct {
        qsizetype end;
        qsizetype count;
        TextList lines;
    } cases[] = {
        {5, 2, {"c", "d"}}, {4, 2, {"b", "c"}}, {3, 3, {"first", "a", "b"}}, {2, 5, {"first", "a"}},
        {1, 1, {"first"}},  {0, 3, {}},         {9, 2, {"c", "d"}}, // past the end: the end
    };
    for (const auto& c : cases)
        EXPECT_EQ(shownLinesBefore(memo, c.end, c.count), c.lines) << c.end << " " << c.count;

    // over the cap the oldest entries go, and their lines are counted as dropped
    MemoLines capped;
    for (int i = 0; i < MemoLines::kMaxLines + 5; ++i)
        appendToMemo(capped, "line " + QByteArray::number(i));
    EXPECT_EQ(capped.dropped, 5);
    EXPECT_EQ(capped.dropped + capped.lineCount, MemoLines::kMaxLines + 5);
    EXPECT_EQ(shownLinesBefore(capped, 1, 1), TextList{"line 5"});
}

} // namespace
