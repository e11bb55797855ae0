#pragma once

#include "app/application.h"
#include "base/config.h"
#include "base/timer.h"
#include "overlay/screen.h"
#include "overlay/view.h"

#include <memory>

namespace quorvel::app {

// The overlay window frmPrincipal (TfrmPrincipal): it owns every element (through the
// screen model and its view), the timers and the window's private state, and holds the
// event handlers, which run inside the application's failure route.
class Form {
public:
    Form(Application& app, const Config& config);
    ~Form();

    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    overlay::Screen& screen() { return m_screen; }
    overlay::View& view() { return *m_view; }
    const Config& config() const { return m_config; }

    // The creation handler, run once after every element exists.
    void FormCreate();

    // The application-wide exception handler: the failure's message, unchanged, as one
    // write to mLog.
    void ManipulaExcecoes(const std::exception& e);

    // One discovery run.
    void Ping();
    // The run reset of the race display.
    void limpadados();

    // Tick handlers.
    void TimerErroTimer();
    void tmrIntervaloTimer();
    void tmrResultTimer();
    void tmrHoraTimer();

    // Shows the window; timer ticks wait until it has been painted once, so the retry tick
    // that fell due during the start-up discovery never blocks a blank window.
    void showWindow();

    Timer TimerErro;
    Timer tmrIntervalo;
    Timer tmrResult;
    Timer tmrHora;

    // The timing server's host once discovery has found one; empty until then.
    Text ServerAddress;
    // "S" once the current discovery run had an answer, "N" before.
    Text discoveryFlag;

private:
    void attachTimers();
    void holdTimers();
    void releaseTimers();
    void checkSingleInstance();

    Application& m_app;
    Config m_config;
    overlay::Screen m_screen;
    std::unique_ptr<overlay::View> m_view;
};

} // namespace quorvel::app
