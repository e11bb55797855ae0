// The journal's day files: their lines, one file a day, the bound on the folder, the
// writer's queue, and what a folder that can no longer be written does to it.

#include "journal/journal.h"
#include "journal/journalfolder.h"
#include "script.h"
#include "threadmount.h"
#include "wait.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>

using namespace quorvel;
using namespace quorvel::journal;

namespace {

const QDate kDay(2026, 12, 11);

Entry at(const QDate& day, const QTime& time, qint64 monotonicMs, const Text& text,
         Entry::Kind kind = Entry::Kind::Chunk)
{
    return {kind, text, QDateTime(day, time).toMSecsSinceEpoch(), monotonicMs};
}

Entry directiveAt(const QDate& day, const QTime& time, qint64 monotonicMs, const Text& text)
{
    return at(day, time, monotonicMs, text, Entry::Kind::Directive);
}

Text readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : Text("<unreadable>");
}

void writeFile(const QString& path, const Text& content)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

class JournalFolderTest : public ::testing::Test {
protected:
    QString dayPath(const QDate& day) const { return QDir(dir.path()).filePath(dayFileName(day)); }

    QTemporaryDir dir;
};

} // namespace

// The file is a race script: the simulator reads back every chunk's bytes, its delay from
// the monotonic clock and its stamp, and the directives between them.
TEST_F(JournalFolderTest, TheDaysFileIsAScriptOfTheChunksAsReceived)
{
    const Text awkward[] = {
        "Nova:@mostraTempo:",
        "!close", // would be a directive
        "pilA:Patr\xED"
        "cia\r\n@\\x41 trailing ", // line ends, Windows-1252, a backslash, a blank at the end
        QByteArray("NUL\0inside", 10),
    };
    JournalFolder folder(dir.path(), 1 << 20);
    folder.write({directiveAt(kDay, QTime(14, 5, 0), 1000, "!mark started"),
                  directiveAt(kDay, QTime(14, 5, 8, 250), 9250, "!wait-connection")});
    folder.write({at(kDay, QTime(14, 5, 9, 120), 10120, awkward[0]), at(kDay, QTime(14, 5, 9, 470), 10470, awkward[1]),
                  at(kDay, QTime(14, 5, 12), 13000, awkward[2]), at(kDay, QTime(14, 5, 12), 13000, awkward[3])});
    EXPECT_TRUE(folder.takeReports().isEmpty());
    EXPECT_TRUE(folder.recording());

    const Text content = readAll(dayPath(kDay));
    EXPECT_EQ(folder.todayBytes(), content.size());
    EXPECT_TRUE(content.startsWith("# quorvel journal of 2026-12-11")) << content.constData();
    EXPECT_TRUE(content.contains("\n[14:05:09.120 10120] 870 Nova:@mostraTempo:\n")) << content.constData();
    EXPECT_TRUE(content.contains("\n[14:05:09.470 10470] 350 \\x21close\n")) << content.constData();

    const std::vector<sim::Step> steps = sim::parseScript(content);
    ASSERT_EQ(steps.size(), 6u);
    EXPECT_EQ(steps[0].kind, sim::Step::Kind::Mark);
    EXPECT_EQ(steps[0].text, Text("started"));
    EXPECT_EQ(steps[1].kind, sim::Step::Kind::WaitConnection);
    EXPECT_EQ(steps[1].delayMs, 8250);
    const int delays[] = {870, 350, 2530, 0};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(steps[2 + i].kind, sim::Step::Kind::Send);
        EXPECT_EQ(steps[2 + i].text, awkward[i]) << i;
        EXPECT_EQ(steps[2 + i].delayMs, delays[i]) << i;
    }
    EXPECT_EQ(steps[2].timeOfDayMs, ((14 * 60 + 5) * 60 + 9) * 1000 + 120);
    EXPECT_EQ(steps[2].monotonicMs, 10120);
}

