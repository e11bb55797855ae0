#include "journal/journalfolder.h"

#include "base/failure.h"
#include "base/scripttext.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <algorithm>

namespace quorvel::journal {
namespace {

const QRegularExpression& dayFilePattern()
{
    static const QRegularExpression pattern(QStringLiteral("^journal-(\\d{4}-\\d{2}-\\d{2})\\.txt$"));
    return pattern;
}

QDateTime localTime(qint64 wallMs)
{
    return QDateTime::fromMSecsSinceEpoch(wallMs);
}

// The time of day of the last stamped line of a file, or -1.
qint64 lastTimeOfDay(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const qint64 tail = 4096;
    if (file.size() > tail)
        file.seek(file.size() - tail);
    const TextList lines = file.readAll().split('\n');
    static const QRegularExpression stamp(QStringLiteral("^\\[(\\d{2}):(\\d{2}):(\\d{2})\\.(\\d{3}) "));
    for (auto line = lines.crbegin(); line != lines.crend(); ++line) {
        const QRegularExpressionMatch m = stamp.match(QString::fromLatin1(*line));
        if (m.hasMatch()) {
            return ((m.captured(1).toLongLong() * 60 + m.captured(2).toLongLong()) * 60 + m.captured(3).toLongLong()) *
                1000 +
                m.captured(4).toLongLong();
        }
    }
    return -1;
}

Text header(const QDate& day)
{
    const Text name = dayFileName(day).toLatin1();
    return "# quorvel journal of " + day.toString(Qt::ISODate).toLatin1() +
        ": every chunk the overlay read from its timing link, as received, and what\n"
        "# happened to the link between them. Play it back with\n"
        "#   quorvel-sim --script " +
        name +
        " [--speed N] [--from HH:MM:SS] [--to HH:MM:SS]\n"
        "# A line: [time of day, monotonic ms] milliseconds since the line before, then the bytes\n"
        "# (escapes as in race scripts) or a directive.\n";
}

} // namespace

QString dayFileName(const QDate& day)
{
    return QStringLiteral("journal-%1.txt").arg(day.toString(Qt::ISODate));
}

Text journalLine(const Entry& entry, qint64 delayMs)
{
    const QTime time = localTime(entry.wallMs).time();
    Text line = format("[%02d:%02d:%02d.%03d %lld] %lld ", time.hour(), time.minute(), time.second(), time.msec(),
                       static_cast<long long>(entry.monotonicMs), static_cast<long long>(std::max<qint64>(delayMs, 0)));
    line += entry.kind == Entry::Kind::Chunk ? escapeScriptText(entry.text) : entry.text;
    line += '\n';
    return line;
}

JournalFolder::JournalFolder(QString folder, qint64 maxBytes)
    : m_folder(std::move(folder))
    , m_maxBytes(maxBytes)
{
}

void JournalFolder::write(const std::vector<Entry>& batch)
{
    size_t begin = 0;
    while (begin < batch.size()) {
        const QDate day = localTime(batch[begin].wallMs).date();
        size_t end = begin + 1;
        while (end < batch.size() && localTime(batch[end].wallMs).date() == day)
            ++end;
        if (day != m_day)
            startDay(day);
        if (!m_stopped)
            writeDay(batch, begin, end);
        begin = end;
    }
}

TextList JournalFolder::takeReports()
{
    TextList reports;
    reports.swap(m_reports);
    return reports;
}

void JournalFolder::startDay(const QDate& day)
{
    const bool firstDay = !m_day.isValid();
    m_day = day;
    m_stopped = false;
    m_olderDays.clear();
    m_olderBytes = 0;
    m_todayBytes = 0;
    const QString today = dayFileName(day);
    const QFileInfoList files = QDir(m_folder).entryInfoList(QDir::Files, QDir::Name);
    for (const QFileInfo& file : files) {
        if (!dayFilePattern().match(file.fileName()).hasMatch())
            continue;
        if (file.fileName() == today) {
            m_todayBytes = file.size();
        } else if (file.fileName() < today) {
            m_olderDays.emplace_back(file.filePath(), file.size());
            m_olderBytes += file.size();
        } else {
            // A day after today (the clock went back): kept, counted, removed first.
            m_olderDays.insert(m_olderDays.begin(), {file.filePath(), file.size()});
            m_olderBytes += file.size();
        }
    }
    // The first line of a start continues a file written before it by its time of day;
    // a new day's file starts from nothing.
    m_haveLast = false;
    m_lastTimeOfDayMs = firstDay && m_todayBytes > 0 ? lastTimeOfDay(QDir(m_folder).filePath(today)) : -1;
}

bool JournalFolder::makeRoom(qint64 needed)
{
    while (m_olderBytes + m_todayBytes + needed > m_maxBytes && !m_olderDays.empty()) {
        const auto [path, size] = m_olderDays.front();
        if (!QFile::remove(path) && QFile::exists(path))
            return false;
        m_olderBytes -= size;
        m_olderDays.erase(m_olderDays.begin());
    }
    return m_olderBytes + m_todayBytes + needed <= m_maxBytes;
}

void JournalFolder::writeDay(const std::vector<Entry>& batch, size_t begin, size_t end)
{
    Text lines;
    if (m_todayBytes == 0) {
        lines += header(m_day);
        if (m_linkUp) {
            Entry wait{Entry::Kind::Directive, "!wait-connection", batch[begin].wallMs, batch[begin].monotonicMs};
            lines += journalLine(wait, 0);
        }
    }
    for (size_t i = begin; i < end; ++i) {
        const Entry& e = batch[i];
        qint64 delay = 0;
        if (m_haveLast) {
            delay = e.monotonicMs - m_lastMonotonicMs;
        } else if (m_lastTimeOfDayMs >= 0) {
            delay = localTime(e.wallMs).time().msecsSinceStartOfDay() - m_lastTimeOfDayMs;
        }
        m_haveLast = true;
        m_lastMonotonicMs = e.monotonicMs;
        lines += journalLine(e, delay);
        if (e.kind == Entry::Kind::Directive) {
            if (e.text == "!wait-connection")
                m_linkUp = true;
            else if (e.text == "!close" || e.text == "!reset")
                m_linkUp = false;
        }
    }

    const QString path = QDir(m_folder).filePath(dayFileName(m_day));
    if (!makeRoom(lines.size())) {
        stop(format("Journal: %s is full (at most %lld MB), it records again tomorrow",
                    QDir::toNativeSeparators(m_folder).toLocal8Bit().constData(),
                    static_cast<long long>(m_maxBytes / (1024 * 1024))));
        return;
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        stop("Journal: cannot write " + path.toLocal8Bit() + " (" + file.errorString().toLocal8Bit() +
             "), it records again tomorrow or at the next start");
        return;
    }
    const qint64 before = file.size();
    const bool written = file.write(lines) == lines.size() && file.flush();
    if (!written) {
        const Text why = file.errorString().toLocal8Bit();
        // A line cut short would end the file in the middle of a chunk: back to what was
        // whole before this batch.
        file.resize(before);
        stop("Journal: cannot write " + path.toLocal8Bit() + " (" + why +
             "), it records again tomorrow or at the next start");
        return;
    }
    m_todayBytes = before + lines.size();
}

void JournalFolder::stop(const Text& why)
{
    m_stopped = true;
    m_reports.append(why);
}

} // namespace quorvel::journal
