// The feed's view of the links, in the whole form: the TCP link's and the database's state
// reach /events as they change, even when nothing on screen changes with them.
#include "appfixture.h"

#include "app/feedlinks.h"
#include "feed/feedserver.h"

#include <QDir>
#include <QJsonDocument>
#include <QWebSocket>

#include <sys/socket.h>

using namespace quorvel;

namespace {

class FeedLinksTest : public AppFixture {
protected:
    void TearDown() override
    {
        if (form)
            form->onLinksChanged = nullptr;
        events.reset();
        feed.reset();
        AppFixture::TearDown();
    }

    // The form with its feed, and a client of /events that keeps the state it is sent.
    void startFormWithFeed()
    {
        // no clock ticks: a change of the links is the only change there is
        config.clockIntervalMs = 3600 * 1000;
        startForm();
        feed = std::make_unique<feed::FeedServer>(form->screen());
        ASSERT_TRUE(feed->listen(feed::FeedSettings{}));
        app::connectFeedToLinks(*feed, *form, *dm);
        events = std::make_unique<QWebSocket>();
        QObject::connect(events.get(), &QWebSocket::textMessageReceived, [this](const QString& message) {
            state = feed::applyMergePatch(state, QJsonDocument::fromJson(message.toUtf8()).object());
        });
        events->open(QUrl(QStringLiteral("ws://127.0.0.1:%1/events").arg(feed->port())));
    }

    QString linkState() const { return state[QStringLiteral("link")][QStringLiteral("state")].toString(); }

    std::unique_ptr<feed::FeedServer> feed;
    std::unique_ptr<QWebSocket> events;
    QJsonObject state;
};

} // namespace

TEST_F(FeedLinksTest, TheLinksStateReachesTheFeedAsItChangesBeforeAnythingOnScreenDoes)
{
    // retries far apart: the close below is told before the next retry writes to Memo1
    config.retryIntervalMs = 5000;
    startFormWithFeed();
    ASSERT_TRUE(waitUntil([&] { return !state.isEmpty(); }, 10000));
    // the database of this computer, connected at start-up
    EXPECT_EQ(state[QStringLiteral("database")][QStringLiteral("state")].toString(), QStringLiteral("connected"));
    EXPECT_EQ(state[QStringLiteral("database")][QStringLiteral("server")].toString(), QString());
    EXPECT_EQ(state[QStringLiteral("link")][QStringLiteral("server")].toString(), QStringLiteral("127.0.0.1"));
    EXPECT_NE(linkState(), QStringLiteral("connected"));

    QTcpSocket* timingServer = acceptConnection(20000);
    ASSERT_NE(timingServer, nullptr);
    ASSERT_TRUE(waitUntil([&] { return linkState() == QStringLiteral("connected"); }, 10000)) << linkState().toStdString();

    // The server's close changes nothing on screen until the next retry: the feed hears of
    // it from the form.
    const int retries = count(overlay::El::Memo1, "TimerErro");
    int retriesWhenTold = -1;
    QObject::connect(events.get(), &QWebSocket::textMessageReceived, [&] {
        if (retriesWhenTold < 0 && linkState() != QStringLiteral("connected"))
            retriesWhenTold = count(overlay::El::Memo1, "TimerErro");
    });
    server.close();
    ::shutdown(static_cast<int>(timingServer->socketDescriptor()), SHUT_WR);
    ASSERT_TRUE(waitUntil([&] { return retriesWhenTold >= 0; }, 20000));
    EXPECT_EQ(linkState(), QStringLiteral("down"));
    EXPECT_EQ(retriesWhenTold, retries);
}

// The journal takes what the link reads, and the feed says whether it records: a folder
// that is gone mid-day stops it, said once in mLog and at once in the feed.
TEST_F(FeedLinksTest, TheJournalTakesWhatTheLinkReadsAndTheFeedSaysWhetherItRecords)
{
    QTemporaryDir journalDir;
    const QString folder = journalDir.filePath(QStringLiteral("journal"));
    ASSERT_TRUE(QDir().mkpath(folder));
    config.journalFolder = folder;
    startFormWithFeed();
    const auto journalState = [this] { return state[QStringLiteral("journal")][QStringLiteral("state")].toString(); };
    ASSERT_TRUE(waitUntil([&] { return journalState() == QStringLiteral("recording"); }, 10000))
        << journalState().toStdString();

    QTcpSocket* timingServer = acceptConnection(20000);
    ASSERT_NE(timingServer, nullptr);
    timingServer->write("RA:0.412@\xBA");
    const auto journalText = [&] {
        QByteArray all;
        for (const QFileInfo& file : QDir(folder).entryInfoList({QStringLiteral("journal-*.txt")}, QDir::Files)) {
            QFile f(file.filePath());
            if (f.open(QIODevice::ReadOnly))
                all += f.readAll();
        }
        return all;
    };
    ASSERT_TRUE(waitUntil([&] { return journalText().contains(" RA:0.412@\\xBA\n"); }, 10000)) << journalText().constData();
    EXPECT_TRUE(journalText().contains("!wait-connection\n"));

    // The folder goes, and a file takes its name: the next write fails.
    ASSERT_TRUE(QDir(folder).removeRecursively());
    QFile blocker(folder);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    timingServer->write("RB:0.399");
    ASSERT_TRUE(waitUntil([&] { return journalState() == QStringLiteral("stopped"); }, 10000)) << journalState().toStdString();
    timingServer->write("RA:0.500");
    // The overlay goes on.
    ASSERT_TRUE(waitUntil([&] { return form->screen().text(overlay::El::lblReaA) == "0.500"; }, 10000));
    runEventsFor(300);
    int said = 0;
    for (const Text& line : lines(overlay::El::mLog))
        said += line.startsWith("Journal: cannot write") ? 1 : 0;
    EXPECT_EQ(said, 1);
}
