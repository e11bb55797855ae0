#include "feed/feedsettings.h"

#include <gtest/gtest.h>

using namespace quorvel::feed;

namespace {

struct Case {
    const char* listen;
    const char* token;
    const char* address; // empty: refused, or no feed when badKey is empty too
    quint16 port;
    const char* badKey;
};

} // namespace

TEST(FeedSettings, ListenAndTokenTakeTheirMeaningOrAreRefusedNamingTheKey)
{
    const Case cases[] = {
        {"", "", "", 0, ""},                       // no feed
        {"   ", "", "", 0, ""},                    // blanks: no feed either
        {"8765", "", "127.0.0.1", 8765, ""},       // a port alone is loopback
        {"8765", "s3cret", "127.0.0.1", 8765, ""}, // a token on loopback is kept and asked for
        {"127.0.0.1:9000", "", "127.0.0.1", 9000, ""},
        {"127.1.2.3:9000", "", "127.1.2.3", 9000, ""}, // all of 127/8 is loopback
        {"[::1]:9000", "", "::1", 9000, ""},
        {"0.0.0.0:8765", "abc", "0.0.0.0", 8765, ""},
        {"192.0.2.7:8765", "abc", "192.0.2.7", 8765, ""},
        {"0.0.0.0:8765", "", "", 0, "Token"},  // the whole network without a token
        {"192.0.2.7:8765", "", "", 0, "Token"},
        {"[::]:8765", "", "", 0, "Token"},
        {"8765", "two words", "", 0, "Token"},
        {"8765", "caf\xc3\xa9", "", 0, "Token"},
        {"0", "", "", 0, "Listen"},
        {"65536", "", "", 0, "Listen"},
        {"-1", "", "", 0, "Listen"},
        {"localhost:8765", "", "", 0, "Listen"}, // addresses only: no name is looked up
        {"127.0.0.1", "", "", 0, "Listen"},
        {"127.0.0.1:", "", "", 0, "Listen"},
        {"127.0.0.1:http", "", "", 0, "Listen"},
        {"::1:8765", "", "", 0, "Listen"},
        {"300.0.0.1:8765", "", "", 0, "Listen"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.listen) + " / " + c.token);
        const FeedSettingsResult result =
            parseFeedSettings(QString::fromUtf8(c.listen), QString::fromUtf8(c.token));
        EXPECT_EQ(result.badKey, QString::fromLatin1(c.badKey));
        if (*c.address) {
            ASSERT_TRUE(result.settings.has_value());
            EXPECT_EQ(result.settings->address, QHostAddress(QString::fromLatin1(c.address)));
            EXPECT_EQ(result.settings->port, c.port);
            EXPECT_EQ(result.settings->token, QByteArray(c.token));
        } else {
            EXPECT_FALSE(result.settings.has_value());
            EXPECT_EQ(result.error.isEmpty(), !*c.badKey);
        }
    }
}
