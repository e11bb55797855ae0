#pragma once

#include "base/text.h"

#include <QString>

#include <vector>

namespace quorvel::sim {

// One step of a race script: wait `delayMs`, then do it.
struct Step {
    enum class Kind {
        Send, // the text in one write to every connected overlay
        Repeat, // the text `count` times over, in one write (floods for tests)
        Close, // !close: an orderly close; the overlay's farewell is still logged
        Reset, // !reset: a reset (SO_LINGER 0)
        WaitConnection, // !wait-connection: until an overlay is connected
        WaitFile, // !wait-file <path>: until the file exists (another program's go-ahead)
        UdpOn, // !udp on: answer discovery requests
        UdpOff, // !udp off: log them, answer nothing
        Quit, // !quit: end the simulator
        Mark, // !mark <words>: logged when the script gets there (a journal's marks)
    };
    int delayMs = 0;
    Kind kind = Kind::Send;
    Text text;
    int count = 1;
    int line = 0;
    // A journal's line carries when it happened: the time of day (ms since midnight) and
    // the overlay's monotonic clock; -1 when the line has no stamp.
    qint64 timeOfDayMs = -1;
    qint64 monotonicMs = -1;

    friend bool operator==(const Step&, const Step&) = default;
};

// Reads a script: one step a line. "<delay> <text>" sends the text (the rest of the line,
// escapes \\ \n \r \t \xNN undone); "[<delay>] !<directive> [args]" runs a directive;
// either may start with a stamp "[HH:MM:SS.mmm <monotonic ms>] " (a journal's lines);
// blank lines and lines starting with "#" are skipped; a CR before the line end is dropped.
// Raises a Failure naming the line for anything else.
std::vector<Step> parseScript(const Text& content);

// "14:05", "14:05:09" or "14:05:09.120" as milliseconds since midnight; -1 for anything else.
qint64 parseTimeOfDay(const QString& written);

// The stretch of a stamped script (a journal) from `fromMs` up to, not including, `toMs`
// (times of day; -1: from the start, to the end). It begins by waiting for a connection,
// then plays its first step at once and the rest at their own delays. Raises a Failure
// when the script has no stamps or nothing lies in the stretch.
std::vector<Step> selectStretch(const std::vector<Step>& steps, qint64 fromMs, qint64 toMs);

// One line typed in interactive mode: a directive when it starts with "!", otherwise the
// line (escapes undone) to send at once.
Step parseTypedLine(const Text& line);

} // namespace quorvel::sim
