#pragma once

#include "overlay/screen.h"

namespace quorvel::overlay {

// The lines a text shows in a memo: one more than its line breaks, where CR LF, a lone
// CR and a lone LF each break a line.
qsizetype shownLineCount(const Text& text);

// The text cut to its last `maxLines` shown lines and at most `maxBytes` bytes.
Text tailOf(const Text& text, qsizetype maxLines, qsizetype maxBytes);

// Appends the text as a new entry and drops the oldest entries beyond the cap.
void appendToMemo(MemoLines& memo, const Text& text);

// The last `count` shown lines, oldest first.
TextList lastShownLines(const MemoLines& memo, qsizetype count);

// The `count` shown lines before line `end` (0 is the first line the memo still holds),
// oldest first.
TextList shownLinesBefore(const MemoLines& memo, qsizetype end, qsizetype count);

} // namespace quorvel::overlay
