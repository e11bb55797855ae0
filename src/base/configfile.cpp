#include "base/configfile.h"

#include "base/cp1252.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>

#include <functional>

namespace quorvel {
namespace {

// The largest side an X screen can have.
constexpr qlonglong kMaxScreenSide = 32767;

// One setting line of the file.
struct Line {
    int number = 0;
    QString section; // empty before the first section
    QString key;
    QString value;
};

// The value after '=': a double-quoted text is taken as it is (a ';' inside it included),
// anything else up to a ';' that starts a comment, without the spaces around it.
QString lineValue(const QString& text)
{
    const QString value = text.trimmed();
    if (value.startsWith(QLatin1Char('"'))) {
        const qsizetype close = value.indexOf(QLatin1Char('"'), 1);
        if (close > 0)
            return value.mid(1, close - 1);
    }
    const qsizetype comment = value.indexOf(QLatin1Char(';'));
    return (comment < 0 ? value : value.left(comment)).trimmed();
}

// The file's lines as settings, or the refusal of one that cannot be meant. A line is empty, a
// comment (its first character, after spaces, ';' or '#'), a section head "[Name]" or a
// setting "Key=Value"; a key may be set once in a section.
Text splitLines(const QString& path, const QString& text, std::vector<Line>& out)
{
    QString section;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const int number = int(i + 1);
        const QString line = lines[i].trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')) || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            if (!line.endsWith(QLatin1Char(']')))
                return configRefusal(
                    path, {}, {},
                    QStringLiteral("line %1, \"%2\", opens a section it does not close").arg(number).arg(line));
            section = line.mid(1, line.size() - 2).trimmed();
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals < 0)
            return configRefusal(path, {}, {},
                                 QStringLiteral("line %1, \"%2\", is no setting (Key=Value) and no comment "
                                                "(a line that starts with ; or #)")
                                     .arg(number)
                                     .arg(line));
        Line setting{number, section, line.left(equals).trimmed(), lineValue(line.mid(equals + 1))};
        for (const Line& earlier : out) {
            if (earlier.section == setting.section && earlier.key == setting.key)
                return configRefusal(
                    path, setting.section, setting.key,
                    QStringLiteral("is set twice, on lines %1 and %2").arg(earlier.number).arg(number));
        }
        out.push_back(std::move(setting));
    }
    return {};
}

std::optional<quint32> parseColour(const QString& text)
{
    static const QRegularExpression hex(QStringLiteral("^#[0-9A-Fa-f]{6}$"));
    if (!hex.match(text).hasMatch())
        return std::nullopt;
    return 0xff000000u | text.mid(1).toUInt(nullptr, 16);
}

// A coordinate on a screen: a whole number of pixels, and one that an X screen (16 bits a
// side) could hold; why it is refused otherwise.
QString parseCoordinate(const QString& text, std::optional<int>& out)
{
    static const QRegularExpression integer(QStringLiteral("^[+-]?[0-9]+$"));
    if (!integer.match(text).hasMatch())
        return QStringLiteral("\"%1\" is not a whole number of pixels").arg(text);
    bool ok = false;
    const qlonglong value = text.toLongLong(&ok);
    if (!ok || value < -kMaxScreenSide || value > kMaxScreenSide)
        return QStringLiteral("%1 is outside the screen").arg(text);
    out = int(value);
    return {};
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
        {"ProgramOutput", "Left", [](Config& c, const QString& v) { return parseCoordinate(v, c.programOutput.left); }},
        {"ProgramOutput", "Top", [](Config& c, const QString& v) { return parseCoordinate(v, c.programOutput.top); }},
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
        // The token as written, no escapes taken and no list made of commas: the feed
        // refuses what it cannot compare as written (bytes beyond ASCII among them).
        {"Feed", "Token",
         [](Config& c, const QString& v) {
             c.feedToken = v.toUtf8();
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
             static const QRegularExpression whole(QStringLiteral("^[+]?[0-9]{1,6}$"));
             const int megabytes = whole.match(v).hasMatch() ? v.toInt() : 0;
             if (megabytes < 1)
                 return QStringLiteral("\"%1\" is not a whole number of megabytes from 1 up").arg(v);
             c.journalMaxMegabytes = megabytes;
             return QString();
         }},
    };
    return table;
}

} // namespace

bool isDottedIpv4(const QString& text)
{
    static const QRegularExpression dotted(
        QStringLiteral("^([0-9]{1,3})\\.([0-9]{1,3})\\.([0-9]{1,3})\\.([0-9]{1,3})$"));
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
        where +=
            section.isEmpty() ? QStringLiteral(", key %1").arg(key) : QStringLiteral(", [%1] %2").arg(section, key);
    return toCp1252(where + QStringLiteral(": ") + why);
}

ConfigFile readConfigFile(const Config& defaults)
{
    if (qEnvironmentVariableIsSet(kConfigFileVariable)) {
        const QString named = qEnvironmentVariable(kConfigFileVariable);
        if (named.isEmpty()) {
            ConfigFile file{QString(), defaults, {}};
            file.refusal = toCp1252(
                QStringLiteral("%1 is set but names no configuration file").arg(QLatin1String(kConfigFileVariable)));
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
    if (!info.isFile()) {
        // a FIFO or a device would block start-up or never end
        file.refusal = configRefusal(path, {}, {}, QStringLiteral("it is not a regular file"));
        return file;
    }
    QFile input(path);
    if (!input.open(QIODevice::ReadOnly)) {
        file.refusal = configRefusal(path, {}, {}, QStringLiteral("cannot be read (%1)").arg(input.errorString()));
        return file;
    }
    std::vector<Line> lines;
    file.refusal = splitLines(path, QString::fromUtf8(input.readAll()), lines);
    if (!file.refusal.isEmpty())
        return file;
    for (const Line& line : lines) {
        const Setting* known = nullptr;
        for (const Setting& s : settings()) {
            if (line.section == QLatin1String(s.section) && line.key == QLatin1String(s.key))
                known = &s;
        }
        if (!known) {
            file.refusal = configRefusal(path, line.section, line.key, QStringLiteral("no such setting"));
            return file;
        }
        if (line.value.isEmpty())
            continue; // an empty value is the default
        const QString why = known->set(file.config, line.value);
        if (!why.isEmpty()) {
            file.refusal = configRefusal(path, line.section, line.key, why);
            return file;
        }
    }
    return file;
}

} // namespace quorvel
