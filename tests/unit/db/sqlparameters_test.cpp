#include "db/sqlparameters.h"

#include <gtest/gtest.h>

#include <limits>

using quorvel::Text;
using quorvel::db::SqlParameters;

namespace {

struct Binding {
    const char* name;
    std::optional<qint32> value;
};

struct Case {
    const char* sql;
    std::vector<Binding> bindings;
    const char* expected;
};

TEST(SqlParameters, BindsIntegersAndNullInPlace)
{
    const Case cases[] = {
        {"select 1", {}, "select 1"},
        // never set: NULL, which matches no row
        {"where a=:a", {}, "where a=NULL"},
        {"where a=:a", {{"a", 7}}, "where a=7"},
        {"where a=:a", {{"A", 7}}, "where a=7"},
        {"where a=:a and b= :b", {{"a", 1}, {"b", 2}}, "where a=1 and b= 2"},
        {"x=:a or y=:a", {{"a", 3}}, "x=3 or y=3"},
        {"x=:a", {{"a", std::numeric_limits<qint32>::max()}}, "x=2147483647"},
        {"x-:a", {{"a", -5}}, "x-(-5)"},
        {"x=:a", {{"a", 4}, {"a", std::nullopt}}, "x=NULL"},
        // a longer name is another parameter, not a prefix match
        {"x=:cod_evento and y=:cod", {{"cod", 1}, {"cod_evento", 2}}, "x=2 and y=1"},
        // colons in quoted literals and lone colons are left alone
        {"x=':a' and y=:a", {{"a", 9}}, "x=':a' and y=9"},
        {"x='it''s :a' and y=:a", {{"a", 9}}, "x='it''s :a' and y=9"},
        {"x='\\' :a' and y=:a", {{"a", 9}}, "x='\\' :a' and y=9"},
        {"t = '10:30' or z = : a", {}, "t = '10:30' or z = : a"},
        {"x=:a\n", {{"a", 1}}, "x=1\n"},
    };
    for (const Case& c : cases) {
        SqlParameters parameters{Text(c.sql)};
        for (const Binding& b : c.bindings)
            EXPECT_TRUE(parameters.set(b.name, b.value)) << c.sql << " " << b.name;
        EXPECT_EQ(parameters.bound(), Text(c.expected)) << c.sql;
    }
}

TEST(SqlParameters, KnowsOnlyTheNamesOfItsText)
{
    SqlParameters parameters{Text("where codigo=:cod_veiculo and x='a:b'")};
    EXPECT_TRUE(parameters.contains("COD_VEICULO"));
    EXPECT_FALSE(parameters.contains("b"));
    EXPECT_FALSE(parameters.set("codigo", 1));
    EXPECT_EQ(parameters.bound(), Text("where codigo=NULL and x='a:b'"));
}

} // namespace
