#include "appfixture.h"

#include <sys/socket.h>

using namespace quorvel;
using overlay::El;

TEST_F(AppFixture, WithNoServerEveryRetryLogsTheRefusalAndTheCycleGoesOn)
{
    startForm();
    ASSERT_TRUE(waitUntil([&] { return count(El::Memo1, "S Erro") >= 3; }, 10000));
    EXPECT_GE(count(El::Memo1, "TimerErro"), 3);
    EXPECT_TRUE(contains(El::mLog, "Asynchronous socket error 111"));
    EXPECT_TRUE(contains(El::mLog, "SEM SERVIDOR"));
    // Memo1 reads TimerErro, S Erro, TimerErro, S Erro...
    const TextList memo = lines(El::Memo1);
    ASSERT_GE(memo.size(), 5);
    EXPECT_EQ(memo[0], "Memo1");
    EXPECT_EQ(memo[1], "TimerErro");
    EXPECT_EQ(memo[2], "S Erro");
}

TEST_F(AppFixture, AServerThatAppearsGetsTheAnnouncementAloneAndTheRetriesStop)
{
    startForm();
    ASSERT_TRUE(waitUntil([&] { return contains(El::Memo1, "S Erro"); }, 5000));
    QTcpSocket* timingServer = acceptConnection();
    ASSERT_NE(timingServer, nullptr);
    EXPECT_EQ(readUntil(timingServer, 17), "Quorvel:Conectado");
    const int retries = count(El::Memo1, "TimerErro");
    runEventsFor(1200);
    EXPECT_EQ(timingServer->readAll(), "") << "nothing else is ever sent";
    EXPECT_EQ(count(El::Memo1, "TimerErro"), retries) << "a connected link has no retry ticks";
    EXPECT_EQ(form->linkState(), link::LinkState::Connected);
}

TEST_F(AppFixture, AServerCloseGetsTheFarewellAndTheNextRetryReconnects)
{
    startForm();
    QTcpSocket* first = acceptConnection();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(readUntil(first, 17), "Quorvel:Conectado");
    // A half close: the farewell can still reach us on this connection.
    ::shutdown(static_cast<int>(first->socketDescriptor()), SHUT_WR);
    EXPECT_EQ(readUntil(first, 20), "VurazeZO:Desconectou");
    QTcpSocket* second = acceptConnection();
    ASSERT_NE(second, nullptr) << "no reconnection after the server's close";
    EXPECT_EQ(readUntil(second, 17), "Quorvel:Conectado");
}

TEST_F(AppFixture, AResetGivesALinkErrorAndAReconnection)
{
    startForm();
    QTcpSocket* first = acceptConnection();
    ASSERT_NE(first, nullptr);
    readUntil(first, 17);
    const int errorsBefore = count(El::Memo1, "S Erro");
    const linger abort{1, 0};
    ::setsockopt(static_cast<int>(first->socketDescriptor()), SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    first->abort();
    ASSERT_TRUE(waitUntil([&] { return count(El::Memo1, "S Erro") > errorsBefore; }, 3000));
    QTcpSocket* second = acceptConnection();
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(readUntil(second, 17), "Quorvel:Conectado");
    EXPECT_EQ(count(El::mLog, "VurazeZO:Desconectou"), 0);
}
