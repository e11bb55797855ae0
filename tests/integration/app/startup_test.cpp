#include "appfixture.h"

#include "app/singleinstance.h"
#include "base/cp1252.h"

#include <QDir>
#include <QEvent>
#include <QObject>

#include <algorithm>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace quorvel;
using overlay::El;

namespace {

// Swallows every paint event of one window and all its elements: a window that is shown
// but never painted, as under a window manager that maps it late or with a minimised start.
class NoPaint : public QObject {
public:
    explicit NoPaint(QWidget& window)
        : m_window(window)
    {
        QCoreApplication::instance()->installEventFilter(this);
    }
    ~NoPaint() override { QCoreApplication::instance()->removeEventFilter(this); }

    int swallowed = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (event->type() != QEvent::Paint || !widget || widget->window() != &m_window)
            return false;
        ++swallowed;
        return true;
    }

private:
    QWidget& m_window;
};

// Lowers the soft limit of open files to the number of those open now: the process can
// create no descriptor until the limit is put back at the end of the scope.
class NoNewDescriptors {
public:
    NoNewDescriptors()
    {
        ::getrlimit(RLIMIT_NOFILE, &m_saved);
        const int lowestFree = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        EXPECT_GE(lowestFree, 0);
        ::close(lowestFree);
        rlimit lowered = m_saved;
        lowered.rlim_cur = rlim_t(lowestFree);
        EXPECT_EQ(::setrlimit(RLIMIT_NOFILE, &lowered), 0);
        const int refused = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        EXPECT_LT(refused, 0) << "the limit does not hold";
        if (refused >= 0)
            ::close(refused);
    }
    ~NoNewDescriptors() { ::setrlimit(RLIMIT_NOFILE, &m_saved); }
    NoNewDescriptors(const NoNewDescriptors&) = delete;
    NoNewDescriptors& operator=(const NoNewDescriptors&) = delete;

private:
    rlimit m_saved{};
};

} // namespace

TEST_F(AppFixture, AWindowShownButNeverPaintedStillRetriesAndRunsItsClock)
{
    dm = std::make_unique<db::DataModule>(config);
    form = std::make_unique<app::Form>(app, *dm, config);
    NoPaint noPaint(form->view());
    formCreate();
    const Text laidOutClock = form->screen().text(El::lblHora);
    form->showWindow();

    EXPECT_TRUE(waitUntil([&] { return contains(El::Memo1, "TimerErro"); }, 10000)) << "no retry tick";
    EXPECT_TRUE(waitUntil([&] { return form->screen().text(El::lblHora) != laidOutClock; }, 10000))
        << "the clock never ticked";
    QTcpSocket* timingServer = acceptConnection(10000);
    ASSERT_NE(timingServer, nullptr) << "never connected";
    EXPECT_EQ(readUntil(timingServer, 17), "Quorvel:Conectado");
}

TEST_F(AppFixture, AFormNeverShownNeverTicks)
{
    // A second copy's form: nothing of it may act while its box is up or after.
    dm = std::make_unique<db::DataModule>(config);
    form = std::make_unique<app::Form>(app, *dm, config);
    formCreate();
    const Text laidOutClock = form->screen().text(El::lblHora);
    int referenceTicks = 0;
    Timer reference("reference", config.retryIntervalMs);
    reference.setOnTick([&] { ++referenceTicks; });
    reference.start();
    // Long enough for a retry tick, a clock tick and the fallback of a shown window.
    const int enough = std::max({config.retryIntervalMs, config.clockIntervalMs, config.firstPaintFallbackMs}) * 2;
    ASSERT_TRUE(waitUntil([&] { return referenceTicks * config.retryIntervalMs >= enough; }, enough * 5));
    EXPECT_FALSE(contains(El::Memo1, "TimerErro"));
    EXPECT_EQ(form->screen().text(El::lblHora), laidOutClock);
}

TEST_F(AppFixture, TheFailureHandlerGoesWithTheForm)
{
    startForm();
    ASSERT_TRUE(app.hasExceptionHandler());
    form.reset();
    ASSERT_FALSE(app.hasExceptionHandler()) << "the application would report into a destroyed form";
    // With no form the report goes to the standard error, and nothing breaks.
    app.handleException(Failure("after the form"));
}

TEST_F(AppFixture, ASocketTheSystemRefusesIsTriedAgainAtEveryRetry)
{
    // Every discovery fails (nothing can be sent to port 0), so discovery never arms the
    // retry timer, and nobody listens yet, so each attempt is refused and the link's error
    // arms it.
    config.discoveryPort = 0;
    startForm();
    ASSERT_TRUE(waitUntil([&] { return contains(El::Memo1, "S Erro"); }, 10000));
    EXPECT_TRUE(contains(El::mLog, "Socket Error # 22"));
    EXPECT_FALSE(contains(El::mLog, "SEM SERVIDOR"));
    {
        // Now the link's socket cannot be made at all: only the retry tick itself can arm
        // the next one. (The window has been painted by now: painting may start threads,
        // which need descriptors of their own.)
        NoNewDescriptors exhausted;
        const int ticksBefore = count(El::Memo1, "TimerErro");
        EXPECT_TRUE(waitUntil([&] { return count(El::mLog, "Can't create new socket") >= 3; }, 10000))
            << lines(El::mLog).join('|').constData();
        EXPECT_GE(count(El::Memo1, "TimerErro") - ticksBefore, 3);
    }
    QTcpSocket* timingServer = acceptConnection(10000);
    ASSERT_NE(timingServer, nullptr) << "no retry once descriptors are back";
    EXPECT_EQ(readUntil(timingServer, 17), "Quorvel:Conectado");
}

TEST_F(AppFixture, ABringForwardListenerThatFailsIsSaidInMLog)
{
    // The form's locks in a folder of this test, where something that no copy may remove
    // sits at the socket's name, as a socket file another account left in the shared folder.
    QTemporaryDir locks;
    struct LockFolderOfThisTest {
        QByteArray saved = qgetenv(kLockFolderVariable);
        explicit LockFolderOfThisTest(const QString& folder) { qputenv(kLockFolderVariable, folder.toLocal8Bit()); }
        ~LockFolderOfThisTest() { qputenv(kLockFolderVariable, saved); }
    } lockFolder(locks.path());
    const QString socketPath = app::bringForwardSocketPath(locks.path(), app.title());
    ASSERT_TRUE(QDir().mkdir(socketPath));
    startForm();

    EXPECT_TRUE(app.showMainWindow());
    EXPECT_FALSE(app.endRequested());
    const Text expected = toCp1252(QStringLiteral("Cannot listen on \"%1\": ").arg(socketPath));
    const TextList log = lines(El::mLog);
    EXPECT_TRUE(std::any_of(log.begin(), log.end(), [&](const Text& line) { return line.startsWith(expected); }))
        << log.join('|').constData();
}
