#include "feed/feedsettings.h"

#include "base/cp1252.h"

namespace quorvel::feed {
namespace {

std::optional<quint16> parsePort(QStringView text)
{
    if (text.isEmpty() || text.size() > 5)
        return std::nullopt;
    for (QChar c : text)
        if (c < u'0' || c > u'9')
            return std::nullopt;
    const int port = text.toInt();
    if (port < 1 || port > 65535)
        return std::nullopt;
    return quint16(port);
}

FeedSettingsResult refused(const char* key, const QString& error)
{
    return {std::nullopt, QString::fromLatin1(key), error};
}

} // namespace

FeedSettingsResult parseFeedSettings(const QString& listen, const QString& token)
{
    const QString value = listen.trimmed();
    if (value.isEmpty())
        return {};

    FeedSettings settings;
    if (const std::optional<quint16> portAlone = parsePort(value)) {
        settings.port = *portAlone;
    } else {
        const qsizetype colon = value.lastIndexOf(u':');
        if (colon < 0)
            return refused("Listen", QStringLiteral("\"%1\" is neither a port nor address:port").arg(value));
        QStringView host = QStringView(value).left(colon);
        const std::optional<quint16> port = parsePort(QStringView(value).mid(colon + 1));
        if (!port)
            return refused("Listen", QStringLiteral("\"%1\" has no port from 1 to 65535").arg(value));
        // an IPv6 address carries its own colons, so it comes in brackets
        if (host.startsWith(u'[') && host.endsWith(u']'))
            host = host.mid(1, host.size() - 2);
        else if (host.contains(u':'))
            return refused("Listen", QStringLiteral("\"%1\": an IPv6 address goes in brackets").arg(value));
        const QHostAddress address(host.toString());
        if (address.isNull())
            return refused("Listen", QStringLiteral("\"%1\" is not an IP address").arg(host.toString()));
        settings.address = address;
        settings.port = *port;
    }

    // Compared byte for byte as the installer wrote it: nothing a file reader or a URL
    // could read otherwise (a blank, an escape, a list's comma, a quote).
    for (QChar c : token)
        if (c.unicode() < 0x21 || c.unicode() > 0x7e || c == u'\\' || c == u',' || c == u'"' || c == u'\'')
            return refused("Token",
                           QStringLiteral("the token may hold only printable ASCII characters without blanks, "
                                          "backslashes, commas or quotes"));
    settings.token = token.toLatin1();
    if (!settings.address.isLoopback() && settings.token.size() < kMinNetworkTokenLength)
        return refused("Token",
                       QStringLiteral("a feed on %1, which is not a loopback address, needs a token of at "
                                      "least %2 characters")
                           .arg(settings.address.toString())
                           .arg(kMinNetworkTokenLength));
    return {settings, {}, {}};
}

Text feedRefusal(const ConfigFile& file)
{
    const FeedSettingsResult parsed =
        parseFeedSettings(fromCp1252(file.config.feedListen), fromCp1252(file.config.feedToken));
    if (parsed.error.isEmpty())
        return {};
    return configRefusal(file.path, QStringLiteral("Feed"), parsed.badKey, parsed.error);
}

} // namespace quorvel::feed
