#pragma once

#include "base/failure.h"
#include "base/text.h"

#include <QApplication>

#include <exception>
#include <functional>

namespace quorvel::app {

// The application object: one per process. Holds the title, the show-main-window flag,
// the end request and the application-wide exception handler, and runs every handler of
// the program inside the failure route. It works over the process's Qt application
// object (a GuardedQtApplication in the program, the test runner's in tests).
class Application {
public:
    Application();

    const Text& title() const { return m_title; }
    void setTitle(const Text& title);

    // The event loop shows the main window only while this is set; a second copy clears it.
    bool showMainWindow() const { return m_showMainWindow; }
    void setShowMainWindow(bool show) { m_showMainWindow = show; }

    // Asking Qt to quit before its loop runs does nothing, so the request is our own flag,
    // which the loop checks before it starts.
    bool endRequested() const { return m_endRequested; }
    void requestEnd();

    using ExceptionHandler = std::function<void(const std::exception&)>;
    void setExceptionHandler(ExceptionHandler handler) { m_exceptionHandler = std::move(handler); }
    bool hasExceptionHandler() const { return bool(m_exceptionHandler); }

    // Runs a handler inside the failure route: a failure that escapes it ends the handler
    // there, goes to the exception handler, and the event loop goes on.
    template <class F> void guarded(F&& handler)
    {
        try {
            handler();
        } catch (const std::exception& e) {
            handleException(e);
        } catch (...) {
            handleException(Failure("Unknown failure"));
        }
    }

    // Wraps a handler so that it always runs guarded.
    std::function<void()> guardedHandler(std::function<void()> handler);

    void handleException(const std::exception& e);

    // Starts the event loop unless the end was requested already; returns when it ends.
    void runEventLoop();

private:
    Text m_title;
    bool m_showMainWindow = true;
    bool m_endRequested = false;
    bool m_loopRunning = false;
    ExceptionHandler m_exceptionHandler;
};

// The Qt application object of the program: anything that escapes a Qt event handler
// goes through the failure route too.
class GuardedQtApplication : public QApplication {
public:
    GuardedQtApplication(int& argc, char** argv, Application& app);
    bool notify(QObject* receiver, QEvent* event) override;

private:
    Application& m_app;
};

} // namespace quorvel::app
