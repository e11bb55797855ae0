#pragma once

#include "base/text.h"

#include <QtGlobal>

namespace quorvel::race {

// A vehicle code as the timing server sends it: decimal digits, optionally preceded by
// blanks and a sign, within the signed 32-bit range. Anything else, the empty text
// included, raises "'%s' is not a valid integer value".
qint32 integerValue(const Text& text);

} // namespace quorvel::race
