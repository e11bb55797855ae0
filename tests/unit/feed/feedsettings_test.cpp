#include "feed/feedsettings.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace quorvel;
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
        {"", "", "", 0, ""}, // no feed
        {"   ", "", "", 0, ""}, // blanks: no feed either
        {"8765", "", "127.0.0.1", 8765, ""}, // a port alone is loopback
        {"8765", "s3cret", "127.0.0.1", 8765, ""}, // a token on loopback is kept and asked for
        {"127.0.0.1:9000", "", "127.0.0.1", 9000, ""},
        {"127.1.2.3:9000", "", "127.1.2.3", 9000, ""}, // all of 127/8 is loopback
        {"[::1]:9000", "", "::1", 9000, ""},
        {"0.0.0.0:8765", "0123456789abcdef", "0.0.0.0", 8765, ""},
        {"192.0.2.7:8765", "p+x/Y=!#$%&*-.^_~", "192.0.2.7", 8765, ""},
        {"8765", "a", "127.0.0.1", 8765, ""}, // short on loopback: this computer only
        {"0.0.0.0:8765", "0123456789abcde", "", 0, "Token"}, // too short for a network
        {"192.0.2.7:8765", "s3cret", "", 0, "Token"},
        {"0.0.0.0:8765", "", "", 0, "Token"}, // the whole network without a token
        {"192.0.2.7:8765", "", "", 0, "Token"},
        {"[::]:8765", "", "", 0, "Token"},
        {"8765", "two words", "", 0, "Token"},
        {"8765", "caf\xc3\xa9", "", 0, "Token"},
        {"8765", "ab\\x41cd", "", 0, "Token"},
        {"8765", "ab,cd", "", 0, "Token"},
        {"8765", "\"abcd\"", "", 0, "Token"},
        {"8765", "ab'cd", "", 0, "Token"},
        {"8765", "ab\tcd", "", 0, "Token"},
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
        const FeedSettingsResult result = parseFeedSettings(QString::fromUtf8(c.listen), QString::fromUtf8(c.token));
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

// The installer's file: a feed that would reach the network without a token, or a Listen
// that does not parse, is refused naming the file and the key; a good or absent [Feed]
// section is no refusal.
// The token is what the file holds, byte for byte, up to a comment.
TEST(FeedSettings, TheFilesFeedKeysAreReadOrRefusedNamingTheFileAndTheKey)
{
    const struct {
        const char* contents;
        const char* named; // empty: accepted
        const char* token = nullptr; // when accepted, the token read, if given
    } cases[] = {
        {"", ""},
        {"[Feed]\nListen=8765\nToken=0123456789abcdef\n", "", "0123456789abcdef"},
        {"[Feed]\nListen=8765\nToken = p+x/Y=!#$%&*-.^_~   ; the crew's\n", "", "p+x/Y=!#$%&*-.^_~"},
        {"[Feed]\nListen=8765\nToken=ab%41cd+\n", "", "ab%41cd+"},
        {"[Feed]\nListen=\nToken=\n", ""},
        {"[Feed]\nListen=8765\n", ""},
        {"[Feed]\nListen=0.0.0.0:8765\nToken=0123456789abcdef ; the crew's\n", ""},
        {"[Feed]\nListen=0.0.0.0:8765\nToken=s3cret\n", "[Feed] Token"},
        // the file's own bytes: not converted, no escape taken, no list made of commas
        {"[Feed]\nListen=8765\nToken=\xd0\xbf\xd0\xb0\xd1\x80\xd0\xbe\xd0\xbb\xd1\x8c\n", "[Feed] Token"},
        {"[Feed]\nListen=8765\nToken=ab\\x41cd\n", "[Feed] Token"},
        {"[Feed]\nListen=8765\nToken=ab, cd\n", "[Feed] Token"},
        {"[Feed]\nListen=8765\nToken=ab,cd\n", "[Feed] Token"},
        {"[Feed]\nListen=0.0.0.0:8765\n", "[Feed] Token"},
        {"[Feed]\nListen=192.0.2.7:8765\nToken=\n", "[Feed] Token"},
        {"[Feed]\nListen=8765\nToken=\"two words\"\n", "[Feed] Token"},
        {"[Feed]\nListen=localhost:8765\n", "[Feed] Listen"},
        {"[Feed]\nListen=70000\n", "[Feed] Listen"},
    };
    QTemporaryDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.contents);
        const QString path = dir.filePath(QStringLiteral("quorvel.conf"));
        QFile out(path);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(c.contents);
        out.close();
        const ConfigFile file = readConfigFile(path, true);
        ASSERT_TRUE(file.refusal.isEmpty()) << file.refusal.constData();
        const QString refusal = QString::fromLatin1(feedRefusal(file));
        if (!*c.named) {
            EXPECT_TRUE(refusal.isEmpty()) << refusal.toStdString();
            if (c.token) {
                EXPECT_EQ(file.config.feedToken, QByteArray(c.token));
            }
            continue;
        }
        EXPECT_TRUE(refusal.startsWith(QStringLiteral("Configuration file ") + path)) << refusal.toStdString();
        EXPECT_TRUE(refusal.contains(QLatin1String(c.named))) << refusal.toStdString();
    }
}
