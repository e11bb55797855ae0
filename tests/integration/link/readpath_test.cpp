// The read path as the form wires it: the link's chunks go to the framing, whose read pause
// is the link's, over a real loopback connection.

#include "base/timer.h"
#include "overlay/screen.h"
#include "race/readhandler.h"
#include "recorder.h"
#include "wait.h"

#include <QTcpServer>
#include <QTcpSocket>

#include <gtest/gtest.h>

using quorvel::Timer;
using quorvel::link::LinkState;
using quorvel::link::TcpClient;
using quorvel::overlay::El;
using quorvel::overlay::Screen;
using quorvel::race::RaceMessage;
using quorvel::race::ReadHandler;

TEST(ReadPath, DataArrivingWhileAChunkIsAppliedIsTheNextChunkNotANestedOne)
{
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    Screen screen;
    Timer tmrResult("tmrResult", 5000);
    Timer tmrIntervalo("tmrIntervalo", 60000);
    ReadHandler framing(screen, tmrResult, tmrIntervalo);
    LinkRecorder events;
    TcpClient client(events, "127.0.0.1", server.serverPort());
    events.client = &client;
    events.onChunk = [&](const QByteArray& chunk) { framing.S_ClienteRead(chunk); };
    framing.setPauseReads([&](bool paused) { client.setReadPaused(paused); });

    client.requestConnect();
    ASSERT_TRUE(waitUntil([&] { return server.hasPendingConnections() || client.state() == LinkState::Connected; }));
    ASSERT_TRUE(waitUntil([&] { return client.state() == LinkState::Connected; }));
    QTcpSocket* peer = server.nextPendingConnection();
    ASSERT_NE(peer, nullptr);

    int depth = 0;
    int deepest = 0;
    QList<QByteArray> applied;
    framing.setApplyRaceMessage([&](const RaceMessage& m) {
        ++depth;
        deepest = std::max(deepest, depth);
        applied.append(m.key);
        if (m.key == "a1") {
            // The server's next write arrives while this chunk still has items to go; the
            // event loop runs before each of them.
            peer->write("b1:x@b2:x");
            peer->flush();
            runEventsFor(200);
        }
        --depth;
    });
    peer->write("a1:x@a2:x@a3:x");
    ASSERT_TRUE(waitUntil([&] { return applied.size() == 5; }));
    EXPECT_EQ(applied, (QList<QByteArray>{"a1", "a2", "a3", "b1", "b2"}));
    EXPECT_EQ(deepest, 1);
    EXPECT_EQ(events.chunks, 2);
    EXPECT_FALSE(client.readPaused());
    EXPECT_EQ(screen.element(El::ListBox1).items, (quorvel::TextList{"b1:x", "b2:x"}));
}
