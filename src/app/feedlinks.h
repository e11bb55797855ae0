#pragma once

namespace quorvel::db {
class DataModule;
}
namespace quorvel::feed {
class FeedServer;
}

namespace quorvel::app {

class Form;

// The feed reads the links' state from their owners whenever it makes its state document,
// and hears from the form when that state may have changed. Clear the form's
// onLinksChanged before the feed goes.
void connectFeedToLinks(feed::FeedServer& feed, Form& form, db::DataModule& dm);

} // namespace quorvel::app
