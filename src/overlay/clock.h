#pragma once

#include "base/text.h"
#include "overlay/screen.h"

#include <QDateTime>

namespace quorvel::overlay {

// The date and time separators of the regional settings. Linux announces no change of
// its regional settings to a running program, so they are read once, at start-up.
struct ClockSeparators {
    Text date = "/";
    Text time = ":";

    // From the process's LC_TIME (LC_ALL or LANG when unset): the character between day
    // and month of the short date format and between hour and minute of the short time
    // format. One character: that one; longer or unreadable: "/" and ":"; empty: nothing.
    static ClockSeparators fromLocale();
    // The same rule on given formats (strftime patterns such as "%d.%m.%Y").
    static ClockSeparators fromFormats(const char* dateFormat, const char* timeFormat);
};

// "dd/mm/yy" of the date, " | ", "hh:MM" of the time, with the given separators.
Text clockText(const QDateTime& date, const QDateTime& time, const ClockSeparators& separators);

// The clock tick: reads the date and then the time, one after the other (so just before
// midnight the label can show the old date with 00:00 until the next tick).
void tmrHoraTimer(Screen& screen, const ClockSeparators& separators);

} // namespace quorvel::overlay
