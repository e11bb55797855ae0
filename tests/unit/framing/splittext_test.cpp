#include "race/framing.h"

#include <gtest/gtest.h>

using quorvel::TextList;
using quorvel::race::SplitText;

TEST(SplitText, NSeparatorsGiveNPlusOnePiecesKeptAsTheyAre)
{
    struct Case {
        QByteArray text;
        QByteArray separator;
        TextList pieces;
    };
    const QList<Case> cases{
        {"", "@", {""}},
        {"@", "@", {"", ""}},
        {"a", "@", {"a"}},
        {"a@b", "@", {"a", "b"}},
        {"a@b@", "@", {"a", "b", ""}},
        {"@a", "@", {"", "a"}},
        {"a@@b", "@", {"a", "", "b"}},
        {" a @ b ", "@", {" a ", " b "}},
        {"TPA:6.123:7.456", ":", {"TPA", "6.123", "7.456"}},
        {"GanhaA:", ":", {"GanhaA", ""}},
        {"GanhaA", ":", {"GanhaA"}},
        {QByteArray("a\r\n@\0b", 6), "@", {"a\r\n", QByteArray("\0b", 2)}}, // control bytes are plain bytes
        {"x--y---z", "--", {"x", "y", "-z"}}, // a longer separator is matched over its full length
        {"a@b", "", {"a@b"}}, // an empty separator cuts nothing
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toPercentEncoding().constData());
        EXPECT_EQ(SplitText(c.text, c.separator), c.pieces);
    }
}

TEST(SplitText, LongTextWithManySeparators)
{
    const QByteArray text = QByteArray("k:v@").repeated(50000);
    const TextList pieces = SplitText(text, "@");
    ASSERT_EQ(pieces.size(), 50001);
    EXPECT_EQ(pieces.front(), "k:v");
    EXPECT_EQ(pieces[49999], "k:v");
    EXPECT_EQ(pieces.back(), "");
}
