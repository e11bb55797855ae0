#pragma once

#include "base/configfile.h"
#include "base/text.h"

#include <QByteArray>
#include <QHostAddress>
#include <QString>

#include <optional>

namespace quorvel::feed {

// Where the feed listens and the token its clients must carry (empty: none asked for).
struct FeedSettings {
    QHostAddress address = QHostAddress(QHostAddress::LocalHost);
    quint16 port = 0;
    QByteArray token;
};

// What the installer's [Feed] keys come to: no feed (empty Listen), a feed, or a refusal
// naming the key that is wrong.
struct FeedSettingsResult {
    std::optional<FeedSettings> settings;
    QString badKey; // "Listen" or "Token"; empty when the values are good
    QString error;
};

// A token that guards the feed on a network is long enough not to be guessed.
inline constexpr int kMinNetworkTokenLength = 16;

// Listen: empty for no feed; a port alone ("8765") for 127.0.0.1 at that port; or
// address:port ("0.0.0.0:8765", "[::1]:8765"). Token: printable ASCII without blanks,
// backslashes, commas or quotes; required, of at least kMinNetworkTokenLength characters,
// when the address is not a loopback one, because the feed then reaches the whole network.
FeedSettingsResult parseFeedSettings(const QString& listen, const QString& token);

// The refusal of the file's [Feed] keys, naming the file and the key; empty when they are
// good or there is no feed.
Text feedRefusal(const ConfigFile& file);

} // namespace quorvel::feed
