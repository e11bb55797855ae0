#pragma once

#include "feed/racestate.h"

namespace quorvel::db {
class DataModule;
}
namespace quorvel::feed {
class FeedServer;
}
namespace quorvel::race {
class Board;
class RaceDisplay;
} // namespace quorvel::race

namespace quorvel::app {

class Form;

// The feed reads the links' state and the race's side of the lanes from their owners
// whenever it makes its state document, and hears from the form when the links may have
// changed without the screen changing. Clear the form's onLinksChanged before the feed goes.
void connectFeedToLinks(feed::FeedServer& feed, Form& form, db::DataModule& dm);

// What the race knows of the lanes and the board, as the feed takes it.
feed::RaceState raceState(const race::RaceDisplay& race, const race::Board& board);

} // namespace quorvel::app
