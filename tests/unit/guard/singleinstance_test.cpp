#include "app/application.h"
#include "app/singleinstance.h"
#include "base/config.h"
#include "base/cp1252.h"

#include "wait.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <memory>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace quorvel;
using namespace quorvel::app;

namespace {

const Text kTitle = kAppTitle;

class GuardTest : public ::testing::Test {
protected:
    QString folder() const { return m_dir.path(); }
    QString path(const char* suffix) const { return instanceFilePath(folder(), kTitle, suffix); }

    QTemporaryDir m_dir;
};

// A copy in another process: it makes the check, reports whether it won on a pipe, then
// waits to be killed. Only async-signal-safe calls after the check.
class CopyInChild {
public:
    explicit CopyInChild(const QString& folder)
    {
        int fds[2];
        EXPECT_EQ(::pipe(fds), 0);
        m_pid = ::fork();
        if (m_pid == 0) {
            ::close(fds[0]);
            NamedLock lock = checkFirstCopy(folder, kTitle);
            const char won = lock.held() ? '1' : '0';
            (void)!::write(fds[1], &won, 1);
            for (;;)
                ::pause();
        }
        ::close(fds[1]);
        char won = '?';
        EXPECT_EQ(::read(fds[0], &won, 1), 1);
        ::close(fds[0]);
        m_won = won == '1';
    }
    ~CopyInChild() { killHard(); }

    bool won() const { return m_won; }

    // The abnormal end: no destructor, no unlock, only the kernel cleaning up.
    void killHard()
    {
        if (m_pid <= 0)
            return;
        ::kill(m_pid, SIGKILL);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_pid = -1;
    }

private:
    pid_t m_pid = -1;
    bool m_won = false;
};

} // namespace