// A new day starts a new file, which waits for a connection when the link is up; a new
// start continues the day's file, its first delay taken from the time of day.
TEST_F(JournalFolderTest, OneFileADayAndAStartContinuesTheDay)
{
    const QDate next = kDay.addDays(1);
    {
        JournalFolder folder(dir.path(), 1 << 20);
        folder.write({directiveAt(kDay, QTime(23, 59, 58), 500, "!wait-connection"),
                      at(kDay, QTime(23, 59, 59), 1500, "RA:0.412"), at(next, QTime(0, 0, 1), 3500, "RB:0.399")});
        EXPECT_TRUE(folder.takeReports().isEmpty());
    }
    const std::vector<sim::Step> first = sim::parseScript(readAll(dayPath(kDay)));
    ASSERT_EQ(first.size(), 2u);
    EXPECT_EQ(first[1].text, Text("RA:0.412"));
    std::vector<sim::Step> second = sim::parseScript(readAll(dayPath(next)));
    ASSERT_EQ(second.size(), 2u);
    EXPECT_EQ(second[0].kind, sim::Step::Kind::WaitConnection);
    EXPECT_EQ(second[1].text, Text("RB:0.399"));

    // The overlay starts again at 00:00:06.5; its monotonic clock means nothing to the file.
    JournalFolder again(dir.path(), 1 << 20);
    again.write({at(next, QTime(0, 0, 6, 500), 7, "Nova:")});
    second = sim::parseScript(readAll(dayPath(next)));
    ASSERT_EQ(second.size(), 3u);
    EXPECT_EQ(second[2].text, Text("Nova:"));
    EXPECT_EQ(second[2].delayMs, 5500);
}

// The day files together stay within the bound: the oldest day goes first, other files are
// left alone; today alone over the bound stops the journal until tomorrow, said once.
TEST_F(JournalFolderTest, TheFolderStaysWithinItsBoundOldestDayFirst)
{
    const Text old(400, 'x');
    writeFile(dayPath(kDay.addDays(-10)), old);
    writeFile(dayPath(kDay.addDays(-3)), old);
    writeFile(QDir(dir.path()).filePath(QStringLiteral("notes.txt")), Text(5000, 'n'));
    JournalFolder folder(dir.path(), 1200);

    folder.write({at(kDay, QTime(10, 0), 1, Text(200, 'a'))});
    EXPECT_TRUE(folder.takeReports().isEmpty());
    EXPECT_FALSE(QFile::exists(dayPath(kDay.addDays(-10))));
    EXPECT_TRUE(QFile::exists(dayPath(kDay.addDays(-3))));
    EXPECT_TRUE(QFile::exists(QDir(dir.path()).filePath(QStringLiteral("notes.txt"))));
    const Text written = readAll(dayPath(kDay));
    EXPECT_LE(written.size() + old.size(), 1200);

    folder.write({at(kDay, QTime(10, 1), 2, Text(300, 'b'))});
    EXPECT_FALSE(QFile::exists(dayPath(kDay.addDays(-3))));
    EXPECT_TRUE(folder.recording());

    folder.write({at(kDay, QTime(10, 2), 3, Text(900, 'c'))});
    const TextList reports = folder.takeReports();
    ASSERT_EQ(reports.size(), 1);
    EXPECT_TRUE(reports[0].contains("full")) << reports[0].constData();
    EXPECT_FALSE(folder.recording());
    const Text kept = readAll(dayPath(kDay));
    folder.write({at(kDay, QTime(10, 3), 4, "d")});
    EXPECT_TRUE(folder.takeReports().isEmpty());
    EXPECT_EQ(readAll(dayPath(kDay)), kept);

    // Tomorrow the journal records again, today's file going first when room is needed.
    folder.write({at(kDay.addDays(1), QTime(8, 0), 5, Text(400, 'e'))});
    EXPECT_TRUE(folder.recording());
    EXPECT_TRUE(folder.takeReports().isEmpty());
    EXPECT_FALSE(QFile::exists(dayPath(kDay)));
    EXPECT_TRUE(readAll(dayPath(kDay.addDays(1))).contains(Text(400, 'e')));
}

