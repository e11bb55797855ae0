#pragma once

#include "base/text.h"

#include <QString>

namespace quorvel {

// Windows-1252 differs from Latin-1 in 0x80 to 0x9F (euro sign, curly quotes, dashes):
// these go through a table; the five unassigned bytes map to the C1 controls.
QString fromCp1252(const Text& bytes);

// Characters that Windows-1252 cannot hold become "?".
Text toCp1252(const QString& text);

} // namespace quorvel
