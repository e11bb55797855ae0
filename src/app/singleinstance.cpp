#include "app/singleinstance.h"

#include "app/application.h"
#include "base/config.h"
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
#include <sys/stat.h>
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
    const QString chosen = qEnvironmentVariable(kLockFolderVariable);
    if (!chosen.isEmpty())
        return chosen;
    return sharedLockFolder(QLatin1String(kLockFolder), QLatin1String(kLockFolderFallback));
}

QString sharedLockFolder(const QString& preferred, const QString& fallback)
{
    struct stat info { };
    const bool everyoneMayCreate = ::stat(QFile::encodeName(preferred).constData(), &info) == 0 &&
        S_ISDIR(info.st_mode) && (info.st_mode & (S_IWOTH | S_IXOTH)) == (S_IWOTH | S_IXOTH);
    return everyoneMayCreate ? preferred : fallback;
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
    const QString shortName = QLatin1String("quorvel-") +
        QString::fromLatin1(QCryptographicHash::hash(encoded, QCryptographicHash::Sha256).toHex().left(16)) +
        QLatin1String(".sock");
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

namespace {

// Read-only is enough for flock(), so a lock file another account created still serves.
// An existing file is opened without O_CREAT: in a sticky world-writable folder the kernel
// may refuse O_CREAT on another account's file (fs.protected_regular) even though nothing
// would be created. A missing one is created exclusively, readable by every account
// whatever our umask, so that their copies can open it too.
// Close-on-exec: a child process must not inherit the lock and keep it after we end.
// No links followed and no wait on a fifo: anyone may put a file of that name in a shared
// folder.
int openLockFile(const QByteArray& path)
{
    constexpr int kFlags = O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;
    for (int attempt = 0; attempt < 3; ++attempt) {
        int fd = ::open(path.constData(), kFlags);
        if (fd >= 0 || errno != ENOENT)
            return fd;
        fd = ::open(path.constData(), kFlags | O_CREAT | O_EXCL, 0644);
        if (fd >= 0) {
            ::fchmod(fd, 0644);
            return fd;
        }
        if (errno != EEXIST)
            return -1;
        // Another copy created it between our two opens: open theirs.
    }
    return -1;
}

} // namespace

bool NamedLock::tryTake(const QString& path)
{
    release();
    const int fd = openLockFile(QFile::encodeName(path));
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

QString BringForwardListener::errorString() const
{
    return m_server->isListening() ? QString() : m_server->errorString();
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

void SingleInstanceGuard::check(Application& app, QWidget& window, const QString& folder, const Report& report)
{
    m_instanceLock = checkFirstCopy(folder, app.title());
    if (!m_instanceLock.held()) {
        actAsSecondCopy(app, folder);
        return;
    }
    const QString socketPath = bringForwardSocketPath(folder, app.title());
    m_listener = std::make_unique<BringForwardListener>(socketPath, [&window] { bringWindowForward(window); });
    // This copy runs on, but a later one cannot bring it forward (e.g. a socket file that
    // another account left in the shared folder cannot be replaced): the operator is told.
    if (!m_listener->listening() && report)
        report(toCp1252(QStringLiteral("Cannot listen on \"%1\": %2").arg(socketPath, m_listener->errorString())));
}

void SingleInstanceGuard::actAsSecondCopy(Application& app, const QString& folder)
{
    app.setShowMainWindow(false);
    // The box runs an event loop of its own; the window's timers stay held because the
    // window is never shown, so nothing of this copy acts meanwhile.
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