// A folder made read-only in the middle of the day: one report, nothing written before is
// touched, the journal stops for the day and records again the next.
TEST_F(JournalFolderTest, AFolderMadeReadOnlyMidDayStopsTheJournalWithOneReport)
{
    JournalFolder folder(dir.path(), 1 << 20);
    folder.write({at(kDay, QTime(11, 0), 1, "before")});
    const Text before = readAll(dayPath(kDay));
    {
        const ReadOnlyMount readOnly(dir.path());
        if (!readOnly.error().empty())
            GTEST_SKIP() << "no read-only mount here: " << readOnly.error();
        folder.write({at(kDay, QTime(11, 1), 2, "lost")});
        const TextList reports = folder.takeReports();
        ASSERT_EQ(reports.size(), 1);
        EXPECT_TRUE(reports[0].contains("cannot write")) << reports[0].constData();
        EXPECT_TRUE(reports[0].contains(dayFileName(kDay).toLatin1())) << reports[0].constData();
        EXPECT_FALSE(folder.recording());
        folder.write({at(kDay, QTime(11, 2), 3, "lost too")});
        EXPECT_TRUE(folder.takeReports().isEmpty());
    }
    folder.write({at(kDay, QTime(11, 3), 4, "still the same day")});
    EXPECT_EQ(readAll(dayPath(kDay)), before);
    folder.write({at(kDay.addDays(1), QTime(0, 0, 1), 5, "next day")});
    EXPECT_TRUE(folder.recording());
    EXPECT_TRUE(readAll(dayPath(kDay.addDays(1))).contains("next day"));
}

// A full disk: the batch that does not fit leaves no line cut short behind it.
TEST_F(JournalFolderTest, AFullDiskStopsTheJournalAndKeepsWhatWasWritten)
{
    const TmpfsMount small(dir.path(), 64 * 1024);
    if (!small.error().empty())
        GTEST_SKIP() << "no tmpfs mount here: " << small.error();
    JournalFolder folder(dir.path(), 1 << 20);
    folder.write({at(kDay, QTime(12, 0), 1, "RA:0.412")});
    ASSERT_TRUE(folder.takeReports().isEmpty());
    const Text before = readAll(dayPath(kDay));
    ASSERT_TRUE(before.contains("RA:0.412"));

    folder.write(
        {at(kDay, QTime(12, 0, 1), 2, Text(40 * 1024, 'f')), at(kDay, QTime(12, 0, 2), 3, Text(40 * 1024, 'g'))});
    const TextList reports = folder.takeReports();
    ASSERT_EQ(reports.size(), 1);
    EXPECT_TRUE(reports[0].contains("cannot write")) << reports[0].constData();
    EXPECT_FALSE(folder.recording());
    EXPECT_EQ(readAll(dayPath(kDay)), before);
    folder.write({at(kDay, QTime(12, 0, 3), 4, "RB:0.399")});
    EXPECT_TRUE(folder.takeReports().isEmpty());
    EXPECT_EQ(readAll(dayPath(kDay)), before);
}

namespace {

// A disk that does not keep up: the writer waits inside write() until the test lets it go.
// What it was given outlives the journal that owns it.
struct Held {
    void release()
    {
        const std::lock_guard lock(mutex);
        held = false;
        changed.notify_all();
    }
    std::vector<Entry> writtenSoFar()
    {
        const std::lock_guard lock(mutex);
        return written;
    }

    std::mutex mutex;
    std::condition_variable changed;
    bool held = true;
    int writing = 0;
    std::vector<Entry> written;
};

class HeldSink : public JournalSink {
public:
    explicit HeldSink(std::shared_ptr<Held> held)
        : m_held(std::move(held))
    {
    }
    void write(const std::vector<Entry>& batch) override
    {
        Held& h = *m_held;
        std::unique_lock lock(h.mutex);
        ++h.writing;
        h.changed.notify_all();
        h.changed.wait(lock, [&h] { return !h.held; });
        for (const Entry& e : batch)
            h.written.push_back(e);
    }
    TextList takeReports() override { return {}; }
    bool recording() const override { return true; }
    qint64 todayBytes() const override { return 0; }

private:
    std::shared_ptr<Held> m_held;
};

} // namespace