TEST(GuardNames, LockFilesAreNamedFromTheTitle)
{
    struct Case {
        Text title;
        const char* suffix;
        QString expected;
    };
    const Case cases[] = {
        {kTitle, "CriticalSection", QStringLiteral("/run/x/VYD - Quorvel V3.OneInstance.CriticalSection")},
        {kTitle, "Default", QStringLiteral("/run/x/VYD - Quorvel V3.OneInstance.Default")},
        // a title with a slash must not lead into another folder
        {"A/B", "Default", QStringLiteral("/run/x/A_B.OneInstance.Default")},
        // Windows-1252 letters stay letters
        {"Corrida \xC9", "Default", QStringLiteral("/run/x/Corrida \u00C9.OneInstance.Default")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(instanceFilePath(QStringLiteral("/run/x"), c.title, c.suffix), c.expected) << c.title.constData();
}

// Sets an environment variable (or unsets it, for a null value) until the end of the scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value)
        : m_name(name)
        , m_saved(qgetenv(name))
        , m_wasSet(qEnvironmentVariableIsSet(name))
    {
        if (value)
            qputenv(name, value);
        else
            qunsetenv(name);
    }
    ~ScopedEnv()
    {
        if (m_wasSet)
            qputenv(m_name, m_saved);
        else
            qunsetenv(m_name);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* m_name;
    QByteArray m_saved;
    bool m_wasSet;
};

TEST(GuardNames, LocksLiveInOneFolderOfEveryAccountWhateverTheRuntimeDir)
{
    const QString shared = sharedLockFolder(QStringLiteral("/run/lock"), QStringLiteral("/tmp"));
    struct Case {
        const char* what;
        const char* lockVariable;
        const char* runtimeDir;
        QString expected;
    };
    const Case cases[] = {
        {"a test's own folder", "/srv/locks", "/run/user/4242", QStringLiteral("/srv/locks")},
        {"an account's runtime folder", nullptr, "/run/user/4242", shared},
        // inherited through su: another account's folder, which this one cannot write
        {"an unwritable runtime folder", nullptr, "/proc/version/runtime", shared},
        {"no runtime folder", nullptr, nullptr, shared},
        {"an empty variable", "", nullptr, shared},
    };
    for (const Case& c : cases) {
        ScopedEnv lockVariable(kLockFolderVariable, c.lockVariable);
        ScopedEnv runtimeDir("XDG_RUNTIME_DIR", c.runtimeDir);
        EXPECT_EQ(lockFolder().toStdString(), c.expected.toStdString()) << c.what;
    }
}

TEST_F(GuardTest, TheSharedFolderIsOneEveryAccountMayCreateIn)
{
    const QString fallback = folder() + QStringLiteral("/fallback");
    struct Case {
        const char* name;
        int mode; // -1: a plain file; 0: missing
        bool shared;
    };
    const Case cases[] = {
        {"sticky", 01777, true},
        {"open", 0777, true},
        {"others write and search", 0703, true},
        {"private", 0755, false},
        {"others write, no search", 0776, false},
        {"missing", 0, false},
        {"a file", -1, false},
    };
    for (const Case& c : cases) {
        const QString preferred = folder() + QLatin1Char('/') + QLatin1String(c.name);
        const QByteArray encoded = QFile::encodeName(preferred);
        if (c.mode > 0) {
            ASSERT_TRUE(QDir().mkdir(preferred));
            ASSERT_EQ(::chmod(encoded.constData(), mode_t(c.mode)), 0);
        } else if (c.mode < 0) {
            QFile file(preferred);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            ASSERT_EQ(::chmod(encoded.constData(), 0777), 0);
        }
        EXPECT_EQ(sharedLockFolder(preferred, fallback).toStdString(), (c.shared ? preferred : fallback).toStdString())
            << c.name;
    }
}

TEST_F(GuardTest, AMissingLockFileIsCreatedSoThatEveryAccountCanOpenIt)
{
    const mode_t saved = ::umask(077);
    NamedLock lock = checkFirstCopy(folder(), kTitle);
    ::umask(saved);
    ASSERT_TRUE(lock.held());
    for (const char* suffix : {"CriticalSection", "Default"}) {
        struct stat info { };
        ASSERT_EQ(::stat(QFile::encodeName(path(suffix)).constData(), &info), 0) << suffix;
        EXPECT_TRUE(S_ISREG(info.st_mode)) << suffix;
        EXPECT_EQ(info.st_mode & 0777, 0644u) << suffix;
    }
}

TEST_F(GuardTest, FirstCheckWinsSecondLosesUntilTheFirstEnds)
{
    NamedLock first = checkFirstCopy(folder(), kTitle);
    ASSERT_TRUE(first.held());
    EXPECT_TRUE(QFile::exists(path("Default")));

    NamedLock second = checkFirstCopy(folder(), kTitle);
    EXPECT_FALSE(second.held());

    first.release();
    NamedLock third = checkFirstCopy(folder(), kTitle);
    EXPECT_TRUE(third.held());
}

TEST_F(GuardTest, TheCheckLockIsFreeAgainAfterEitherOutcome)
{
    auto checkLockIsFree = [&] {
        NamedLock checkLock;
        return checkLock.tryTake(path("CriticalSection"));
    };
    NamedLock first = checkFirstCopy(folder(), kTitle);
    ASSERT_TRUE(first.held());
    EXPECT_TRUE(checkLockIsFree()) << "after a first copy's check";
    NamedLock second = checkFirstCopy(folder(), kTitle);
    ASSERT_FALSE(second.held());
    EXPECT_TRUE(checkLockIsFree()) << "after a second copy's check";
}

TEST_F(GuardTest, ACopyThatFindsTheCheckTakenIsASecondCopy)
{
    // Another copy is in the middle of its own check; nobody holds the instance lock yet.
    NamedLock checking;
    ASSERT_TRUE(checking.tryTake(path("CriticalSection")));
    EXPECT_FALSE(checkFirstCopy(folder(), kTitle).held());
    // Losing must not have taken the instance lock on the way.
    NamedLock instance;
    EXPECT_TRUE(instance.tryTake(path("Default")));
}

TEST_F(GuardTest, ACheckLockThatCannotBeCreatedMakesASecondCopy)
{
    const QString missing = folder() + QStringLiteral("/no such folder");
    EXPECT_FALSE(checkFirstCopy(missing, kTitle).held());
}

TEST_F(GuardTest, AnotherProcessHoldingTheLockWinsUntilItIsKilled)
{
    CopyInChild child(folder());
    ASSERT_TRUE(child.won());
    EXPECT_FALSE(checkFirstCopy(folder(), kTitle).held());

    child.killHard();
    EXPECT_TRUE(checkFirstCopy(folder(), kTitle).held()) << "a lock whose holder died must count as free";
}

TEST_F(GuardTest, ALockHeldHereMakesAChildASecondCopy)
{
    NamedLock mine = checkFirstCopy(folder(), kTitle);
    ASSERT_TRUE(mine.held());
    CopyInChild child(folder());
    EXPECT_FALSE(child.won());
}

TEST_F(GuardTest, TheRunningCopyIsAskedToComeForward)
{
    int asked = 0;
    const QString socketPath = path("Window");
    BringForwardListener listener(socketPath, [&] { ++asked; });
    ASSERT_TRUE(listener.listening());

    EXPECT_TRUE(askRunningCopyToComeForward(socketPath));
    EXPECT_TRUE(waitUntil([&] { return asked == 1; }, 5000));
    EXPECT_TRUE(askRunningCopyToComeForward(socketPath));
    EXPECT_TRUE(waitUntil([&] { return asked == 2; }, 5000));
}

TEST_F(GuardTest, ARunningCopyInADeepRuntimeFolderCanStillBeBroughtForward)
{
    // Folders padded so that the readable socket path fits, is one byte too long for a
    // socket, and so deep that no name in them fits.
    const qsizetype nameBytes = QFile::encodeName(instanceFilePath(QString(), kTitle, "Window")).size();
    struct Case {
        const char* what;
        qsizetype folderBytes;
        bool readableName;
        bool inTheFolder;
    };
    const Case cases[] = {
        {"short folder", 40, true, true},
        {"readable name one byte too long", 107 - nameBytes + 1, false, true},
        {"folder too deep for a socket", 120, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QString deep = folder();
        while (QFile::encodeName(deep).size() < c.folderBytes - 1)
            deep += QLatin1String("/d");
        if (QFile::encodeName(deep).size() < c.folderBytes)
            deep += QLatin1Char('e');
        ASSERT_TRUE(QDir().mkpath(deep));
        ASSERT_EQ(QFile::encodeName(deep).size(), std::max(c.folderBytes, QFile::encodeName(folder()).size()));

        const QString socketPath = bringForwardSocketPath(deep, kTitle);
        EXPECT_LE(QFile::encodeName(socketPath).size(), 107) << socketPath.toStdString();
        EXPECT_EQ(socketPath == instanceFilePath(deep, kTitle, "Window"), c.readableName) << socketPath.toStdString();
        EXPECT_EQ(socketPath.startsWith(deep + QLatin1Char('/')), c.inTheFolder) << socketPath.toStdString();
        // Both copies must find the same socket.
        EXPECT_EQ(bringForwardSocketPath(deep, kTitle), socketPath);

        int asked = 0;
        BringForwardListener listener(socketPath, [&] { ++asked; });
        ASSERT_TRUE(listener.listening());
        EXPECT_TRUE(askRunningCopyToComeForward(socketPath));
        EXPECT_TRUE(waitUntil([&] { return asked == 1; }, 5000));
    }
}

TEST_F(GuardTest, NoRunningCopyMeansNothingToBringForward)
{
    EXPECT_FALSE(askRunningCopyToComeForward(path("Window"), 500));
}

TEST_F(GuardTest, ASocketLeftByACopyThatDiedDoesNotStopTheNextOne)
{
    // A listening socket whose process is gone: the file stays, nobody accepts.
    const QByteArray file = QFile::encodeName(path("Window"));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(size_t(file.size()), sizeof address.sun_path);
    std::memcpy(address.sun_path, file.constData(), size_t(file.size()));
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
    ASSERT_TRUE(QFile::exists(path("Window")));
    EXPECT_FALSE(askRunningCopyToComeForward(path("Window"), 500));

    int asked = 0;
    BringForwardListener listener(path("Window"), [&] { ++asked; });
    ASSERT_TRUE(listener.listening());
    EXPECT_TRUE(askRunningCopyToComeForward(path("Window")));
    EXPECT_TRUE(waitUntil([&] { return asked == 1; }, 5000));
}

TEST(GuardWindow, AWindowComesForwardRestoredOnlyOnceShown)
{
    QWidget window;
    bringWindowForward(window);
    EXPECT_FALSE(window.isVisible()) << "a window not shown yet is shown by the start-up, not by the guard";

    window.showMinimized();
    ASSERT_TRUE(window.isMinimized());
    bringWindowForward(window);
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.isMinimized());
}

// Presses OK on the guard's box once it is up, and keeps what it showed.
struct BoxSeen {
    QString text;
    QString caption;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    bool shown = false;
};

static void pressOkWhenTheBoxIsUp(BoxSeen& seen)
{
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [poll, &seen] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        seen = {box->text(), box->windowTitle(), box->icon(), box->standardButtons(), true};
        box->button(QMessageBox::Ok)->click();
        poll->deleteLater();
    });
    poll->start(20);
}

