#include "script.h"

#include "base/failure.h"
#include "escapes.h"

#include <QRegularExpression>

#include <algorithm>

namespace quorvel::sim {

namespace {

bool isDigits(const Text& t)
{
    if (t.isEmpty())
        return false;
    for (const char c : t) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

// "!name args": the directive named, its arguments checked.
Step parseDirective(const Text& written, int line)
{
    Step step;
    step.line = line;
    const qsizetype blank = written.indexOf(' ');
    const Text name = blank < 0 ? written : written.left(blank);
    const Text args = blank < 0 ? Text() : written.mid(blank + 1);
    if (name == "!close" && args.isEmpty()) {
        step.kind = Step::Kind::Close;
    } else if (name == "!reset" && args.isEmpty()) {
        step.kind = Step::Kind::Reset;
    } else if (name == "!wait-connection" && args.isEmpty()) {
        step.kind = Step::Kind::WaitConnection;
    } else if (name == "!wait-file" && !args.isEmpty()) {
        step.kind = Step::Kind::WaitFile;
        step.text = args;
    } else if (name == "!quit" && args.isEmpty()) {
        step.kind = Step::Kind::Quit;
    } else if (name == "!mark" && !args.isEmpty()) {
        step.kind = Step::Kind::Mark;
        step.text = args;
    } else if (name == "!udp" && (args == "on" || args == "off")) {
        step.kind = args == "on" ? Step::Kind::UdpOn : Step::Kind::UdpOff;
    } else if (name == "!repeat") {
        const qsizetype gap = args.indexOf(' ');
        const Text count = gap < 0 ? args : args.left(gap);
        if (!isDigits(count) || gap < 0)
            throw Failure(format("line %d: expected \"!repeat <count> <text>\"", line));
        step.kind = Step::Kind::Repeat;
        step.count = count.toInt();
        step.text = unescapeBytes(args.mid(gap + 1));
    } else {
        throw Failure(format("line %d: unknown directive \"%s\"", line, written.constData()));
    }
    return step;
}

} // namespace

std::vector<Step> parseScript(const Text& content)
{
    std::vector<Step> steps;
    const TextList lines = content.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const int number = static_cast<int>(i + 1);
        Text line = lines[i];
        if (line.endsWith('\r'))
            line.chop(1);
        const Text trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith('#'))
            continue;
        qint64 timeOfDayMs = -1;
        qint64 monotonicMs = -1;
        if (line.startsWith('[')) {
            const qsizetype close = line.indexOf("] ");
            const Text stamp = close < 0 ? Text() : line.mid(1, close - 1);
            const qsizetype gap = stamp.indexOf(' ');
            timeOfDayMs = gap < 0 ? -1 : parseTimeOfDay(QString::fromLatin1(stamp.left(gap)));
            const Text monotonic = gap < 0 ? Text() : stamp.mid(gap + 1);
            if (timeOfDayMs < 0 || !isDigits(monotonic))
                throw Failure(format("line %d: expected a stamp \"[HH:MM:SS.mmm <ms>] \"", number));
            monotonicMs = monotonic.toLongLong();
            line = line.mid(close + 2);
            if (line.trimmed().isEmpty())
                throw Failure(format("line %d: a stamp without a step", number));
        }
        const auto stamped = [&](Step step) {
            step.timeOfDayMs = timeOfDayMs;
            step.monotonicMs = monotonicMs;
            return step;
        };
        if (line.trimmed().startsWith('!')) {
            steps.push_back(stamped(parseDirective(line.trimmed(), number)));
            continue;
        }
        const qsizetype blank = line.indexOf(' ');
        const Text delay = blank < 0 ? line : line.left(blank);
        if (!isDigits(delay))
            throw Failure(format("line %d: expected \"<delay ms> <text>\"", number));
        const Text rest = blank < 0 ? Text() : line.mid(blank + 1);
        Step step;
        if (rest.startsWith('!'))
            step = parseDirective(rest.trimmed(), number);
        else
            step.text = unescapeBytes(rest);
        step.delayMs = delay.toInt();
        step.line = number;
        steps.push_back(stamped(step));
    }
    return steps;
}

qint64 parseTimeOfDay(const QString& written)
{
    static const QRegularExpression pattern(QStringLiteral("^(\\d{2}):(\\d{2})(?::(\\d{2})(?:\\.(\\d{3}))?)?$"));
    const QRegularExpressionMatch m = pattern.match(written);
    if (!m.hasMatch())
        return -1;
    const int hours = m.captured(1).toInt();
    const int minutes = m.captured(2).toInt();
    const int seconds = m.captured(3).isEmpty() ? 0 : m.captured(3).toInt();
    const int millis = m.captured(4).isEmpty() ? 0 : m.captured(4).toInt();
    if (hours > 23 || minutes > 59 || seconds > 59)
        return -1;
    return ((hours * 60LL + minutes) * 60 + seconds) * 1000 + millis;
}

std::vector<Step> selectStretch(const std::vector<Step>& steps, qint64 fromMs, qint64 toMs)
{
    const bool stamped = std::any_of(steps.begin(), steps.end(), [](const Step& s) { return s.timeOfDayMs >= 0; });
    if (!stamped)
        throw Failure("--from and --to need a script with time stamps, such as the overlay's journal");
    std::vector<Step> stretch;
    Step wait;
    wait.kind = Step::Kind::WaitConnection;
    stretch.push_back(wait);
    qint64 at = -1; // a line without a stamp is as late as the stamped line before it
    for (const Step& step : steps) {
        if (step.timeOfDayMs >= 0)
            at = step.timeOfDayMs;
        if (at < 0 || (fromMs >= 0 && at < fromMs) || (toMs >= 0 && at >= toMs))
            continue;
        stretch.push_back(step);
        if (stretch.size() == 2)
            stretch.back().delayMs = 0;
    }
    if (stretch.size() == 1)
        throw Failure("nothing in the script lies between --from and --to");
    return stretch;
}

Step parseTypedLine(const Text& line)
{
    Text typed = line;
    if (typed.endsWith('\r'))
        typed.chop(1);
    if (typed.startsWith('!'))
        return parseDirective(typed.trimmed(), 0);
    Step step;
    step.text = unescapeBytes(typed);
    return step;
}

} // namespace quorvel::sim
