#include "db/columnkind.h"

#include <mysql.h>

namespace quorvel::db {

namespace {

constexpr unsigned kBinaryCharset = 63;

bool isUnsigned(const MYSQL_FIELD& field)
{
    return (field.flags & UNSIGNED_FLAG) != 0;
}

bool isBinary(const MYSQL_FIELD& field)
{
    return field.charsetnr == kBinaryCharset;
}

} // namespace

const char* kindName(ColumnKind kind)
{
    switch (kind) {
    case ColumnKind::Integer: return "Integer";
    case ColumnKind::SmallInt: return "SmallInt";
    case ColumnKind::Word: return "Word";
    case ColumnKind::LargeInt: return "LargeInt";
    case ColumnKind::Float: return "Float";
    case ColumnKind::String: return "String";
    case ColumnKind::Memo: return "Memo";
    case ColumnKind::Bytes: return "Bytes";
    case ColumnKind::Date: return "Date";
    case ColumnKind::DateTime: return "DateTime";
    case ColumnKind::Time: return "Time";
    case ColumnKind::Blob: return "Blob";
    }
    return "Unknown";
}

ColumnKind kindOfField(const MYSQL_FIELD& field)
{
    switch (field.type) {
    case MYSQL_TYPE_TINY: return ColumnKind::SmallInt;
    case MYSQL_TYPE_SHORT: return isUnsigned(field) ? ColumnKind::Word : ColumnKind::SmallInt;
    case MYSQL_TYPE_YEAR: return ColumnKind::Word;
    case MYSQL_TYPE_INT24:
    case MYSQL_TYPE_LONG: return isUnsigned(field) ? ColumnKind::LargeInt : ColumnKind::Integer;
    case MYSQL_TYPE_LONGLONG:
    case MYSQL_TYPE_BIT: return ColumnKind::LargeInt;
    case MYSQL_TYPE_FLOAT:
    case MYSQL_TYPE_DOUBLE: return ColumnKind::Float;
    case MYSQL_TYPE_DECIMAL:
    case MYSQL_TYPE_NEWDECIMAL:
        // Without a fractional part a DECIMAL holds whole numbers, wider than an int.
        return field.decimals > 0 ? ColumnKind::Float : ColumnKind::LargeInt;
    case MYSQL_TYPE_DATE:
    case MYSQL_TYPE_NEWDATE: return ColumnKind::Date;
    case MYSQL_TYPE_DATETIME:
    case MYSQL_TYPE_TIMESTAMP:
    case MYSQL_TYPE_DATETIME2:
    case MYSQL_TYPE_TIMESTAMP2: return ColumnKind::DateTime;
    case MYSQL_TYPE_TIME:
    case MYSQL_TYPE_TIME2: return ColumnKind::Time;
    case MYSQL_TYPE_TINY_BLOB:
    case MYSQL_TYPE_MEDIUM_BLOB:
    case MYSQL_TYPE_LONG_BLOB:
    case MYSQL_TYPE_BLOB:
    case MYSQL_TYPE_JSON: return isBinary(field) ? ColumnKind::Blob : ColumnKind::Memo;
    case MYSQL_TYPE_GEOMETRY: return ColumnKind::Blob;
    case MYSQL_TYPE_STRING:
    case MYSQL_TYPE_VAR_STRING:
    case MYSQL_TYPE_VARCHAR:
    case MYSQL_TYPE_ENUM:
    case MYSQL_TYPE_SET:
    case MYSQL_TYPE_NULL:
    default: return isBinary(field) ? ColumnKind::Bytes : ColumnKind::String;
    }
}

bool holdsCharacters(const MYSQL_FIELD& field)
{
    switch (kindOfField(field)) {
    case ColumnKind::String:
    case ColumnKind::Memo: return !isBinary(field);
    default: return false;
    }
}

} // namespace quorvel::db
