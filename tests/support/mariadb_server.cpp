#include "mariadb_server.h"

#include "freeport.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <signal.h>

#include <chrono>
#include <cstdio>
#include <stdexcept>

namespace quorvel::test {

namespace {

constexpr int kStartTimeoutMs = 120000;
constexpr int kFirstStartAttempts = 3;
constexpr int kStopTimeoutMs = 60000;
constexpr int kClientTimeoutMs = 60000;

[[noreturn]] void fail(const QString& what)
{
    throw std::runtime_error(what.toStdString());
}

QString scriptPath()
{
    return QStringLiteral(QUORVEL_SOURCE_DIR "/tests/support/mariadb-private");
}

quint16 freeLoopbackPort()
{
    const quint16 port = freeTcpPort();
    if (port == 0)
        fail(QStringLiteral("no free TCP port on 127.0.0.1"));
    return port;
}

// A process that has ended may linger as a zombie until its new parent reaps it; its
// leader turns zombie while its other threads, which may still hold the listening
// sockets, are ending.
bool processAlive(qint64 pid)
{
    if (pid <= 0 || ::kill(pid_t(pid), 0) != 0)
        return false;
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    bool zombie = false;
    int threads = 1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("State:"))
            zombie = line.contains("(zombie)");
        else if (line.startsWith("Threads:"))
            threads = line.mid(8).trimmed().toInt();
    }
    return !zombie || threads > 1;
}

bool waitForExit(qint64 pid, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (processAlive(pid)) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(20);
    }
    return true;
}

// The mariadb client in batch mode escapes tabs, line breaks and backslashes.
QByteArray unescapeBatchValue(const QByteArray& field)
{
    QByteArray value;
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] != '\\' || i + 1 == field.size()) {
            value += field[i];
            continue;
        }
        const char c = field[++i];
        value += c == 'n' ? '\n' : c == 't' ? '\t' : c == '0' ? '\0' : c;
    }
    return value;
}

QByteArray sqlString(const QByteArray& text)
{
    QByteArray quoted = text;
    quoted.replace('\\', "\\\\").replace('\'', "\\'");
    return '\'' + quoted + '\'';
}

} // namespace

MariaDbServer::MariaDbServer()
    : m_dir(std::make_unique<QTemporaryDir>(QStringLiteral("/tmp/qvdb-XXXXXX")))
{
    if (!m_dir->isValid())
        fail(QStringLiteral("cannot create a temporary folder for the server"));
    // The socket path must stay short: a Unix socket name holds about a hundred bytes.
    m_socket = m_dir->filePath(QStringLiteral("mariadb.sock"));
    // A first start can fail for a passing reason, such as another program taking the port
    // between its choice here and the server's bind: begin again on another port, from an
    // empty data folder, before giving up.
    for (int attempt = 1;; ++attempt) {
        m_port = freeLoopbackPort();
        try {
            start();
            return;
        } catch (const std::exception& e) {
            if (attempt == kFirstStartAttempts)
                throw;
            std::fprintf(stderr, "the private MariaDB server did not start (attempt %d), trying again: %s\n", attempt,
                         e.what());
            QDir(dataDir()).removeRecursively();
        }
    }
}

MariaDbServer::~MariaDbServer()
{
    resume();
    try {
        stop();
    } catch (const std::exception&) {
        kill();
    }
}

MariaDbServer& MariaDbServer::shared()
{
    static MariaDbServer server;
    static const bool pointed = (server.pointClientLibraryHere(), true);
    Q_UNUSED(pointed);
    return server;
}

QString MariaDbServer::dataDir() const
{
    return m_dir->filePath(QStringLiteral("data"));
}

QString MariaDbServer::schemaFile()
{
    return QStringLiteral(QUORVEL_SOURCE_DIR "/sql/schema.sql");
}

QString MariaDbServer::demoFile()
{
    return QStringLiteral(QUORVEL_SOURCE_DIR "/sql/demo.sql");
}

bool MariaDbServer::running() const
{
    return processAlive(m_pid);
}

void MariaDbServer::pointClientLibraryHere() const
{
    qputenv("MYSQL_UNIX_PORT", m_socket.toLocal8Bit());
}

void MariaDbServer::start()
{
    if (running())
        return;
    QProcess script;
    script.start(scriptPath(), {dataDir(), m_socket, QString::number(m_port)});
    if (!script.waitForFinished(kStartTimeoutMs) || script.exitStatus() != QProcess::NormalExit ||
        script.exitCode() != 0) {
        script.kill();
        fail(QStringLiteral("the private MariaDB server did not start: ") +
             QString::fromLocal8Bit(script.readAllStandardError()));
    }
    const QList<QByteArray> lines = script.readAllStandardOutput().trimmed().split('\n');
    m_pid = lines.last().trimmed().toLongLong();
    if (!running())
        fail(QStringLiteral("the private MariaDB server gave no pid"));
}

void MariaDbServer::stop()
{
    resume();
    if (!running())
        return;
    ::kill(pid_t(m_pid), SIGTERM);
    if (!waitForExit(m_pid, kStopTimeoutMs))
        fail(QStringLiteral("the private MariaDB server did not stop"));
}

