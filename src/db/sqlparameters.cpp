#include "db/sqlparameters.h"

namespace quorvel::db {

namespace {

bool isNameChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

} // namespace

SqlParameters::SqlParameters(const Text& sql)
{
    Text pending;
    char quote = 0;
    for (qsizetype i = 0; i < sql.size(); ++i) {
        const char c = sql[i];
        if (quote) {
            pending += c;
            if (c == '\\' && i + 1 < sql.size())
                pending += sql[++i];
            else if (c == quote)
                quote = 0;
            continue;
        }
        if (c == '\'' || c == '"' || c == '`') {
            quote = c;
            pending += c;
            continue;
        }
        qsizetype end = i + 1;
        while (c == ':' && end < sql.size() && isNameChar(sql[end]))
            ++end;
        if (end == i + 1) { // not a colon followed by a name
            pending += c;
            continue;
        }
        const Text name = sql.mid(i + 1, end - i - 1);
        int index = indexOf(name);
        if (index < 0) {
            m_parameters.append({name, std::nullopt});
            index = int(m_parameters.size()) - 1;
        }
        m_pieces.append({pending, index});
        pending.clear();
        i = end - 1;
    }
    m_pieces.append({pending, -1});
}

int SqlParameters::indexOf(const Text& name) const
{
    for (int i = 0; i < m_parameters.size(); ++i) {
        if (m_parameters[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

bool SqlParameters::contains(const Text& name) const
{
    return indexOf(name) >= 0;
}

bool SqlParameters::set(const Text& name, std::optional<qint32> value)
{
    const int index = indexOf(name);
    if (index < 0)
        return false;
    m_parameters[index].value = value;
    return true;
}

Text SqlParameters::bound() const
{
    Text sql;
    for (const Piece& piece : m_pieces) {
        sql += piece.sql;
        if (piece.parameter < 0)
            continue;
        const std::optional<qint32>& value = m_parameters[piece.parameter].value;
        if (!value)
            sql += "NULL";
        else if (*value < 0) // "x-:p" must not become "x--5"
            sql += '(' + Text::number(*value) + ')';
        else
            sql += Text::number(*value);
    }
    return sql;
}

} // namespace quorvel::db