// What a full queue cannot take is dropped and counted; the next entry that fits brings a
// mark where they were and one report.
TEST(JournalQueue, AFullQueueDropsCountsAndSaysSo)
{
    const auto held = std::make_shared<Held>();
    Held& sink = *held;
    TextList reports;
    {
        Journal journal(std::make_unique<HeldSink>(held), 1000);
        // However the test ends, the writer is let go before the journal waits for it.
        const std::shared_ptr<void> letGo(nullptr, [&sink](void*) { sink.release(); });
        journal.onReport = [&reports](const Text& line) { reports.append(line); };
        journal.chunk("first");
        {
            std::unique_lock lock(sink.mutex);
            ASSERT_TRUE(sink.changed.wait_for(lock, std::chrono::seconds(10), [&] { return sink.writing == 1; }));
        }
        // Each of these weighs 100 bytes and the stamp's 64: six fit in 1000.
        for (int i = 0; i < 10; ++i)
            journal.chunk(Text(100, char('0' + i)));
        EXPECT_EQ(journal.status().dropped, 4u);
        EXPECT_TRUE(reports.isEmpty());
        sink.release();
        ASSERT_TRUE(waitUntil([&] { return sink.writtenSoFar().size() == 7; }, 10000));
        journal.chunk("after");
        ASSERT_EQ(reports.size(), 1);
        EXPECT_TRUE(reports[0].contains("4 entries dropped")) << reports[0].constData();
    }
    const std::vector<Entry> written = sink.writtenSoFar();
    ASSERT_EQ(written.size(), 9u);
    EXPECT_EQ(written[6].text, Text(100, '5'));
    EXPECT_EQ(written[7].kind, Entry::Kind::Directive);
    EXPECT_TRUE(written[7].text.startsWith("!mark 4 entries dropped")) << written[7].text.constData();
    EXPECT_EQ(written[8].text, Text("after"));
}

// The journal of the installer's settings writes on its own thread and reports a failure
// once, on the thread that made it; what is queued at the end is written.
TEST(JournalQueue, TheWriterThreadWritesTheDayAndReportsAFailureOnce)
{
    QTemporaryDir dir;
    {
        const std::unique_ptr<Journal> journal = makeJournal(dir.path(), 1);
        journal->mark("started\r\nnow");
        journal->chunk("RA:0.412");
        EXPECT_TRUE(journal->status().recording);
    }
    const QString today = QDir(dir.path()).filePath(dayFileName(QDate::currentDate()));
    const QString yesterday = QDir(dir.path()).filePath(dayFileName(QDate::currentDate().addDays(-1)));
    Text content = readAll(today) + readAll(yesterday); // a run across midnight
    EXPECT_TRUE(content.contains("] 0 !mark started  now\n")) << content.constData();
    EXPECT_TRUE(content.contains(" RA:0.412\n")) << content.constData();

    const QString notAFolder = dir.filePath(QStringLiteral("a-file"));
    writeFile(notAFolder, "x");
    TextList reports;
    const std::unique_ptr<Journal> journal = makeJournal(notAFolder, 1);
    journal->onReport = [&reports](const Text& line) { reports.append(line); };
    journal->chunk("one");
    ASSERT_TRUE(waitUntil([&] { return !reports.isEmpty(); }, 10000));
    journal->chunk("two");
    journal->chunk("three");
    ASSERT_TRUE(waitUntil([&] { return !journal->status().recording; }, 10000));
    runEventsFor(200);
    ASSERT_EQ(reports.size(), 1);
    EXPECT_TRUE(reports[0].contains("cannot write")) << reports[0].constData();
}
