#include "app/singleinstance.h"

#include "app/application.h"
#include "base/cp1252.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QMessageBox>
#include <QWidget>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/un.h>
#include <unistd.h>

namespace quorvel::app {

namespace {

constexpr char kSecondCopyMessage[] = "VYD - Programa de TV";
constexpr char kCheckLockSuffix[] = "CriticalSection";
constexpr char kInstanceLockSuffix[] = "Default";
constexpr char kWindowSocketSuffix[] = "Window";
constexpr char kBringForwardRequest[] = "front\n";

} // namespace

QString lockFolder()
{
    const QString runtimeDir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return runtimeDir.isEmpty() ? QStringLiteral("/tmp") : runtimeDir;
}

QString instanceFilePath(const QString& folder, const Text& title, const char* suffix)
{
    QString name = fromCp1252(title) + QLatin1String(".OneInstance.") + QLatin1String(suffix);
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    name.replace(QChar(u'\0'), QLatin1Char('_'));
    return folder + QLatin1Char('/') + name;
}

QString bringForwardSocketPath(const QString& folder, const Text& title)
{
    // A local socket's path holds at most 107 bytes. Past that the first copy would have no
    // listener and a second copy could not bring it forward, so a long path gives way to a
    // short name made from the readable one, in the same folder when that fits and in the
    // temporary folder, under the user's id, when even the folder is too deep.
    constexpr qsizetype kMaxPathBytes = qsizetype(sizeof(sockaddr_un::sun_path)) - 1;
    const QString readable = instanceFilePath(folder, title, kWindowSocketSuffix);
    const QByteArray encoded = QFile::encodeName(readable);
    if (encoded.size() <= kMaxPathBytes)
        return readable;
    const QString shortName = QLatin1String("quorvel-")
        + QString::fromLatin1(QCryptographicHash::hash(encoded, QCryptographicHash::Sha256).toHex().left(16))
        + QLatin1String(".sock");
    const QString inFolder = folder + QLatin1Char('/') + shortName;
    if (QFile::encodeName(inFolder).size() <= kMaxPathBytes)
        return inFolder;
    return QDir::tempPath() + QLatin1Char('/') + QString::number(::getuid()) + QLatin1Char('-') + shortName;
}

NamedLock::~NamedLock()
{
    release();
}

NamedLock::NamedLock(NamedLock&& other) noexcept
    : m_fd(other.m_fd)
{
    other.m_fd = -1;
}

NamedLock& NamedLock::operator=(NamedLock&& other) noexcept
{
    if (this != &other) {
        release();
        m_fd = other.m_fd;
        other.m_fd = -1;
    }
    return *this;
}

bool NamedLock::tryTake(const QString& path)
{
    release();
    // Read-only is enough for flock(), so a lock file another account created still serves.
    // Close-on-exec: a child process must not inherit the lock and keep it after we end.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    int rc;
    do {
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    return true;
}

void NamedLock::release()
{
    if (m_fd < 0)
        return;
    ::flock(m_fd, LOCK_UN);
    ::close(m_fd);
    m_fd = -1;
}

NamedLock checkFirstCopy(const QString& folder, const Text& title)
{
    // The check lock makes the checks of copies started at the same moment follow one
    // another: whoever finds it taken is the second copy.
    NamedLock checkLock;
    if (!checkLock.tryTake(instanceFilePath(folder, title, kCheckLockSuffix)))
        return NamedLock();
    NamedLock instanceLock;
    instanceLock.tryTake(instanceFilePath(folder, title, kInstanceLockSuffix));
    checkLock.release();
    return instanceLock;
}

BringForwardListener::BringForwardListener(const QString& socketPath, std::function<void()> bringForward)
    : m_server(std::make_unique<QLocalServer>())
    , m_bringForward(std::move(bringForward))
{
    // Only the holder of the instance lock gets here, so a socket file left by a copy that
    // died is stale and may go.
    QLocalServer::removeServer(socketPath);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    QObject::connect(m_server.get(), &QLocalServer::newConnection, this, [this] { takeConnections(); });
    m_server->listen(socketPath);
}

BringForwardListener::~BringForwardListener() = default;

bool BringForwardListener::listening() const
{
    return m_server->isListening();
}

void BringForwardListener::takeConnections()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        // The asking copy closes right after its request, so the request may first be seen
        // as the socket ends.
        auto readRequest = [this, socket] {
            if (socket->canReadLine() && socket->readLine() == kBringForwardRequest)
                m_bringForward();
        };
        QObject::connect(socket, &QLocalSocket::readyRead, this, readRequest);
        QObject::connect(socket, &QLocalSocket::disconnected, this, [socket, readRequest] {
            readRequest();
            socket->deleteLater();
        });
        readRequest();
    }
}

bool askRunningCopyToComeForward(const QString& socketPath, int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    // The running copy may be blocked in a discovery wait: the request waits in its socket
    // and is served when its event loop next turns; there is nothing to wait for here.
    socket.write(kBringForwardRequest);
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(timeoutMs);
    return true;
}

void bringWindowForward(QWidget& window)
{
    if (!window.isVisible())
        return;
    if (window.isMinimized())
        window.showNormal();
    window.raise();
    window.activateWindow();
}

SingleInstanceGuard::SingleInstanceGuard() = default;
SingleInstanceGuard::~SingleInstanceGuard() = default;

void SingleInstanceGuard::check(Application& app, QWidget& window, const QString& folder)
{
    m_instanceLock = checkFirstCopy(folder, app.title());
    if (!m_instanceLock.held()) {
        actAsSecondCopy(app, folder);
        return;
    }
    m_listener = std::make_unique<BringForwardListener>(
        bringForwardSocketPath(folder, app.title()), [&window] { bringWindowForward(window); });
}

void SingleInstanceGuard::actAsSecondCopy(Application& app, const QString& folder)
{
    app.setShowMainWindow(false);
    // The box runs an event loop of its own; the window's timers stay held because the
    // window is never painted, so nothing of this copy acts meanwhile.
    showSecondCopyMessage(app.title());
    askRunningCopyToComeForward(bringForwardSocketPath(folder, app.title()));
    app.requestEnd();
}

void showSecondCopyMessage(const Text& title)
{
    QMessageBox box(QMessageBox::Warning, fromCp1252(title), fromCp1252(kSecondCopyMessage), QMessageBox::Ok);
    box.exec();
}

} // namespace quorvel::app
