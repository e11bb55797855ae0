#include "overlay/clock.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace quorvel;
using namespace quorvel::overlay;

TEST(ClockSeparators, ComeFromTheShortDateAndTimeFormats)
{
    const struct {
        const char* date;
        const char* time;
        Text dateSeparator;
        Text timeSeparator;
    } cases[] = {
        {"%d/%m/%Y", "%T", "/", ":"}, // Brazil
        {"%d.%m.%Y", "%H.%M", ".", "."}, // full stops
        {"%m/%d/%Y", "%r", "/", ":"}, // AM/PM time
        {"%Y-%m-%d", "%H:%M", "-", ":"},
        {"%F", "%R", "-", ":"}, // shorthands spelt out
        {"%d%m%Y", "%H%M", "", ""}, // empty: nothing at all
        {"%d//%m/%Y", "%H::%M", "/", ":"}, // longer: the fallbacks
        {"%Y\xE5\xB9\xB4%m\xE6\x9C\x88%d", "%H\xE6\x99\x82%M", "/", ":"}, // multibyte
        {"%d", "%H", "/", ":"}, // only one field: unreadable
        {nullptr, nullptr, "/", ":"},
        {"%e/%m/%y", "%OH:%M", "/", ":"}, // modifiers and other fields
    };
    for (const auto& c : cases) {
        const ClockSeparators s = ClockSeparators::fromFormats(c.date, c.time);
        EXPECT_EQ(s.date, c.dateSeparator) << (c.date ? c.date : "(null)");
        EXPECT_EQ(s.time, c.timeSeparator) << (c.time ? c.time : "(null)");
    }
}

TEST(ClockSeparators, FollowTheProcessTimeLocale)
{
    const struct {
        const char* locale;
        Text date;
        Text time;
    } cases[] = {{"de_DE.UTF-8", ".", ":"}, {"pt_BR.UTF-8", "/", ":"}, {"C", "/", ":"}};
    for (const auto& c : cases) {
        setenv("LC_ALL", c.locale, 1);
        const ClockSeparators s = ClockSeparators::fromLocale();
        EXPECT_EQ(s.date, c.date) << c.locale;
        EXPECT_EQ(s.time, c.time) << c.locale;
    }
    unsetenv("LC_ALL");
}

TEST(ClockText, FormatsDateBarTime)
{
    const auto at = [](int y, int mo, int d, int h, int mi) { return QDateTime(QDate(y, mo, d), QTime(h, mi, 30)); };
    const struct {
        QDateTime date;
        QDateTime time;
        ClockSeparators separators;
        Text expected;
    } cases[] = {
        {at(2025, 12, 9, 14, 5), at(2025, 12, 9, 14, 5), {}, "09/12/25 | 14:05"},
        {at(2025, 12, 9, 14, 5), at(2025, 12, 9, 14, 5), {".", "."}, "09.12.25 | 14.05"},
        {at(2025, 12, 9, 14, 5), at(2025, 12, 9, 14, 5), {"", ""}, "091225 | 1405"},
        {at(2000, 1, 1, 0, 0), at(2000, 1, 1, 0, 0), {}, "01/01/00 | 00:00"},
        {at(2026, 3, 4, 23, 59), at(2026, 3, 4, 23, 59), {}, "04/03/26 | 23:59"},
        // Read one after the other across midnight: the old date with the new time.
        {at(2025, 12, 31, 23, 59), at(2026, 1, 1, 0, 0), {}, "31/12/25 | 00:00"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(clockText(c.date, c.time, c.separators), c.expected);
}
