#include "db/columnkind.h"

#include <mysql.h>

#include <gtest/gtest.h>

using quorvel::db::ColumnKind;
using quorvel::db::holdsCharacters;
using quorvel::db::kindName;
using quorvel::db::kindOfField;

namespace {

constexpr unsigned kBinary = 63;
constexpr unsigned kUtf8mb4 = 45;

MYSQL_FIELD field(enum_field_types type, unsigned flags = 0, unsigned charset = kBinary, unsigned decimals = 0)
{
    MYSQL_FIELD f{};
    f.type = type;
    f.flags = flags;
    f.charsetnr = charset;
    f.decimals = decimals;
    return f;
}

TEST(ColumnKind, FollowsTypeSignCharacterSetAndDecimals)
{
    struct Case {
        MYSQL_FIELD field;
        const char* expected;
        bool characters;
    };
    const Case cases[] = {
        {field(MYSQL_TYPE_LONG), "Integer", false},
        {field(MYSQL_TYPE_INT24), "Integer", false},
        {field(MYSQL_TYPE_LONG, UNSIGNED_FLAG), "LargeInt", false},
        {field(MYSQL_TYPE_INT24, UNSIGNED_FLAG), "LargeInt", false},
        {field(MYSQL_TYPE_LONGLONG), "LargeInt", false},
        {field(MYSQL_TYPE_TINY), "SmallInt", false},
        {field(MYSQL_TYPE_TINY, UNSIGNED_FLAG), "SmallInt", false},
        {field(MYSQL_TYPE_SHORT), "SmallInt", false},
        {field(MYSQL_TYPE_SHORT, UNSIGNED_FLAG), "Word", false},
        {field(MYSQL_TYPE_YEAR, UNSIGNED_FLAG), "Word", false},
        {field(MYSQL_TYPE_FLOAT), "Float", false},
        {field(MYSQL_TYPE_DOUBLE), "Float", false},
        {field(MYSQL_TYPE_NEWDECIMAL, 0, kBinary, 3), "Float", false},
        {field(MYSQL_TYPE_NEWDECIMAL, 0, kBinary, 0), "LargeInt", false},
        {field(MYSQL_TYPE_VAR_STRING, 0, kUtf8mb4), "String", true},
        {field(MYSQL_TYPE_STRING, 0, kUtf8mb4), "String", true},
        {field(MYSQL_TYPE_STRING, ENUM_FLAG, kUtf8mb4), "String", true},
        {field(MYSQL_TYPE_VAR_STRING, 0, kBinary), "Bytes", false},
        {field(MYSQL_TYPE_STRING, 0, kBinary), "Bytes", false},
        {field(MYSQL_TYPE_BLOB, 0, kUtf8mb4), "Memo", true},
        {field(MYSQL_TYPE_BLOB, 0, kBinary), "Blob", false},
        {field(MYSQL_TYPE_MEDIUM_BLOB, 0, kBinary), "Blob", false},
        {field(MYSQL_TYPE_DATE), "Date", false},
        {field(MYSQL_TYPE_DATETIME), "DateTime", false},
        {field(MYSQL_TYPE_TIMESTAMP), "DateTime", false},
    };
    for (const Case& c : cases) {
        EXPECT_STREQ(kindName(kindOfField(c.field)), c.expected) << "type " << c.field.type;
        EXPECT_EQ(holdsCharacters(c.field), c.characters) << "type " << c.field.type;
    }
}

} // namespace
