#pragma once

#include "base/config.h"

namespace quorvel::app {

// The whole life of the program: start-up in its fixed order, the event loop, shutdown.
// Returns the exit status: 0 after a normal end, 1 after a fatal start-up failure.
int runProgram(int& argc, char** argv, const Config& config);

} // namespace quorvel::app
