#include "overlay/clock.h"

#include "base/userlocale.h"

#include <cstring>
#include <optional>

namespace quorvel::overlay {
namespace {

// Locales write their formats with shorthand conversions ("%T" for "%H:%M:%S"); spell
// them out so the separator between the first two fields can be seen.
Text expandShorthands(const char* pattern)
{
    Text out;
    for (const char* p = pattern; *p; ++p) {
        if (p[0] == '%' && p[1]) {
            const char* longhand = nullptr;
            switch (p[1]) {
            case 'T': longhand = "%H:%M:%S"; break;
            case 'R': longhand = "%H:%M"; break;
            case 'r': longhand = "%I:%M:%S %p"; break;
            case 'D': longhand = "%m/%d/%y"; break;
            case 'F': longhand = "%Y-%m-%d"; break;
            default: break;
            }
            if (longhand) {
                out += longhand;
                ++p;
                continue;
            }
            out += p[0];
            out += p[1];
            ++p;
            continue;
        }
        out += *p;
    }
    return out;
}

// The text between the first two conversions of a strftime pattern, or nothing when the
// pattern has fewer than two.
std::optional<Text> textBetweenFirstTwoFields(const char* rawPattern)
{
    if (!rawPattern)
        return std::nullopt;
    const Text pattern = expandShorthands(rawPattern);
    const char* p = pattern.constData();
    const char* afterFirst = nullptr;
    while (*p) {
        if (*p != '%') {
            ++p;
            continue;
        }
        const char* start = p++;
        while (*p == 'E' || *p == 'O' || *p == '-' || *p == '_' || *p == '0' || *p == '^' || *p == '#')
            ++p;
        if (!*p)
            break;
        ++p;
        if (start[1] == '%')
            continue; // a literal percent sign
        if (!afterFirst) {
            afterFirst = p;
            continue;
        }
        return Text(afterFirst, static_cast<qsizetype>(start - afterFirst));
    }
    return std::nullopt;
}

Text separatorOf(const char* pattern, const char* fallback)
{
    const std::optional<Text> between = textBetweenFirstTwoFields(pattern);
    if (!between || between->size() > 1)
        return fallback;
    return *between; // one character, or empty: no separator at all
}

Text twoDigits(int n)
{
    Text out(2, '0');
    out[0] = static_cast<char>('0' + (n / 10) % 10);
    out[1] = static_cast<char>('0' + n % 10);
    return out;
}

} // namespace

ClockSeparators ClockSeparators::fromFormats(const char* dateFormat, const char* timeFormat)
{
    return {separatorOf(dateFormat, "/"), separatorOf(timeFormat, ":")};
}

ClockSeparators ClockSeparators::fromLocale()
{
    const UserLocale locale(LC_TIME_MASK);
    if (!locale.valid())
        return {};
    return fromFormats(locale.info(D_FMT), locale.info(T_FMT));
}

Text clockText(const QDateTime& date, const QDateTime& time, const ClockSeparators& separators)
{
    const QDate d = date.date();
    const QTime t = time.time();
    return twoDigits(d.day()) + separators.date + twoDigits(d.month()) + separators.date + twoDigits(d.year() % 100) +
        " | " + twoDigits(t.hour()) + separators.time + twoDigits(t.minute());
}

void tmrHoraTimer(Screen& screen, const ClockSeparators& separators)
{
    const QDateTime date = QDateTime::currentDateTime();
    const QDateTime time = QDateTime::currentDateTime();
    screen.setText(El::lblHora, clockText(date, time, separators));
}

} // namespace quorvel::overlay
