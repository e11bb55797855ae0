#include "app/endsignals.h"

#include "app/application.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QWidget>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace quorvel::app {
namespace {

// The write end for the handler; one set of handlers per process.
volatile sig_atomic_t g_writeEnd = -1;

} // namespace

EndOnSignals::EndOnSignals(Application& app)
    : m_app(app)
{
    if (::pipe2(m_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return; // the signals keep their default action: the program still ends
    g_writeEnd = m_pipe[1];
    m_notifier = std::make_unique<QSocketNotifier>(m_pipe[0], QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] {
        char bytes[16];
        while (::read(m_pipe[0], bytes, sizeof bytes) > 0) { }
        m_app.requestEnd();
        // A box waiting for OK (a start-up failure, the guard's message) would hold the
        // end for ever: it is dismissed, as its OK would.
        if (QWidget* box = QApplication::activeModalWidget())
            box->close();
    });
    struct sigaction action { };
    action.sa_handler = &EndOnSignals::handle;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, &m_oldTerm);
    ::sigaction(SIGINT, &action, &m_oldInt);
}

EndOnSignals::~EndOnSignals()
{
    if (m_pipe[0] < 0)
        return;
    ::sigaction(SIGTERM, &m_oldTerm, nullptr);
    ::sigaction(SIGINT, &m_oldInt, nullptr);
    g_writeEnd = -1;
    m_notifier.reset();
    ::close(m_pipe[0]);
    ::close(m_pipe[1]);
}

void EndOnSignals::handle(int)
{
    const int saved = errno;
    const int fd = g_writeEnd;
    if (fd >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
    }
    errno = saved;
}

} // namespace quorvel::app
