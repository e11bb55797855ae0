#include "script.h"

#include "base/failure.h"
#include "escapes.h"

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
        if (trimmed.startsWith('!')) {
            steps.push_back(parseDirective(trimmed, number));
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
        steps.push_back(step);
    }
    return steps;
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
