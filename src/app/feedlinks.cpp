#include "app/feedlinks.h"

#include "app/form.h"
#include "base/cp1252.h"
#include "db/datamodule.h"
#include "feed/feedserver.h"
#include "race/board.h"
#include "race/racedisplay.h"

namespace quorvel::app {

namespace {

feed::Lane feedLane(race::Lane lane)
{
    return lane == race::Lane::A ? feed::Lane::A : feed::Lane::B;
}

} // namespace

feed::RaceState raceState(const race::RaceDisplay& race, const race::Board& board)
{
    feed::RaceState state;
    for (race::Lane lane : {race::Lane::A, race::Lane::B}) {
        const race::LaneRecord& shown = race.shownHeader(lane);
        state.headers[static_cast<size_t>(feedLane(lane))] = {shown.pilot, shown.nickname, shown.number,
                                                              shown.car,   shown.category, shown.heat};
    }
    for (overlay::Side side : {overlay::Side::A, overlay::Side::B})
        for (int what = 0; what < overlay::kIndicationCount; ++what)
            state.shownBy[static_cast<size_t>(side)][static_cast<size_t>(what)] =
                feedLane(race.shownBy(side, static_cast<overlay::Indication>(what)));
    state.boardRows = board.rowsShown();
    return state;
}

void connectFeedToLinks(feed::FeedServer& feed, Form& form, db::DataModule& dm)
{
    feed.setStatusSource([&form, &dm] {
        feed::LinkStatus status;
        switch (form.linkState()) {
        case link::LinkState::Down: status.link = feed::LinkStatus::Link::Down; break;
        case link::LinkState::Connecting: status.link = feed::LinkStatus::Link::Connecting; break;
        case link::LinkState::Connected: status.link = feed::LinkStatus::Link::Connected; break;
        }
        status.server = fromCp1252(form.linkHost());
        status.database = dm.Zconet().connected();
        status.databaseServer = fromCp1252(dm.Zconet().host());
        if (const journal::Journal* journal = form.journal()) {
            const journal::Journal::Status j = journal->status();
            status.journal = j.recording ? QStringLiteral("recording") : QStringLiteral("stopped");
            status.journalTodayBytes = j.todayBytes;
        }
        return status;
    });
    // Every message the race applies goes to Memo1 first, so the feed makes its document
    // again after each: what changes on the race's side alone needs no telling.
    feed.setRaceSource([&form] { return raceState(form.race(), form.board()); });
    form.onLinksChanged = [&feed] { feed.statusChanged(); };
}

} // namespace quorvel::app
