#include "base/configfile.h"

#include "base/cp1252.h"

#include <QDir>
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

// Why the journal cannot keep its day files in `folder`, or nothing: it must be an absolute
// path, exist or be made, and take a file.
QString journalFolderProblem(const QString& folder)
{
    if (!QDir::isAbsolutePath(folder))
        return QStringLiteral("\"%1\" is not an absolute path").arg(folder);
    if (!QDir().mkpath(folder))
        return QStringLiteral("the folder %1 cannot be created").arg(folder);
    QFile probe(QDir(folder).filePath(QStringLiteral(".quorvel-journal-probe")));
    if (!probe.open(QIODevice::WriteOnly | QIODevice::Truncate) || probe.write("probe", 5) != 5 || !probe.flush()) {
        const QString why = probe.errorString();
        probe.remove();
        return QStringLiteral("the folder %1 cannot be written (%2)").arg(folder, why);
    }
    probe.remove();
    return QString();
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
        {"Feed", "Token",
         [](Config& c, const QString& v) {
             c.feedToken = toCp1252(v);
             return QString();
         }},
        // The race day's journal: its folder is made and tried here, so that a folder the
        // overlay cannot write refuses the start instead of failing on the first chunk.
        {"Journal", "Folder",
         [](Config& c, const QString& v) {
             const QString why = journalFolderProblem(v);
             if (why.isEmpty())
                 c.journalFolder = QDir::cleanPath(v);
             return why;
         }},
        {"Journal", "MaxMegabytes",
         [](Config& c, const QString& v) {
             const std::optional<int> megabytes = parseInteger(v);
             if (!megabytes || *megabytes < 1)
                 return QStringLiteral("\"%1\" is not a whole number of megabytes from 1 up").arg(v);
             c.journalMaxMegabytes = *megabytes;
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
