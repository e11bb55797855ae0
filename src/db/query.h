#pragma once

#include "base/text.h"
#include "db/columnkind.h"
#include "db/resultset.h"
#include "db/sqlparameters.h"

#include <QList>

#include <functional>
#include <optional>

namespace quorvel::db {

class Connection;

// A column that the program reads, bound by name (without regard to case) when the query
// opens; the result column must be of a fitting kind.
struct ColumnDeclaration {
    const char* name;
    ColumnKind kind;
};

// A query of the race database with the cursor rules the classification board relies on:
// an open query holds every row of its result, a current row and an end flag; moves run
// the after-move reaction. Failures are raised as quorvel::Failure.
class Query {
public:
    Query(Connection& connection, const char* name, const Text& sql, QList<ColumnDeclaration> columns);
    ~Query();
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    const char* name() const { return m_name.constData(); }
    const Text& sql() const { return m_sql; }

    // Runs after every move, and after an open that finds rows.
    void setAfterScroll(std::function<void()> reaction) { m_afterScroll = std::move(reaction); }

    // A value stays until set again; closing does not clear it. Unknown names raise.
    void setParam(const Text& name, qint32 value);
    void setParamNull(const Text& name);

    // Connects a disconnected link first. Does nothing on an open query.
    void open();
    void close();
    bool isOpen() const { return m_open; }

    // These four raise "<name>: Cannot perform this operation on a closed dataset".
    void first();
    void next();
    void last();
    int recordCount() const;

    bool eof() const { return m_eof; }

    // Reading never fails: a NULL, a closed query or one without rows reads as 0, 0.0 or
    // the empty text. A name that the query does not declare raises "Field ... not found".
    qint32 asInteger(const char* column) const;
    double asFloat(const char* column) const;
    Text asText(const char* column) const;
    bool isNull(const char* column) const;
    // The value's bytes as stored, for binary columns such as FOTO_PILOTO.
    Text bytes(const char* column) const;

private:
    friend class Connection;
    void forgetConnection() { m_connection = nullptr; }

    [[noreturn]] void raise(const Text& message) const;
    void requireOpen() const;
    QList<int> bindColumns(const ResultSet& result) const;
    const Value* currentValue(const char* column) const;
    void scrolled();

    Connection* m_connection;
    Text m_name;
    Text m_sql;
    SqlParameters m_parameters;
    QList<ColumnDeclaration> m_columns;
    std::function<void()> m_afterScroll;

    bool m_open = false;
    QList<QList<Value>> m_rows; // in the order of m_columns
    qsizetype m_current = 0;
    bool m_eof = true;
};

} // namespace quorvel::db
