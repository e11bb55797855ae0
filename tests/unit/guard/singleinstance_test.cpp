#include "app/application.h"
#include "app/singleinstance.h"
#include "base/config.h"

#include "wait.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <sys/socket.h>
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

TEST(GuardNames, LockFolderIsTheRuntimeDirOrTmp)
{
    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", "/run/user/4242");
    EXPECT_EQ(lockFolder(), QStringLiteral("/run/user/4242"));
    qunsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(lockFolder(), QStringLiteral("/tmp"));
    if (!saved.isNull())
        qputenv("XDG_RUNTIME_DIR", saved);
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
