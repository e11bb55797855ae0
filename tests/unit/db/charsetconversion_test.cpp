#include "db/charsetconversion.h"

#include <gtest/gtest.h>

using quorvel::Text;
using quorvel::db::CharsetConversion;
using quorvel::db::kMaxTextBytes;

namespace {

TEST(CharsetConversion, TurnsDatabaseTextIntoWindows1252)
{
    struct Case {
        const char* charset;
        Text value;
        Text expected;
    };
    const Case cases[] = {
        {"utf8mb4",
         "Gon\xC3\xA7"
         "alves",
         "Gon\xE7"
         "alves"},
        {"utf8mb3", "Jo\xC3\xA3o", "Jo\xE3o"},
        {"UTF8", "S\xC3\xA3o", "S\xE3o"},
        // characters only Windows-1252 has in 0x80 to 0x9F
        {"utf8mb4", "\xE2\x82\xAC \xE2\x80\x9Cok\xE2\x80\x9D", "\x80 \x93ok\x94"},
        // outside the code page
        {"utf8mb4", "\xE6\x97\xA5", "?"},
        // single-byte sets arrive as they are
        {"latin1",
         "Gon\xE7"
         "alves \x80",
         "Gon\xE7"
         "alves \x80"},
        {"cp1252", "\x93x\x94", "\x93x\x94"},
        {"utf8mb4", "", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CharsetConversion(c.charset).toSystemText(c.value), c.expected) << c.charset;
}

TEST(CharsetConversion, TakesValuesWholeUpToTheLimitAndNeverSplitsACharacter)
{
    const CharsetConversion utf8("utf8mb4");
    const Text exact(kMaxTextBytes, 'a');
    EXPECT_EQ(utf8.toSystemText(exact), exact);

    // 8191 ASCII bytes, then a two-byte character straddling the limit
    const Text straddling = Text(kMaxTextBytes - 1, 'a') + "\xC3\xA7" + "tail";
    EXPECT_EQ(utf8.toSystemText(straddling), Text(kMaxTextBytes - 1, 'a'));

    const Text longLatin(kMaxTextBytes + 10, 'b');
    EXPECT_EQ(CharsetConversion("latin1").toSystemText(longLatin).size(), kMaxTextBytes);
}

} // namespace
