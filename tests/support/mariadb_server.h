#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTemporaryDir>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace quorvel::test {

// One entry of the server's general log: the command ("Connect", "Query", "Quit", ...)
// and its argument, the statement text for a query.
struct LogEntry {
    QByteArray command;
    QByteArray argument;
};

// A private MariaDB server for tests: mariadbd --no-defaults on a fresh data directory,
// with its own socket and a free TCP port on 127.0.0.1, table names compared without
// regard to case. It is started by tests/support/mariadb-private and stopped by its pid
// when the object goes. Statements run as root through the mariadb command. Failures
// throw std::runtime_error with the server's or the command's words.
class MariaDbServer {
public:
    MariaDbServer();
    ~MariaDbServer();
    MariaDbServer(const MariaDbServer&) = delete;
    MariaDbServer& operator=(const MariaDbServer&) = delete;

    // The server of this test program, started on first use and pointed at by the client
    // library's MYSQL_UNIX_PORT, which the library reads only once: a program's connections
    // with an empty host reach it through its socket. Connections over TCP name its port()
    // in their Config (dbPort).
    static MariaDbServer& shared();

    const QString& socketPath() const { return m_socket; }
    quint16 port() const { return m_port; }
    qint64 pid() const { return m_pid; }
    QString dataDir() const;
    bool running() const;

    // Sets MYSQL_UNIX_PORT to this server's socket.
    void pointClientLibraryHere() const;

    // Starts the server again on the same data, socket and port.
    void start();
    // An orderly stop, waited for.
    void stop();
    // kill -9, as a crash or a power cut would, waited for.
    void kill();
    // SIGSTOP, waited for until every thread of the server has stopped: the server keeps
    // its connections and its port, and answers nothing, like a machine that hangs.
    // Whatever happens, a watchdog thread sends SIGCONT once resumeAfterMs have passed, so
    // that a test whose call never returns still ends.
    void pause(int resumeAfterMs);
    // SIGCONT, and the watchdog is called off. Resuming a running server does nothing.
    void resume();
    // Whether every thread of the server is stopped.
    bool paused() const;

    // Runs SQL text (one or more statements) as root; raises with the client's message.
    void execute(const QByteArray& sql) const;
    void loadFile(const QString& path) const;
    // The rows of a select as root, each value as text ("NULL" for NULL).
    QList<QList<QByteArray>> select(const QByteArray& sql) const;

    // Drops the race database and creates it empty again from sql/schema.sql.
    void resetRaceDatabase() const;
    static QString schemaFile();
    static QString demoFile();

    // Empties the general log and starts logging every statement into it.
    void startGeneralLog() const;
    void stopGeneralLog() const;
    // The entries of one account, in the order the server received them.
    QList<LogEntry> generalLog(const QByteArray& user = "vyd") const;
    // Only the statement texts ("Query" entries) of that account.
    QList<QByteArray> loggedStatements(const QByteArray& user = "vyd") const;

private:
    QByteArray runClient(const QStringList& arguments, const QByteArray& input) const;
    void stopWatchdog();

    struct Watchdog {
        std::mutex mutex;
        std::condition_variable wake;
        bool calledOff = false;
        std::thread thread;
    };
    std::unique_ptr<Watchdog> m_watchdog;

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_socket;
    quint16 m_port = 0;
    qint64 m_pid = 0;
};

} // namespace quorvel::test
