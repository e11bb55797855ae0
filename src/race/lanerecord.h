#pragma once

#include "base/text.h"

namespace quorvel::race {

enum class Lane { A, B };

// The texts kept for one lane between messages; empty at start, never saved.
struct LaneRecord {
    Text number;
    Text pilot;
    Text nickname;
    Text car;
    Text category;
    Text heat;
    Text reactionTime;
};

} // namespace quorvel::race