TEST_F(GuardTest, ASecondCopyTellsTheOperatorBringsTheFirstForwardAndEnds)
{
    Application firstApp;
    firstApp.setTitle(kTitle);
    QWidget firstWindow;
    SingleInstanceGuard first;
    first.check(firstApp, firstWindow, folder());
    ASSERT_TRUE(first.isFirstCopy());
    EXPECT_TRUE(firstApp.showMainWindow());
    EXPECT_FALSE(firstApp.endRequested());
    firstWindow.showMinimized();
    ASSERT_TRUE(firstWindow.isMinimized());

    Application secondApp;
    secondApp.setTitle(kTitle);
    QWidget secondWindow;
    SingleInstanceGuard second;
    BoxSeen seen;
    pressOkWhenTheBoxIsUp(seen);
    second.check(secondApp, secondWindow, folder());

    EXPECT_FALSE(second.isFirstCopy());
    ASSERT_TRUE(seen.shown);
    EXPECT_EQ(seen.text, QStringLiteral("VYD - Programa de TV"));
    EXPECT_EQ(seen.caption, QStringLiteral("VYD - Quorvel V3"));
    EXPECT_EQ(seen.icon, QMessageBox::Warning);
    EXPECT_EQ(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_FALSE(secondApp.showMainWindow());
    EXPECT_TRUE(secondApp.endRequested());
    EXPECT_FALSE(secondWindow.isVisible());

    // The request is served when the first copy's event loop turns.
    EXPECT_TRUE(waitUntil([&] { return !firstWindow.isMinimized(); }, 5000));
    EXPECT_TRUE(firstApp.showMainWindow());
    EXPECT_FALSE(firstApp.endRequested());
}

TEST_F(GuardTest, AListenerThatCannotListenIsReportedAndTheCopyRunsOn)
{
    // Something at the socket's name that no copy may remove, as a socket file another
    // account left in the shared folder.
    Application app;
    app.setTitle(kTitle);
    const QString socketPath = bringForwardSocketPath(folder(), kTitle);
    ASSERT_TRUE(QDir().mkdir(socketPath));
    QWidget window;
    SingleInstanceGuard guard;
    QStringList reports;
    guard.check(app, window, folder(), [&](const Text& line) { reports << fromCp1252(line); });

    EXPECT_TRUE(guard.isFirstCopy());
    EXPECT_TRUE(app.showMainWindow());
    EXPECT_FALSE(app.endRequested());
    ASSERT_EQ(reports.size(), 1);
    const QString start = QStringLiteral("Cannot listen on \"%1\": ").arg(socketPath);
    EXPECT_TRUE(reports[0].startsWith(start)) << reports[0].toStdString();
    EXPECT_GT(reports[0].size(), start.size()) << "the reason is missing";
}

TEST_F(GuardTest, AListenerThatListensReportsNothing)
{
    Application app;
    app.setTitle(kTitle);
    QWidget window;
    SingleInstanceGuard guard;
    QStringList reports;
    guard.check(app, window, folder(), [&](const Text& line) { reports << fromCp1252(line); });
    EXPECT_TRUE(guard.isFirstCopy());
    EXPECT_TRUE(reports.isEmpty()) << reports.join(u'|').toStdString();
}

namespace {

// The probe runs as root or as nobody (uid and gid 65534, no other groups), each with a
// runtime folder of its own, all with the same lock folder.
constexpr uid_t kNobody = 65534;

class GuardAccounts : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (::geteuid() != 0)
            GTEST_SKIP() << "acting as a second account needs root";
        if (QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
            GTEST_SKIP() << "setpriv (util-linux) is missing";
        ASSERT_TRUE(m_top.isValid());
        // Every account must reach the probe and the folders.
        ASSERT_EQ(::chmod(QFile::encodeName(m_top.path()).constData(), 0755), 0);
        m_probe = m_top.path() + QStringLiteral("/guard_probe");
        ASSERT_TRUE(QFile::copy(QString::fromUtf8(GUARD_PROBE), m_probe));
        ASSERT_EQ(::chmod(QFile::encodeName(m_probe).constData(), 0755), 0);
        m_locks = makeFolder(QStringLiteral("locks"), 01777, 0);
        m_runtime[0] = makeFolder(QStringLiteral("runtime-root"), 0700, 0);
        m_runtime[1] = makeFolder(QStringLiteral("runtime-nobody"), 0700, kNobody);
    }

    QString makeFolder(const QString& name, mode_t mode, uid_t owner)
    {
        const QString path = m_top.path() + QLatin1Char('/') + name;
        EXPECT_TRUE(QDir().mkdir(path));
        const QByteArray encoded = QFile::encodeName(path);
        EXPECT_EQ(::chown(encoded.constData(), owner, owner), 0);
        EXPECT_EQ(::chmod(encoded.constData(), mode), 0);
        return path;
    }

    // Starts the probe as root (account 0) or nobody (account 1).
    std::unique_ptr<QProcess> start(int account, QStringList arguments)
    {
        auto probe = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QLatin1String(kLockFolderVariable), m_locks);
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtimeIsLockFolder ? m_locks : m_runtime[account]);
        probe->setProcessEnvironment(env);
        probe->setWorkingDirectory(m_top.path());
        if (account == 0) {
            probe->start(m_probe, arguments);
        } else {
            arguments.prepend(m_probe);
            arguments.prepend(QStringLiteral("--"));
            arguments.prepend(QStringLiteral("--clear-groups"));
            arguments.prepend(QStringLiteral("--regid=%1").arg(kNobody));
            arguments.prepend(QStringLiteral("--reuid=%1").arg(kNobody));
            probe->start(QStringLiteral("setpriv"), arguments);
        }
        EXPECT_TRUE(probe->waitForStarted(10000));
        return probe;
    }

    // The probe's answer: "first" or "second" (or what went wrong).
    static QString answer(QProcess& probe)
    {
        waitUntil([&] { return probe.canReadLine() || probe.state() == QProcess::NotRunning; }, 20000);
        if (!probe.canReadLine())
            return QStringLiteral("no answer: ") + QString::fromLocal8Bit(probe.readAllStandardError());
        return QString::fromLatin1(probe.readLine()).trimmed();
    }

    // waitForFinished() is false for a process that has finished already.
    static bool finished(QProcess& probe)
    {
        return probe.state() == QProcess::NotRunning || probe.waitForFinished(20000);
    }

    QString check(int account, const QStringList& arguments = {})
    {
        auto probe = start(account, arguments);
        const QString result = answer(*probe);
        EXPECT_TRUE(finished(*probe));
        EXPECT_EQ(probe->exitCode(), 0) << probe->readAllStandardError().toStdString();
        return result;
    }

    QString lockFile(const char* suffix) const { return instanceFilePath(m_locks, kTitle, suffix); }

    QTemporaryDir m_top;
    QString m_probe;
    QString m_locks;
    QString m_runtime[2];
    bool m_runtimeIsLockFolder = false;
};

} // namespace

