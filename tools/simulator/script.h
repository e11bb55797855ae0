#pragma once

#include "base/text.h"

#include <vector>

namespace quorvel::sim {

// One step of a race script: wait `delayMs`, then do it.
struct Step {
    enum class Kind {
        Send,           // the text in one write to every connected overlay
        Repeat,         // the text `count` times over, in one write (floods for tests)
        Close,          // !close: an orderly close; the overlay's farewell is still logged
        Reset,          // !reset: a reset (SO_LINGER 0)
        WaitConnection, // !wait-connection: until an overlay is connected
        WaitFile,       // !wait-file <path>: until the file exists (another program's go-ahead)
        UdpOn,          // !udp on: answer discovery requests
        UdpOff,         // !udp off: log them, answer nothing
        Quit,           // !quit: end the simulator
    };
    int delayMs = 0;
    Kind kind = Kind::Send;
    Text text;
    int count = 1;
    int line = 0;

    friend bool operator==(const Step&, const Step&) = default;
};

// Reads a script: one step a line. "<delay> <text>" sends the text (the rest of the line,
// escapes \\ \n \r \t \xNN undone); "[<delay>] !<directive> [args]" runs a directive;
// blank lines and lines starting with "#" are skipped; a CR before the line end is dropped.
// Raises a Failure naming the line for anything else.
std::vector<Step> parseScript(const Text& content);

// One line typed in interactive mode: a directive when it starts with "!", otherwise the
// line (escapes undone) to send at once.
Step parseTypedLine(const Text& line);

} // namespace quorvel::sim
