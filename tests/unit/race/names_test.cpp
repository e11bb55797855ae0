#include "race/integertext.h"
#include "race/names.h"

#include "base/failure.h"

#include <gtest/gtest.h>

using namespace quorvel;
using namespace quorvel::race;

TEST(PilotNames, ShortPilotNameKeepsTheFirstAndLastWords)
{
    const struct {
        Text name;
        Text expected;
    } cases[] = {
        {"Senna", "Senna"},
        {"Ana Souza", "Ana Souza"},
        {"Jo\xE3o Carlos da Silva", "Jo\xE3o Silva"},
        {"Lima Lima", "Lima"},
        {"Ana  Souza", "Ana Souza"}, // two blanks: the last word is after the last one
        {"Ana ", "Ana "}, // the last word is empty
        {" Souza", " Souza"}, // the first word is empty
        {"", ""},
        {"Ana\tSouza", "Ana\tSouza"}, // a tab joins words
        {"Ana\tSouza Lima", "Ana\tSouza Lima"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ShortPilotName(c.name), c.expected) << c.name.constData();
}

TEST(PilotNames, FirstWordStripsControlBytesAndLastWordStripsNothing)
{
    EXPECT_EQ(FirstWord("\tAna\r Souza"), Text("Ana"));
    EXPECT_EQ(FirstWord("  "), Text(""));
    EXPECT_EQ(LastWord("Ana Souza\r"), Text("Souza\r"));
    EXPECT_EQ(LastWord("Ana"), Text("Ana"));
}

TEST(IntegerValue, AcceptsDecimalDigitsAfterBlanksAndASign)
{
    const struct {
        Text text;
        qint32 value;
    } good[] = {{"12", 12},
                {"  7", 7},
                {"-5", -5},
                {"+5", 5},
                {"0042", 42},
                {"2147483647", 2147483647},
                {"-2147483648", -2147483647 - 1}};
    for (const auto& c : good)
        EXPECT_EQ(integerValue(c.text), c.value) << c.text.constData();
}

TEST(IntegerValue, RefusesEverythingElseWithTheValueInTheMessage)
{
    for (const Text& text : {Text(""), Text(" "), Text("12 "), Text("1a"), Text("0x1A"), Text("-"), Text("2147483648"),
                             Text("-2147483649"), Text("99999999999999999999"), Text("1.5"), Text("\t3")}) {
        try {
            integerValue(text);
            ADD_FAILURE() << "accepted '" << text.constData() << "'";
        } catch (const Failure& e) {
            EXPECT_EQ(e.message(), "'" + text + "' is not a valid integer value");
        }
    }
}
