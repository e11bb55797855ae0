#pragma once

#include "base/text.h"
#include "db/columnkind.h"

#include <QList>

namespace quorvel::db {

// One value as read: NULL, or its bytes (text already in Windows-1252).
struct Value {
    bool null = true;
    Text bytes;
};

struct ResultColumn {
    Text name;
    ColumnKind kind;
};

// A whole result, fetched at once: the columns as the server describes them and every row.
struct ResultSet {
    QList<ResultColumn> columns;
    QList<QList<Value>> rows;
};

} // namespace quorvel::db
