#pragma once

#include "base/text.h"

namespace quorvel {

// Bytes as the text of one step of a race script (the simulator's and the journal's
// format), which the script reader turns back into exactly those bytes: printable ASCII
// as it is, a backslash doubled, a leading "!" (a directive) and a trailing blank (lost
// to editors) as \xNN, every other byte as \xNN so the file stays plain ASCII.
Text escapeScriptText(const Text& bytes);

} // namespace quorvel
