#pragma once

#include "base/text.h"
#include "overlay/laneelements.h"

#include <array>

namespace quorvel::feed {

enum class Lane { A, B };

// What the race knows that the screen cannot tell: whose header, lamp and reaction time
// each side shows, and how much of the board is its own. The program hands it to the feed,
// which never reads the race itself. Texts are Windows-1252, as the race keeps them.
struct RaceState {
    // A lane's record as its header lines show it, whichever side they are on; empty while
    // the headers are.
    struct Header {
        Text pilot, nickname, number, car, category, heat;
    };
    std::array<Header, 2> headers; // lane A, lane B

    // For each side and indication, the lane whose message showed it last: the camera box
    // sends a lane's lamps and reaction time to the other side while it is ticked, and they
    // stay there when it changes.
    using Owners = std::array<Lane, overlay::kIndicationCount>;
    std::array<Owners, 2> shownBy = {Owners{Lane::A, Lane::A, Lane::A, Lane::A, Lane::A},
                                     Owners{Lane::B, Lane::B, Lane::B, Lane::B, Lane::B}};

    // The rows the board wrote on its current page, best first; 0 before its first page, and
    // from the moment it empties its labels for the next one.
    int boardRows = 0;

    const Header& header(Lane lane) const { return headers[static_cast<size_t>(lane)]; }
    Lane owner(overlay::Side side, overlay::Indication what) const
    {
        return shownBy[static_cast<size_t>(side)][static_cast<size_t>(what)];
    }
};

} // namespace quorvel::feed
