#include "db/connection.h"

#include "base/failure.h"
#include "db/query.h"

#include <errmsg.h>
#include <mysql.h>
#include <mysqld_error.h>

#include <memory>

namespace quorvel::db {

namespace {

constexpr char kIsolationStatement[] = "SET SESSION TRANSACTION ISOLATION LEVEL READ COMMITTED";

// The client library's own messages are ASCII; the server's come in the connection's
// character set, utf8mb4 unless the library says otherwise.
Text errorText(MYSQL* mysql, const CharsetConversion& conversion)
{
    return format("SQL Error: %s", conversion.toSystemText(Text(mysql_error(mysql))).constData());
}

const char* orNull(const Text& text)
{
    return text.isEmpty() ? nullptr : text.constData();
}

struct ResultDeleter {
    void operator()(MYSQL_RES* result) const { mysql_free_result(result); }
};

} // namespace

bool errorEndsConnection(unsigned error)
{
    // A time-out shows as a lost server (CR_SERVER_LOST).
    return error == CR_SERVER_GONE_ERROR || error == CR_SERVER_LOST || error == CR_SERVER_LOST_EXTENDED ||
        error == ER_CONNECTION_KILLED || error == ER_SERVER_SHUTDOWN;
}

Connection::Connection(const Config& config)
    : m_host(config.dbHost)
    , m_port(config.dbPort)
    , m_connectTimeoutS(config.dbConnectTimeoutS)
    , m_readTimeoutS(config.dbReadTimeoutS)
    , m_writeTimeoutS(config.dbWriteTimeoutS)
    , m_database(config.dbName)
    , m_user(config.dbUser)
    , m_password(config.dbPassword)
{
}

Connection::~Connection()
{
    disconnect();
    for (Query* query : std::as_const(m_queries))
        query->forgetConnection();
}

void Connection::attach(Query* query)
{
    m_queries.append(query);
}

void Connection::detach(Query* query)
{
    m_queries.removeAll(query);
}

void Connection::connect()
{
    if (m_mysql)
        return;
    MYSQL* mysql = mysql_init(nullptr);
    if (!mysql)
        throw Failure("SQL Error: the MariaDB client library could not be initialised");

    // The link names no character set of its own: it adopts the library's default.
    MY_CHARSET_INFO charset{};
    mysql_get_character_set_info(mysql, &charset);
    const Text charsetName = charset.csname ? Text(charset.csname) : Text("utf8mb4");
    mysql_options(mysql, MYSQL_SET_CHARSET_NAME, charsetName.constData());
    my_bool reconnect = 0;
    mysql_options(mysql, MYSQL_OPT_RECONNECT, &reconnect);
    // The window waits on every call: a server that stops answering must not hold it.
    mysql_options(mysql, MYSQL_OPT_CONNECT_TIMEOUT, &m_connectTimeoutS);
    mysql_options(mysql, MYSQL_OPT_READ_TIMEOUT, &m_readTimeoutS);
    mysql_options(mysql, MYSQL_OPT_WRITE_TIMEOUT, &m_writeTimeoutS);

    const CharsetConversion conversion(charsetName);
    // An empty host is the local server through its socket (the library's, or
    // MYSQL_UNIX_PORT); the port is always given, so that neither MYSQL_TCP_PORT nor
    // /etc/services can move the link off the server's.
    if (!mysql_real_connect(mysql, orNull(m_host), m_user.constData(), m_password.constData(), m_database.constData(),
                            m_port, nullptr, 0)) {
        const Text message = errorText(mysql, conversion);
        mysql_close(mysql);
        throw Failure(message);
    }
    if (mysql_real_query(mysql, kIsolationStatement, sizeof kIsolationStatement - 1) != 0) {
        const Text message = errorText(mysql, conversion);
        mysql_close(mysql);
        throw Failure(message);
    }
    m_mysql = mysql;
    m_conversion = conversion;
}

void Connection::disconnect()
{
    // Also after a lost connection: queries that kept their rows must read afresh once
    // the link has been re-pointed.
    for (Query* query : std::as_const(m_queries))
        query->close();
    dropServerConnection();
}

void Connection::dropServerConnection()
{
    if (!m_mysql)
        return;
    mysql_close(m_mysql);
    m_mysql = nullptr;
}

void Connection::raiseStatementError()
{
    const Text message = errorText(m_mysql, m_conversion);
    if (errorEndsConnection(mysql_errno(m_mysql)))
        dropServerConnection();
    throw Failure(message);
}

ResultSet Connection::run(const Text& sql, const std::function<bool(const Text& column)>& wanted)
{
    if (!m_mysql)
        throw Failure("SQL Error: not connected to the database server");
    if (mysql_real_query(m_mysql, sql.constData(), static_cast<unsigned long>(sql.size())) != 0)
        raiseStatementError();

    std::unique_ptr<MYSQL_RES, ResultDeleter> result(mysql_store_result(m_mysql));
    if (!result) {
        if (mysql_field_count(m_mysql) != 0)
            raiseStatementError();
        return {}; // a statement without a result
    }

    ResultSet set;
    const unsigned columnCount = mysql_num_fields(result.get());
    const MYSQL_FIELD* fields = mysql_fetch_fields(result.get());
    QList<bool> characters;
    QList<bool> copied;
    for (unsigned i = 0; i < columnCount; ++i) {
        set.columns.append({Text(fields[i].name), kindOfField(fields[i])});
        characters.append(holdsCharacters(fields[i]));
        copied.append(!wanted || wanted(set.columns.last().name));
    }
    set.rows.reserve(qsizetype(mysql_num_rows(result.get())));
    while (MYSQL_ROW row = mysql_fetch_row(result.get())) {
        const unsigned long* lengths = mysql_fetch_lengths(result.get());
        QList<Value> values(columnCount);
        for (unsigned i = 0; i < columnCount; ++i) {
            if (!row[i] || !copied[i])
                continue;
            const Text raw(row[i], qsizetype(lengths[i]));
            values[i] = {false, characters[i] ? m_conversion.toSystemText(raw) : raw};
        }
        set.rows.append(std::move(values));
    }
    return set;
}

} // namespace quorvel::db
