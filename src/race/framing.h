#pragma once

#include "base/text.h"

namespace quorvel::race {

// One key:value item of the timing server's text, as it arrived.
struct RaceMessage {
    Text key;
    Text value;
    friend bool operator==(const RaceMessage&, const RaceMessage&) = default;
};

// Cuts a text at every occurrence of the separator: n separators give n + 1 pieces, empty
// pieces included, nothing trimmed. An empty separator leaves the text whole.
TextList SplitText(const Text& text, const Text& separator);

} // namespace quorvel::race
