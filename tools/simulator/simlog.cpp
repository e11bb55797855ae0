#include "simlog.h"

#include "base/failure.h"
#include "escapes.h"

#include <QTime>

#include <cstdio>

namespace quorvel::sim {

SimLog::SimLog(const QString& path)
{
    const bool opened = path.isEmpty()
        ? m_file.open(stdout, QIODevice::WriteOnly | QIODevice::Unbuffered)
        : (m_file.setFileName(path), m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered));
    if (!opened)
        throw Failure(format("cannot write the log \"%s\"", path.toLocal8Bit().constData()));
}

void SimLog::line(const Text& what)
{
    Text out = QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz")).toLatin1();
    out.append(' ').append(what).append('\n');
    m_file.write(out);
    // stdout through a pipe is block-buffered by stdio: a reader would see nothing until exit.
    m_file.flush();
}

void SimLog::bytes(const Text& what, const Text& data)
{
    line(what + " \"" + escapeBytes(data) + '"');
}

} // namespace quorvel::sim
