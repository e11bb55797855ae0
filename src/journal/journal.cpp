#include "journal/journal.h"

#include "base/failure.h"

#include <QDateTime>

#include <chrono>

namespace quorvel::journal {
namespace {

// What an entry weighs in the queue: its bytes and a line's stamp.
constexpr qint64 kEntryOverhead = 64;

qint64 monotonicNowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

class FolderSink : public JournalSink {
public:
    FolderSink(const QString& folder, qint64 maxBytes)
        : m_folder(folder, maxBytes)
    {
    }
    void write(const std::vector<Entry>& batch) override { m_folder.write(batch); }
    TextList takeReports() override { return m_folder.takeReports(); }
    bool recording() const override { return m_folder.recording(); }
    qint64 todayBytes() const override { return m_folder.todayBytes(); }

private:
    JournalFolder m_folder;
};

} // namespace

Journal::Journal(std::unique_ptr<JournalSink> sink, qint64 queueBytes)
    : m_sink(std::move(sink))
    , m_queueBytes(queueBytes)
{
    m_writer = std::thread([this] { run(); });
}

Journal::~Journal()
{
    {
        const std::lock_guard lock(m_mutex);
        m_ending = true;
    }
    m_wake.notify_one();
    m_writer.join();
}

void Journal::chunk(const Text& bytes)
{
    push(Entry::Kind::Chunk, bytes);
}

void Journal::mark(const Text& words)
{
    Text line = "!mark " + words;
    line.replace('\r', ' ').replace('\n', ' ');
    push(Entry::Kind::Directive, line);
}

void Journal::directive(const Text& line)
{
    push(Entry::Kind::Directive, line);
}

Journal::Status Journal::status() const
{
    const std::lock_guard lock(m_mutex);
    return {m_recording, m_todayBytes, m_droppedTotal};
}

void Journal::push(Entry::Kind kind, const Text& text)
{
    Entry entry{kind, text, QDateTime::currentMSecsSinceEpoch(), monotonicNowMs()};
    quint64 droppedNow = 0;
    {
        const std::lock_guard lock(m_mutex);
        const qint64 weight = entry.text.size() + kEntryOverhead;
        if (m_queuedBytes + weight > m_queueBytes) {
            ++m_droppedSinceSaid;
            ++m_droppedTotal;
            return;
        }
        if (m_droppedSinceSaid > 0) {
            // Where the lost entries were, the journal says so.
            droppedNow = m_droppedSinceSaid;
            m_droppedSinceSaid = 0;
            Entry lost{Entry::Kind::Directive,
                       format("!mark %llu entries dropped here: the journal's queue was full",
                              static_cast<unsigned long long>(droppedNow)),
                       entry.wallMs, entry.monotonicMs};
            m_queuedBytes += lost.text.size() + kEntryOverhead;
            m_queue.push_back(std::move(lost));
        }
        m_queuedBytes += weight;
        m_queue.push_back(std::move(entry));
    }
    m_wake.notify_one();
    if (droppedNow > 0 && onReport)
        onReport(format("Journal: %llu entries dropped, the disk did not keep up",
                        static_cast<unsigned long long>(droppedNow)));
}

void Journal::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_ending || !m_queue.empty(); });
        if (m_queue.empty())
            return; // ending, and everything written
        std::vector<Entry> batch(std::make_move_iterator(m_queue.begin()), std::make_move_iterator(m_queue.end()));
        m_queue.clear();
        m_queuedBytes = 0;
        lock.unlock();
        m_sink->write(batch);
        const TextList reports = m_sink->takeReports();
        const bool recording = m_sink->recording();
        const qint64 todayBytes = m_sink->todayBytes();
        if (!reports.isEmpty())
            report(reports);
        lock.lock();
        m_recording = recording;
        m_todayBytes = todayBytes;
    }
}

void Journal::report(const TextList& lines)
{
    // To the thread that made the journal; dropped if the journal is gone by then.
    QMetaObject::invokeMethod(
        this,
        [this, lines] {
            if (onReport) {
                for (const Text& line : lines)
                    onReport(line);
            }
        },
        Qt::QueuedConnection);
}

std::unique_ptr<Journal> makeJournal(const QString& folder, int maxMegabytes)
{
    return std::make_unique<Journal>(std::make_unique<FolderSink>(folder, qint64(maxMegabytes) * 1024 * 1024));
}

} // namespace quorvel::journal
