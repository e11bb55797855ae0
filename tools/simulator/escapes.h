#pragma once

#include "base/scripttext.h"
#include "base/text.h"

namespace quorvel::sim {

// Bytes as one readable log line: printable ASCII as it is, backslash and double quote
// escaped, every other byte (line ends, controls, Windows-1252 letters) as \xNN.
Text escapeBytes(const Text& bytes);

// The escapes a script line may hold: \\ \" \n \r \t \xNN, so that the text of a log
// line pasted into a script sends the bytes it logged. Any other byte, accented
// Windows-1252 letters included, stands for itself; an unknown escape is kept as written.
Text unescapeBytes(const Text& written);

// Bytes as the text of a script step: the one rule the journal writes its lines by too.
using quorvel::escapeScriptText;

} // namespace quorvel::sim
