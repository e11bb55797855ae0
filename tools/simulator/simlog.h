#pragma once

#include "base/text.h"

#include <QFile>

namespace quorvel::sim {

// The simulator's record: one time-stamped line for everything that happens, written and
// flushed at once so that a test can read it while the simulator runs.
class SimLog {
public:
    // An empty path logs to stdout.
    explicit SimLog(const QString& path);

    void line(const Text& what);
    // "<what> "<bytes escaped>"": one line per piece received or sent.
    void bytes(const Text& what, const Text& data);

private:
    QFile m_file;
};

} // namespace quorvel::sim
