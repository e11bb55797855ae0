#pragma once

#include "base/text.h"

namespace quorvel::race {

// A blank (byte 32) is the only word separator; a tab joins words into one.

// The part before the first blank (the whole text without one), with every byte of value
// 32 or less stripped from both ends.
Text FirstWord(const Text& text);

// The part after the last blank, the whole text without one; nothing stripped.
Text LastWord(const Text& text);

// "First Last", or the first word alone when both are the same.
Text ShortPilotName(const Text& text);

} // namespace quorvel::race
