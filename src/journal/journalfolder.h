#pragma once

#include "base/text.h"

#include <QDate>
#include <QString>

#include <vector>

namespace quorvel::journal {

// One line of the journal: a chunk the timing link read, or a line between chunks (a mark
// or a directive the simulator acts on when it plays the journal back).
struct Entry {
    enum class Kind {
        Chunk, // the bytes as received
        Directive, // "!mark ...", "!wait-connection", "!close", "!reset"
    };
    Kind kind = Kind::Chunk;
    Text text;
    qint64 wallMs = 0; // milliseconds since the epoch, when it happened
    qint64 monotonicMs = 0; // the steady clock's milliseconds, when it happened
};

// "journal-2026-12-11.txt": the file of one day (local time).
QString dayFileName(const QDate& day);

// One line of a day's file, line end included:
//   [14:05:09.120 8312450] 350 RA:0.412@APS-HIGH:
// the time of day and the monotonic time in brackets, the milliseconds since the line
// before, then the chunk's bytes as the simulator's script writes them (printable ASCII as
// it is, a backslash doubled, every other byte as \xNN, a leading "!" and a trailing blank
// escaped too) or the directive as it is.
Text journalLine(const Entry& entry, qint64 delayMs);

// The day files in a folder, written on the writer's thread. Each batch is appended to
// the day's file and the file closed again, so a folder that turns read-only or a disk
// that fills is met at the next batch, and nothing written before is touched. The day
// files together stay within `maxBytes`: the oldest day goes first. A write that fails
// stops the journal until the next day (or the next start), with one report.
class JournalFolder {
public:
    JournalFolder(QString folder, qint64 maxBytes);

    void write(const std::vector<Entry>& batch);
    // What the operator should read in mLog since the last call.
    TextList takeReports();

    // False while a failure keeps the journal stopped.
    bool recording() const { return !m_stopped; }
    // The size of today's file (the day of the last entry).
    qint64 todayBytes() const { return m_todayBytes; }
    const QString& folder() const { return m_folder; }

private:
    void startDay(const QDate& day);
    void writeDay(const std::vector<Entry>& batch, size_t begin, size_t end);
    bool makeRoom(qint64 needed);
    void stop(const Text& why);

    QString m_folder;
    qint64 m_maxBytes;
    QDate m_day;
    bool m_stopped = false;
    qint64 m_todayBytes = 0;
    // The other days' files, oldest first, and their sizes.
    std::vector<std::pair<QString, qint64>> m_olderDays;
    qint64 m_olderBytes = 0;
    // The line before: its monotonic time (within this start) or time of day (a file
    // written before this start), for the next line's delay.
    bool m_haveLast = false;
    qint64 m_lastMonotonicMs = 0;
    qint64 m_lastTimeOfDayMs = -1;
    // Whether the link is up at the end of what was written: a new day's file then
    // begins by waiting for a connection, so a replay never sends into nothing.
    bool m_linkUp = false;
    TextList m_reports;
};

} // namespace quorvel::journal
