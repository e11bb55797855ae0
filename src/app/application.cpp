#include "app/application.h"

#include "base/cp1252.h"

#include <cstdio>

namespace quorvel::app {

Application::Application() = default;

void Application::setTitle(const Text& title)
{
    m_title = title;
    // Only the name: a display name would be appended to every window's title, and the
    // boxes' captions must read exactly as they are set.
    QApplication::setApplicationName(fromCp1252(title));
}

void Application::requestEnd()
{
    m_endRequested = true;
    if (m_loopRunning)
        QCoreApplication::exit(0);
}

std::function<void()> Application::guardedHandler(std::function<void()> handler)
{
    return [this, handler = std::move(handler)] { guarded(handler); };
}

void Application::handleException(const std::exception& e)
{
    if (m_exceptionHandler) {
        m_exceptionHandler(e);
        return;
    }
    // Before the form installs its handler nothing is on screen to show the message.
    const Text message = messageOf(e);
    std::fprintf(stderr, "quorvel: %s\n", message.constData());
}

void Application::runEventLoop()
{
    if (m_endRequested)
        return;
    // Closing the overlay window ends the program through the end request, not through
    // Qt's last-window rule, so a modal box of a second copy cannot end it early.
    QApplication::setQuitOnLastWindowClosed(false);
    m_loopRunning = true;
    QCoreApplication::exec();
    m_loopRunning = false;
}

GuardedQtApplication::GuardedQtApplication(int& argc, char** argv, Application& app)
    : QApplication(argc, argv)
    , m_app(app)
{
}

bool GuardedQtApplication::notify(QObject* receiver, QEvent* event)
{
    bool handled = false;
    m_app.guarded([&] { handled = QApplication::notify(receiver, event); });
    return handled;
}

} // namespace quorvel::app
