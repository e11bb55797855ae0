#pragma once

#include "base/text.h"
#include "journal/journalfolder.h"

#include <QObject>

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace quorvel::journal {

// Where the journal's writer thread puts its batches: the day files (JournalFolder), or
// a stand-in of a test.
class JournalSink {
public:
    virtual ~JournalSink() = default;
    virtual void write(const std::vector<Entry>& batch) = 0;
    virtual TextList takeReports() = 0;
    virtual bool recording() const = 0;
    virtual qint64 todayBytes() const = 0;
};

// The race day's journal, as the window's thread sees it: what the timing link read and
// what happened to the link go into a bounded queue at once, and a thread of its own
// writes them, so the window never waits on the disk. What a full queue cannot take is
// dropped, counted, written as a mark and reported. Reports (for mLog) arrive through
// onReport on the thread that made the journal.
class Journal : public QObject {
    Q_OBJECT
public:
    struct Status {
        bool recording = false;
        qint64 todayBytes = 0;
        quint64 dropped = 0; // entries a full queue dropped since the start
    };

    Journal(std::unique_ptr<JournalSink> sink, qint64 queueBytes = kDefaultQueueBytes);
    // Writes what is queued, then ends the writer thread.
    ~Journal() override;

    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    // A chunk the link read, before it is applied.
    void chunk(const Text& bytes);
    // A mark between chunks ("connected 192.168.0.100:3335"); line ends become blanks.
    void mark(const Text& words);
    // A directive the simulator acts on in a replay: "!wait-connection", "!close", "!reset".
    void directive(const Text& line);

    Status status() const;

    std::function<void(const Text&)> onReport;

    static constexpr qint64 kDefaultQueueBytes = 16 * 1024 * 1024;

private:
    void push(Entry::Kind kind, const Text& text);
    void run();
    void report(const TextList& lines);

    std::unique_ptr<JournalSink> m_sink;
    const qint64 m_queueBytes;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Entry> m_queue;
    qint64 m_queuedBytes = 0;
    bool m_ending = false;
    quint64 m_droppedSinceSaid = 0;
    quint64 m_droppedTotal = 0;
    bool m_recording = true;
    qint64 m_todayBytes = 0;
    std::thread m_writer;
};

// The journal of the installer's [Journal] settings: the day files in `folder`, at most
// `maxMegabytes` MiB together.
std::unique_ptr<Journal> makeJournal(const QString& folder, int maxMegabytes);

} // namespace quorvel::journal
