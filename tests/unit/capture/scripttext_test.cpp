// What the capture converter writes as a step's text must come back from the script reader
// as exactly the bytes captured, whatever they are.

#include "escapes.h"
#include "script.h"

#include <gtest/gtest.h>

using namespace quorvel;
using namespace quorvel::sim;

namespace {

Text readBack(const Text& written)
{
    const std::vector<Step> steps = parseScript("25 " + written + "\r\n");
    EXPECT_EQ(steps.size(), 1u) << written.toStdString();
    if (steps.size() != 1)
        return "<no step>";
    EXPECT_EQ(steps[0].kind, Step::Kind::Send) << written.toStdString();
    EXPECT_EQ(steps[0].delayMs, 25);
    return steps[0].text;
}

bool plainAscii(const Text& t)
{
    for (const char c : t) {
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E)
            return false;
    }
    return true;
}

TEST(ScriptText, EveryByteAloneComesBack)
{
    for (int b = 0; b < 256; ++b) {
        const Text bytes(1, static_cast<char>(b));
        const Text written = escapeScriptText(bytes);
        EXPECT_TRUE(plainAscii(written)) << "byte " << b;
        EXPECT_EQ(readBack(written), bytes) << "byte " << b << " written as " << written.toStdString();
    }
}

TEST(ScriptText, TextsThatLookLikeSomethingElseComeBack)
{
    const Text cases[] = {
        "!close", // a directive, were the "!" left as it is
        "!reset@Nova:",
        "Nova: ", // a trailing blank an editor would drop
        "  RA:0.412", // leading blanks
        "# not a comment",
        "\\x41 is not A", // an escape written literally by the server
        "a\\\\b\\", // backslashes, one at the very end
        "pilA:Patr\xED"
        "cia\r\n@apelidoA:\x80\x9F\xFF", // line ends inside, Windows-1252 letters
        QByteArray("NUL\0inside", 10),
        "@@@:::",
    };
    for (const Text& bytes : cases) {
        const Text written = escapeScriptText(bytes);
        EXPECT_TRUE(plainAscii(written)) << written.toStdString();
        EXPECT_EQ(readBack(written), bytes) << written.toStdString();
    }
}

TEST(ScriptText, OrdinaryMessagesStayReadable)
{
    EXPECT_EQ(escapeScriptText("cod_pilotoA:102@pilA:Ana"), "cod_pilotoA:102@pilA:Ana");
    EXPECT_EQ(escapeScriptText("posA:1\xBA"), "posA:1\\xBA");
    EXPECT_EQ(escapeScriptText("a!b c"), "a!b c");
}

} // namespace
