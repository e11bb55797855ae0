#pragma once

#include "base/text.h"

struct st_mysql_field;

namespace quorvel::db {

// The kind of a column as the program declares it, and the kind a result column turns out
// to be. A declared column binds only to a result column of a fitting kind.
enum class ColumnKind {
    Integer,
    SmallInt,
    Word,
    LargeInt,
    Float,
    String,
    Memo,
    Bytes,
    Date,
    DateTime,
    Time,
    Blob,
};

// The name that the type-mismatch message gives the kind ("Integer", "Memo", ...).
const char* kindName(ColumnKind kind);

// The kind of a result column, from its type, its UNSIGNED flag, its character set
// (63 is binary) and its decimals.
ColumnKind kindOfField(const st_mysql_field& field);

// True when the column's values are character data that arrive in the connection's
// character set and must be converted; false for numbers, dates and binary data.
bool holdsCharacters(const st_mysql_field& field);

} // namespace quorvel::db
