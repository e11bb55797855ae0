#include "base/configfile.h"

#include "base/cp1252.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QStringList>

#include <functional>

namespace quorvel {
namespace {

// One value of the file: its text (a value with commas is read back as a list by
// QSettings: joined again, it is still refused where a comma has no place).
QString valueText(const QSettings& settings, const QString& key)
{
    const QVariant value = settings.value(key);
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    return value.toString().trimmed();
}

// One value as the file holds it, without QSettings' reading: no escapes taken, no list
// made of commas, no conversion of its bytes. Up to a ';', which starts a comment; the
// last such line counts, as with QSettings.
QByteArray rawValueText(const QString& path, QByteArrayView section, QByteArrayView key)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArray value;
    QByteArray current;
    for (QByteArray line : file.readAll().split('\n')) {
        line = line.trimmed();
        if (line.startsWith('[') && line.endsWith(']')) {
            current = line.mid(1, line.size() - 2).trimmed();
            continue;
        }
        const qsizetype eq = line.indexOf('=');
        if (eq < 0 || current != section || line.first(eq).trimmed() != key)
            continue;
        value = line.mid(eq + 1);
        const qsizetype comment = value.indexOf(';');
        if (comment >= 0)
            value.truncate(comment);
        value = value.trimmed();
    }
    return value;
}

std::optional<quint32> parseColour(const QString& text)
{
    static const QRegularExpression hex(QStringLiteral("^#[0-9A-Fa-f]{6}$"));
    if (!hex.match(text).hasMatch())
        return std::nullopt;
    return 0xff000000u | text.mid(1).toUInt(nullptr, 16);
}

std::optional<int> parseInteger(const QString& text)
{
    static const QRegularExpression integer(QStringLiteral("^[+-]?[0-9]{1,6}$"));
    if (!integer.match(text).hasMatch())
        return std::nullopt;
    return text.toInt();
}

// Each key the file may hold, and how its value goes into the Config. A setter returns
// why the value was refused, or nothing.
struct Setting {
    const char* section;
    const char* key;
    std::function<QString(Config&, const QString&)> set;
};

const std::vector<Setting>& settings()
{
    static const std::vector<Setting> table = {
        {"TimingServer", "Address",
         [](Config& c, const QString& v) {
             if (!isDottedIpv4(v))
                 return QStringLiteral("\"%1\" is not an IPv4 address such as 192.168.0.100").arg(v);
             c.fixedServerAddress = v.toLatin1();
             return QString();
         }},
        {"ProgramOutput", "Screen",
         [](Config& c, const QString& v) {
             c.programOutput.screen = v;
             return QString();
         }},
        {"ProgramOutput", "Left",
         [](Config& c, const QString& v) {
             c.programOutput.left = parseInteger(v);
             return c.programOutput.left ? QString() : QStringLiteral("\"%1\" is not a whole number of pixels").arg(v);
         }},
        {"ProgramOutput", "Top",
         [](Config& c, const QString& v) {
             c.programOutput.top = parseInteger(v);
             return c.programOutput.top ? QString() : QStringLiteral("\"%1\" is not a whole number of pixels").arg(v);
         }},
        {"ProgramOutput", "KeyColour",
         [](Config& c, const QString& v) {
             const std::optional<quint32> colour = parseColour(v);
             if (!colour)
                 return QStringLiteral("\"%1\" is not a colour such as #FF00FF").arg(v);
             c.programOutput.keyColour = *colour;
             return QString();
         }},
        // The feed's address and token are checked together where the feed is made: a
        // token is needed only off loopback.
        {"Feed", "Listen",
         [](Config& c, const QString& v) {
             c.feedListen = toCp1252(v);
             return QString();
         }},
        // The token is taken from the file's own bytes (see readConfigFile): the feed
        // refuses what it cannot compare as written.
        {"Feed", "Token",
         [](Config&, const QString&) {
             return QString();
         }},
    };
    return table;
}

} // namespace

bool isDottedIpv4(const QString& text)
{
    static const QRegularExpression dotted(QStringLiteral("^([0-9]{1,3})\\.([0-9]{1,3})\\.([0-9]{1,3})\\.([0-9]{1,3})$"));
    const QRegularExpressionMatch match = dotted.match(text);
    if (!match.hasMatch())
        return false;
    for (int i = 1; i <= 4; ++i) {
        if (match.captured(i).toInt() > 255)
            return false;
    }
    return true;
}

Text configRefusal(const QString& path, const QString& section, const QString& key, const QString& why)
{
    QString where = QStringLiteral("Configuration file %1").arg(path);
    if (!key.isEmpty())
        where += section.isEmpty() ? QStringLiteral(", key %1").arg(key)
                                   : QStringLiteral(", [%1] %2").arg(section, key);
    return toCp1252(where + QStringLiteral(": ") + why);
}

ConfigFile readConfigFile(const Config& defaults)
{
    if (qEnvironmentVariableIsSet(kConfigFileVariable)) {
        const QString named = qEnvironmentVariable(kConfigFileVariable);
        if (named.isEmpty()) {
            ConfigFile file{QString(), defaults, {}};
            file.refusal = toCp1252(QStringLiteral("%1 is set but names no configuration file")
                                        .arg(QLatin1String(kConfigFileVariable)));
            return file;
        }
        return readConfigFile(named, true, defaults);
    }
    return readConfigFile(QString::fromLatin1(kConfigFilePath), false, defaults);
}

ConfigFile readConfigFile(const QString& path, bool mustExist, const Config& defaults)
{
    ConfigFile file{path, defaults, {}};
    const QFileInfo info(path);
    if (!info.exists()) {
        if (mustExist)
            file.refusal = configRefusal(path, {}, {}, QStringLiteral("there is no such file"));
        else
            file.path.clear();
        return file;
    }
    if (info.isDir()) {
        file.refusal = configRefusal(path, {}, {}, QStringLiteral("it is a folder, not a file"));
        return file;
    }
    // QSettings reads an unreadable file as an empty one: look first.
    QFile probe(path);
    if (!probe.open(QIODevice::ReadOnly)) {
        file.refusal = configRefusal(path, {}, {}, QStringLiteral("cannot be read (%1)").arg(probe.errorString()));
        return file;
    }
    probe.close();

    const QSettings ini(path, QSettings::IniFormat);
    if (ini.status() != QSettings::NoError) {
        file.refusal = configRefusal(path, {}, {}, QStringLiteral("is not a readable INI file"));
        return file;
    }
    for (const QString& name : ini.allKeys()) {
        const qsizetype slash = name.indexOf(QLatin1Char('/'));
        const QString section = slash < 0 ? QString() : name.left(slash);
        const QString key = slash < 0 ? name : name.mid(slash + 1);
        const Setting* known = nullptr;
        for (const Setting& s : settings()) {
            if (section == QLatin1String(s.section) && key == QLatin1String(s.key))
                known = &s;
        }
        if (!known) {
            file.refusal = configRefusal(path, section, key, QStringLiteral("no such setting"));
            return file;
        }
        if (section == QLatin1String("Feed") && key == QLatin1String("Token")) {
            file.config.feedToken = rawValueText(path, "Feed", "Token");
            continue;
        }
        const QString value = valueText(ini, name);
        if (value.isEmpty())
            continue; // an empty value is the default
        const QString why = known->set(file.config, value);
        if (!why.isEmpty()) {
            file.refusal = configRefusal(path, section, key, why);
            return file;
        }
    }
    return file;
}

} // namespace quorvel