TEST_F(GuardAccounts, TwoAccountsSeeOneAnothersCopy)
{
    const char* names[] = {"root", "nobody"};
    for (int holder : {0, 1}) {
        const int asker = 1 - holder;
        SCOPED_TRACE(std::string(names[holder]) + " runs, " + names[asker] + " starts a copy");
        for (const char* suffix : {"CriticalSection", "Default"})
            QFile::remove(lockFile(suffix));

        auto running = start(holder, {QStringLiteral("--hold")});
        ASSERT_EQ(answer(*running).toStdString(), "first");
        EXPECT_EQ(check(asker).toStdString(), "second");

        running->closeWriteChannel();
        ASSERT_TRUE(finished(*running));
        EXPECT_EQ(check(asker).toStdString(), "first") << "once the other account's copy has ended";
    }
}

TEST_F(GuardAccounts, ALockFileOfAnotherAccountInAStickyFolderIsOpenedWithoutCreating)
{
    // Whichever folder a copy chooses, here it is this one: only how the file is opened
    // matters.
    m_runtimeIsLockFolder = true;
    // nobody's copy ran and ended: its lock files stay, owned by nobody, in a sticky
    // world-writable folder that root owns.
    ASSERT_EQ(check(1).toStdString(), "first");
    for (const char* suffix : {"CriticalSection", "Default"}) {
        struct stat info { };
        ASSERT_EQ(::stat(QFile::encodeName(lockFile(suffix)).constData(), &info), 0) << suffix;
        ASSERT_EQ(info.st_uid, kNobody) << suffix;
    }
    // Where the kernel refuses O_CREAT on such a file, root's copy must still start.
    EXPECT_EQ(check(0, {QStringLiteral("--refuse-create-open")}).toStdString(), "first");
    // And where nothing exists yet, the refusal leaves creating the files possible.
    for (const char* suffix : {"CriticalSection", "Default"})
        ASSERT_TRUE(QFile::remove(lockFile(suffix)));
    EXPECT_EQ(check(0, {QStringLiteral("--refuse-create-open")}).toStdString(), "first");
    EXPECT_TRUE(QFile::exists(lockFile("Default")));
}
