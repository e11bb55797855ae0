#pragma once

#include <QObject>
#include <QSocketNotifier>

#include "base/text.h"

namespace quorvel::sim {

class ScriptPlayer;
class SimLog;

// Interactive mode: every line typed on stdin is sent at once in one write, or run as a
// directive when it starts with "!". End of input leaves the simulator running.
class Console : public QObject {
    Q_OBJECT
public:
    // utf8Input: typed lines are UTF-8 (a terminal) and go out as Windows-1252.
    Console(SimLog& log, ScriptPlayer& player, bool utf8Input, QObject* parent = nullptr);

private:
    void readInput();
    void runLine(const Text& line);

    SimLog& m_log;
    ScriptPlayer& m_player;
    bool m_utf8Input;
    Text m_pending;
    QSocketNotifier m_stdin;
};

} // namespace quorvel::sim
