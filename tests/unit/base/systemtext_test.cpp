#include "base/systemtext.h"
#include "processlocale.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <netdb.h>

using namespace quorvel;

// The reasons an operator under pt_BR.UTF-8 reads, in the messages' code page: one byte for
// each accented letter, where the C library gives two.
TEST(SystemReason, IsTheOperatorsLanguageInWindows1252)
{
    QUORVEL_UNDER_PT_BR(locale);
    const struct {
        int error;
        Text reason;
    } cases[] = {
        {ENOENT, "Arquivo ou diret\xF3rio inexistente"},
        {ENETUNREACH, "A rede est\xE1 fora de alcance"},
        {ECONNREFUSED, "Conex\xE3o recusada"},
        {EISDIR, "\xC9 um diret\xF3rio"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.error);
        EXPECT_EQ(systemReason(c.error), c.reason);
    }
    EXPECT_EQ(fromLocaleText(::hstrerror(NO_ADDRESS)), Text("N\xE3o h\xE1 endere\xE7o associado com o nome"));
}

TEST(SystemReason, IsPlainEnglishInTheCLocale)
{
    ProcessLocale locale("C");
    ASSERT_TRUE(locale.active());
    EXPECT_EQ(systemReason(ENOENT), Text("No such file or directory"));
}

TEST(LocaleText, BytesTheLocaleCannotDecodeBecomeQuestionMarks)
{
    QUORVEL_UNDER_PT_BR(locale);
    const struct {
        const char* text;
        Text expected;
    } cases[] = {
        {"diret\xC3\xB3rio", "diret\xF3rio"},
        {"a\xC3", "a?"}, // cut inside a character
        {"\xFF"
         "b",
         "?b"}, // no UTF-8 at all
        {"\xE2\x82\xAC 5", "\x80 5"}, // the euro sign has a place in the code page
        {"\xE4\xB8\xAD", "?"}, // a character it has no place for
        {"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(fromLocaleText(c.text), c.expected);
    }
    EXPECT_EQ(fromLocaleText(nullptr), Text());
}