void MariaDbServer::pause(int resumeAfterMs)
{
    resume();
    if (!running())
        fail(QStringLiteral("the private MariaDB server is not running"));
    if (::kill(pid_t(m_pid), SIGSTOP) != 0)
        fail(QStringLiteral("the private MariaDB server could not be stopped with SIGSTOP"));
    QDeadlineTimer stopped(kStopTimeoutMs);
    while (!paused()) {
        if (stopped.hasExpired()) {
            ::kill(pid_t(m_pid), SIGCONT);
            fail(QStringLiteral("the private MariaDB server did not stop on SIGSTOP"));
        }
        QThread::msleep(5);
    }
    m_watchdog = std::make_unique<Watchdog>();
    Watchdog* watchdog = m_watchdog.get();
    const pid_t pid = pid_t(m_pid);
    watchdog->thread = std::thread([watchdog, pid, resumeAfterMs] {
        std::unique_lock lock(watchdog->mutex);
        if (!watchdog->wake.wait_for(lock, std::chrono::milliseconds(resumeAfterMs),
                                     [watchdog] { return watchdog->calledOff; }))
            ::kill(pid, SIGCONT);
    });
}

void MariaDbServer::stopWatchdog()
{
    if (!m_watchdog)
        return;
    {
        std::lock_guard lock(m_watchdog->mutex);
        m_watchdog->calledOff = true;
    }
    m_watchdog->wake.notify_all();
    m_watchdog->thread.join();
    m_watchdog.reset();
}

void MariaDbServer::resume()
{
    stopWatchdog();
    if (running())
        ::kill(pid_t(m_pid), SIGCONT);
}

bool MariaDbServer::paused() const
{
    // Every thread, not only the first: a stop reaches the threads one by one, and a thread
    // still running may answer a statement.
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(m_pid));
    const QStringList threads = tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    if (m_pid <= 0 || threads.isEmpty())
        return false;
    for (const QString& thread : threads) {
        QFile status(tasks.filePath(thread + QStringLiteral("/status")));
        if (!status.open(QIODevice::ReadOnly))
            continue; // the thread has ended
        bool stopped = false;
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("State:"))
                stopped = line.contains("(stopped)");
        }
        if (!stopped)
            return false;
    }
    return true;
}

void MariaDbServer::kill()
{
    resume();
    if (!running())
        return;
    ::kill(pid_t(m_pid), SIGKILL);
    if (!waitForExit(m_pid, kStopTimeoutMs))
        fail(QStringLiteral("the private MariaDB server survived kill -9"));
}

QByteArray MariaDbServer::runClient(const QStringList& arguments, const QByteArray& input) const
{
    QProcess client;
    client.start(QStringLiteral("mariadb"),
                 QStringList{QStringLiteral("--no-defaults"), QStringLiteral("--socket=") + m_socket,
                             QStringLiteral("-uroot"), QStringLiteral("--default-character-set=utf8mb4")} +
                     arguments);
    client.write(input);
    client.closeWriteChannel();
    if (!client.waitForFinished(kClientTimeoutMs) || client.exitStatus() != QProcess::NormalExit ||
        client.exitCode() != 0) {
        client.kill();
        fail(QStringLiteral("mariadb: ") + QString::fromUtf8(client.readAllStandardError()));
    }
    return client.readAllStandardOutput();
}

void MariaDbServer::execute(const QByteArray& sql) const
{
    runClient({}, sql);
}

void MariaDbServer::loadFile(const QString& path) const
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        fail(QStringLiteral("cannot read ") + path);
    execute(file.readAll());
}

QList<QList<QByteArray>> MariaDbServer::select(const QByteArray& sql) const
{
    QList<QList<QByteArray>> rows;
    const QByteArray output = runClient({QStringLiteral("-N"), QStringLiteral("-B")}, sql);
    for (const QByteArray& line : output.split('\n')) {
        if (line.isEmpty())
            continue;
        QList<QByteArray> row;
        for (const QByteArray& field : line.split('\t'))
            row.append(unescapeBatchValue(field));
        rows.append(row);
    }
    return rows;
}

void MariaDbServer::resetRaceDatabase() const
{
    execute("DROP DATABASE IF EXISTS vyd;");
    loadFile(schemaFile());
}

void MariaDbServer::startGeneralLog() const
{
    execute(
        "SET GLOBAL general_log = 0; SET GLOBAL log_output = 'TABLE';"
        " TRUNCATE TABLE mysql.general_log; SET GLOBAL general_log = 1;");
}

void MariaDbServer::stopGeneralLog() const
{
    execute("SET GLOBAL general_log = 0;");
}

QList<LogEntry> MariaDbServer::generalLog(const QByteArray& user) const
{
    // The log table is a CSV table: a plain scan returns the entries in arrival order.
    const QList<QList<QByteArray>> rows =
        select("SELECT command_type, HEX(argument) FROM mysql.general_log WHERE user_host LIKE " +
               sqlString(user + "[%") + ';');
    QList<LogEntry> entries;
    for (const QList<QByteArray>& row : rows)
        entries.append({row.value(0), QByteArray::fromHex(row.value(1))});
    return entries;
}

QList<QByteArray> MariaDbServer::loggedStatements(const QByteArray& user) const
{
    QList<QByteArray> statements;
    for (const LogEntry& entry : generalLog(user)) {
        if (entry.command == "Query")
            statements.append(entry.argument);
    }
    return statements;
}

} // namespace quorvel::test
