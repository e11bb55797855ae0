#pragma once

#include "base/config.h"
#include "base/text.h"
#include "db/charsetconversion.h"
#include "db/resultset.h"

#include <functional>

#include <QList>

struct st_mysql;

namespace quorvel::db {

class Query;

// Whether an error of the client library or the server (its number) leaves the connection
// unusable: the library lost the server or gave up waiting for it, or the server killed
// the connection or is shutting down. The link then counts as disconnected.
bool errorEndsConnection(unsigned error);

// The link to the race database (Zconet): one MariaDB connection, made with the fixed
// account and read-committed isolation, and the queries made on it, which a disconnect
// closes. It never reconnects by itself: an open of a query on a disconnected link
// connects it, to the host set last. Every call blocks until the server answers or the
// configured time-out passes, which counts as a lost connection.
class Connection {
public:
    // Takes the host, port, database, user, password and time-outs of the configuration;
    // does not connect.
    explicit Connection(const Config& config);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // An empty host is the server on the local machine (through its socket).
    void setHost(const Text& host) { m_host = host; }
    const Text& host() const { return m_host; }

    // Raises "SQL Error: ..." when the server cannot be reached or refuses; the link then
    // stays disconnected. Connecting a connected link does nothing.
    void connect();
    // Closes every query of the link, then the connection to the server.
    void disconnect();
    bool connected() const { return m_mysql != nullptr; }

    // The character set adopted from the client library at the last connect.
    const Text& characterSet() const { return m_conversion.charsetName(); }

    // Runs one statement and fetches its whole result. The link must be connected.
    // Raises "SQL Error: ..."; when the error ends the connection (errorEndsConnection),
    // the link is marked disconnected so that the next open connects again. Every column
    // is described; the values of a column `wanted` refuses are not copied out of the
    // client library and read as NULL (a vehicle row's photo is large, and most queries of
    // the row never read it).
    ResultSet run(const Text& sql, const std::function<bool(const Text& column)>& wanted = {});

private:
    friend class Query;
    void attach(Query* query);
    void detach(Query* query);

    [[noreturn]] void raiseStatementError();
    void dropServerConnection();

    Text m_host;
    unsigned m_port;
    unsigned m_connectTimeoutS;
    unsigned m_readTimeoutS;
    unsigned m_writeTimeoutS;
    Text m_database;
    Text m_user;
    Text m_password;
    st_mysql* m_mysql = nullptr;
    CharsetConversion m_conversion;
    QList<Query*> m_queries;
};

} // namespace quorvel::db
