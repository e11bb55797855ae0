#include "db/query.h"

#include "base/failure.h"
#include "db/connection.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace quorvel::db {

Query::Query(Connection& connection, const char* name, const Text& sql, QList<ColumnDeclaration> columns)
    : m_connection(&connection)
    , m_name(name)
    , m_sql(sql)
    , m_parameters(sql)
    , m_columns(std::move(columns))
{
    connection.attach(this);
}

Query::~Query()
{
    if (m_connection)
        m_connection->detach(this);
}

void Query::raise(const Text& message) const
{
    throw Failure(format("%s: %s", m_name.constData(), message.constData()));
}

void Query::setParam(const Text& name, qint32 value)
{
    if (!m_parameters.set(name, value))
        raise(format("Parameter '%s' not found", name.constData()));
}

void Query::setParamNull(const Text& name)
{
    if (!m_parameters.set(name, std::nullopt))
        raise(format("Parameter '%s' not found", name.constData()));
}

QList<int> Query::bindColumns(const ResultSet& result) const
{
    QList<int> binding;
    for (const ColumnDeclaration& declared : m_columns) {
        int found = -1;
        for (int i = 0; i < result.columns.size() && found < 0; ++i) {
            if (result.columns[i].name.compare(declared.name, Qt::CaseInsensitive) == 0)
                found = i;
        }
        if (found < 0)
            raise(format("Field '%s' not found", declared.name));
        const ColumnKind actual = result.columns[found].kind;
        if (actual != declared.kind) {
            raise(format("Type mismatch for field '%s', expecting: %s actual: %s", declared.name,
                         kindName(declared.kind), kindName(actual)));
        }
        binding.append(found);
    }
    return binding;
}

void Query::open()
{
    if (m_open)
        return;
    if (!m_connection)
        throw Failure("SQL Error: the query has no database link");
    m_connection->connect();
    const ResultSet result = m_connection->run(m_parameters.bound(), [this](const Text& column) {
        return std::any_of(m_columns.begin(), m_columns.end(), [&](const ColumnDeclaration& declared) {
            return column.compare(declared.name, Qt::CaseInsensitive) == 0;
        });
    });
    const QList<int> binding = bindColumns(result);

    m_rows.clear();
    m_rows.reserve(result.rows.size());
    for (const QList<Value>& row : result.rows) {
        QList<Value> values;
        values.reserve(binding.size());
        for (int index : binding)
            values.append(row[index]);
        m_rows.append(std::move(values));
    }
    m_open = true;
    m_current = 0;
    m_eof = m_rows.isEmpty();
    if (!m_rows.isEmpty())
        scrolled();
}

void Query::close()
{
    if (!m_open)
        return;
    m_open = false;
    m_rows.clear();
    m_current = 0;
    m_eof = true;
}

void Query::requireOpen() const
{
    if (!m_open)
        raise("Cannot perform this operation on a closed dataset");
}

void Query::scrolled()
{
    if (m_afterScroll)
        m_afterScroll();
}

void Query::first()
{
    requireOpen();
    m_current = 0;
    m_eof = m_rows.isEmpty();
    scrolled();
}

void Query::next()
{
    requireOpen();
    if (m_eof)
        return;
    if (m_current + 1 < m_rows.size())
        ++m_current;
    else
        m_eof = true; // the last row stays current
    scrolled();
}

void Query::last()
{
    requireOpen();
    m_current = m_rows.isEmpty() ? 0 : m_rows.size() - 1;
    m_eof = true;
    scrolled();
}

int Query::recordCount() const
{
    requireOpen();
    return int(m_rows.size());
}

const Value* Query::currentValue(const char* column) const
{
    for (int i = 0; i < m_columns.size(); ++i) {
        if (qstricmp(m_columns[i].name, column) != 0)
            continue;
        if (!m_open || m_current >= m_rows.size())
            return nullptr;
        const Value& value = m_rows[m_current][i];
        return value.null ? nullptr : &value;
    }
    raise(format("Field '%s' not found", column));
}

bool Query::isNull(const char* column) const
{
    return currentValue(column) == nullptr;
}

Text Query::asText(const char* column) const
{
    const Value* value = currentValue(column);
    return value ? value->bytes : Text();
}

Text Query::bytes(const char* column) const
{
    return asText(column);
}

double Query::asFloat(const char* column) const
{
    const Value* value = currentValue(column);
    if (!value)
        return 0.0;
    bool ok = false;
    const double number = value->bytes.trimmed().toDouble(&ok);
    return ok ? number : 0.0;
}

qint32 Query::asInteger(const char* column) const
{
    const Value* value = currentValue(column);
    if (!value)
        return 0;
    bool ok = false;
    const qint32 number = value->bytes.trimmed().toInt(&ok);
    if (ok)
        return number;
    // A fractional or too wide value rounds and saturates rather than wrapping.
    const double real = value->bytes.trimmed().toDouble(&ok);
    if (!ok || std::isnan(real))
        return 0;
    const double rounded = std::round(real);
    if (rounded >= double(std::numeric_limits<qint32>::max()))
        return std::numeric_limits<qint32>::max();
    if (rounded <= double(std::numeric_limits<qint32>::min()))
        return std::numeric_limits<qint32>::min();
    return qint32(rounded);
}

} // namespace quorvel::db
