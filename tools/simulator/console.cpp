#include "console.h"

#include "base/cp1252.h"
#include "base/failure.h"
#include "scriptplayer.h"
#include "simlog.h"

#include <unistd.h>

namespace quorvel::sim {

Console::Console(SimLog& log, ScriptPlayer& player, bool utf8Input, QObject* parent)
    : QObject(parent)
    , m_log(log)
    , m_player(player)
    , m_utf8Input(utf8Input)
    , m_stdin(STDIN_FILENO, QSocketNotifier::Read)
{
    connect(&m_stdin, &QSocketNotifier::activated, this, &Console::readInput);
}

void Console::readInput()
{
    char buffer[4096];
    const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (got <= 0) {
        m_stdin.setEnabled(false);
        m_log.line("stdin closed");
        return;
    }
    m_pending.append(buffer, got);
    for (qsizetype end = m_pending.indexOf('\n'); end >= 0; end = m_pending.indexOf('\n')) {
        const Text line = m_pending.left(end);
        m_pending.remove(0, end + 1);
        runLine(line);
    }
}

void Console::runLine(const Text& line)
{
    const Text typed = m_utf8Input ? toCp1252(QString::fromUtf8(line)) : line;
    try {
        m_player.run(parseTypedLine(typed));
    } catch (const std::exception& e) {
        m_log.line("typed line refused: " + messageOf(e));
    }
}

} // namespace quorvel::sim
