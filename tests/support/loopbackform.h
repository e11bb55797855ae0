#pragma once

#include "base/config.h"
#include "freeport.h"

#include <QString>

namespace quorvel::test {

// The configuration of a whole form in one process: the timing server is played on a free
// loopback TCP port, discovery asks a free loopback UDP port where nobody answers (so every
// discovery round ends after its short wait), the retry interval is short, and photos come
// from photoFolder.
Config loopbackFormConfig(const QString& photoFolder);

} // namespace quorvel::test
