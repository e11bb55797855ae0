// The system's reasons in the link's messages come in the operator's language, as
// Windows-1252 like every other text of mLog and Memo1. Run in a private network (see
// CMakeLists.txt), where no route leads to 10.0.0.0/8.

#include "processlocale.h"
#include "recorder.h"
#include "wait.h"

#include "base/failure.h"
#include "link/discovery.h"

#include <gtest/gtest.h>

using namespace quorvel;
using quorvel::link::LinkState;

TEST(SystemReasons, ADiscoveryWithoutARouteSaysWhyInPortuguese)
{
    QUORVEL_UNDER_PT_BR(locale);
    Config config;
    config.broadcastAddress = "10.255.255.255";
    link::DiscoverySocket socket(config);
    try {
        socket.startRun([](const link::DiscoveryOutcome&) {});
        ADD_FAILURE() << "the request went out without a route";
    } catch (const Failure& e) {
        EXPECT_EQ(e.message(), Text("Socket Error # 101\r\nA rede est\xE1 fora de alcance"));
    }
}

TEST(SystemReasons, AConnectWithoutARouteSaysWhyInPortuguese)
{
    QUORVEL_UNDER_PT_BR(locale);
    Link link(3335, "10.1.2.3");
    link.client->requestConnect();
    ASSERT_TRUE(waitUntil([&] { return link.client->state() == LinkState::Down; }, 30000));
    ASSERT_FALSE(link.events.events.isEmpty());
    EXPECT_EQ(link.events.events.last(),
              "failure Windows socket error: A rede est\xE1 fora de alcance (101), on API 'connect' [Down closed]");
}
