#pragma once

#include "base/text.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QLocalServer;
class QWidget;

namespace quorvel::app {

class Application;

// Where the guard's lock files and the running copy's bring-forward socket live: the
// folder named by $QUORVEL_LOCK_DIR when it is set (tests), otherwise one folder shared by
// every account, /run/lock, or /tmp where that is missing. $XDG_RUNTIME_DIR is never used:
// it is one folder per account, so each account would run a copy of its own.
QString lockFolder();

// The preferred folder when every account can create files in it (a world-writable
// folder), the fallback otherwise. The choice hangs on the folder alone, never on who asks,
// so that all accounts choose alike.
QString sharedLockFolder(const QString& preferred, const QString& fallback);

// The file of a name derived from the title, e.g. "VYD - Quorvel V3.OneInstance.Default"
// in the folder. The name stays readable; only what a file name cannot hold is replaced.
QString instanceFilePath(const QString& folder, const Text& title, const char* suffix);

// The running copy's bring-forward socket: the readable instance file name "...Window" in
// the folder, or a short name of the same origin when that path is too long for a socket.
QString bringForwardSocketPath(const QString& folder, const Text& title);

// A named system-wide lock, built on flock() over a file that is never removed: the kernel
// releases it when its holder ends, so a copy that died holding it leaves it free.
class NamedLock {
public:
    NamedLock() = default;
    ~NamedLock();
    NamedLock(NamedLock&& other) noexcept;
    NamedLock& operator=(NamedLock&& other) noexcept;
    NamedLock(const NamedLock&) = delete;
    NamedLock& operator=(const NamedLock&) = delete;

    // Opens the lock's file, creating it if it is missing, and takes the lock with a zero
    // wait. False when another holder has it or the file cannot be opened.
    bool tryTake(const QString& path);
    // Releases and closes the lock; nothing happens when it is not held.
    void release();
    bool held() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

// The check made once at start-up. Returns the instance lock, held, when this is the first
// copy, and a lock that is not held when it is a second copy: the check lock was taken (another
// copy is checking at this moment) or could not be created, or the instance lock is held.
NamedLock checkFirstCopy(const QString& folder, const Text& title);

// The first copy listens on a local socket; a later copy that connects and sends the
// request has it brought to the front.
class BringForwardListener : public QObject {
public:
    BringForwardListener(const QString& socketPath, std::function<void()> bringForward);
    ~BringForwardListener() override;

    bool listening() const;
    // Why listening failed, e.g. "QLocalServer::listen: Address in use"; empty while it listens.
    QString errorString() const;

private:
    void takeConnections();

    std::unique_ptr<QLocalServer> m_server;
    std::function<void()> m_bringForward;
};

// Asks the running copy to come to the front; false when no running copy answers.
bool askRunningCopyToComeForward(const QString& socketPath, int timeoutMs = 1000);

// Restores the window if it is minimized and brings it to the foreground. A window not shown
// yet is left alone: it comes up in front when it is shown.
void bringWindowForward(QWidget& window);

// The guard abfOneInstance1 of the overlay window. The first copy keeps the instance lock
// and the bring-forward listener for as long as the guard lives; a second copy tells the
// operator, brings the running copy forward and asks the program to end.
class SingleInstanceGuard {
public:
    SingleInstanceGuard();
    ~SingleInstanceGuard();
    SingleInstanceGuard(const SingleInstanceGuard&) = delete;
    SingleInstanceGuard& operator=(const SingleInstanceGuard&) = delete;

    // Where the guard says what went wrong without stopping the copy: mLog.
    using Report = std::function<void(const Text&)>;

    // Runs once, after every element of the window exists and before FormCreate.
    void check(Application& app, QWidget& window, const QString& folder = lockFolder(), const Report& report = {});
    bool isFirstCopy() const { return m_instanceLock.held(); }

private:
    void actAsSecondCopy(Application& app, const QString& folder);

    NamedLock m_instanceLock;
    std::unique_ptr<BringForwardListener> m_listener;
};

// The second copy's modal box: "VYD - Programa de TV" under the application title, a
// warning icon and a single OK button. Returns when the operator dismisses it.
void showSecondCopyMessage(const Text& title);

} // namespace quorvel::app
