#pragma once

#include "base/config.h"
#include "base/configfile.h"

namespace quorvel::app {

// The whole life of the program: start-up in its fixed order, the event loop, shutdown.
// Returns the exit status: 0 after a normal end, 1 after a fatal start-up failure.
int runProgram(int& argc, char** argv, const Config& config);

// The same with the installer's configuration file: a refused file (or a program output
// whose screen is too small for the picture) is shown in an error box and ends the program
// with status 1 before anything is created or connected.
int runProgram(int& argc, char** argv, const ConfigFile& file);

} // namespace quorvel::app
