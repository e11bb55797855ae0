#include "app/feedlinks.h"

#include "app/form.h"
#include "base/cp1252.h"
#include "db/datamodule.h"
#include "feed/feedserver.h"

namespace quorvel::app {

void connectFeedToLinks(feed::FeedServer& feed, Form& form, db::DataModule& dm)
{
    feed.setStatusSource([&form, &dm] {
        feed::LinkStatus status;
        switch (form.S_Cliente.state()) {
        case link::LinkState::Down: status.link = feed::LinkStatus::Link::Down; break;
        case link::LinkState::Connecting: status.link = feed::LinkStatus::Link::Connecting; break;
        case link::LinkState::Connected: status.link = feed::LinkStatus::Link::Connected; break;
        }
        status.server = fromCp1252(form.S_Cliente.host());
        status.database = dm.Zconet().connected();
        status.databaseServer = fromCp1252(dm.Zconet().host());
        if (const journal::Journal* journal = form.journal()) {
            const journal::Journal::Status j = journal->status();
            status.journal = j.recording ? QStringLiteral("recording") : QStringLiteral("stopped");
            status.journalTodayBytes = j.todayBytes;
        }
        return status;
    });
    form.onLinksChanged = [&feed] { feed.statusChanged(); };
}

} // namespace quorvel::app
