#include "base/cp1252.h"
#include "base/failure.h"

#include <gtest/gtest.h>

using namespace quorvel;

TEST(Cp1252, DecodesTheBytesThatDifferFromLatin1ThroughTheTable)
{
    const struct {
        Text bytes;
        QString text;
    } cases[] = {
        {"Gon\xE7"
         "alves",
         QStringLiteral("Gonçalves")},
        {"00\xBA", QStringLiteral("00º")},
        {"\x80 \x93x\x94 \x96", QString::fromUtf8("€ “x” –")},
        {"", QString()},
        {Text("a\0b", 3), QString(QChar(u'a')) + QChar(u'\0') + QChar(u'b')},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(fromCp1252(c.bytes), c.text);
        EXPECT_EQ(toCp1252(c.text), c.bytes);
    }
}

TEST(Cp1252, CharactersOutsideTheCodePageBecomeQuestionMarks)
{
    EXPECT_EQ(toCp1252(QString::fromUtf8("a\u4e2db")), Text("a?b"));
}

TEST(Failure, KeepsItsWholeMessageIncludingBytesAfterANul)
{
    const Text message("'a\0b' is not a valid integer value", 35);
    const Failure failure(message);
    EXPECT_EQ(failure.message(), message);
    EXPECT_EQ(messageOf(failure), message);
}

TEST(Failure, FormatsLikePrintf)
{
    EXPECT_EQ(format("List index out of bounds (%d)", 7), Text("List index out of bounds (7)"));
    EXPECT_EQ(format("Socket Error # %d\r\n%s", 101, "Network is unreachable"),
              Text("Socket Error # 101\r\nNetwork is unreachable"));
}
