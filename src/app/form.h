#pragma once

#include "app/application.h"
#include "app/singleinstance.h"
#include "base/config.h"
#include "base/timer.h"
#include "db/datamodule.h"
#include "db/query.h"
#include "journal/journal.h"
#include "link/discovery.h"
#include "link/linkevents.h"
#include "link/tcpclient.h"
#include "overlay/clock.h"
#include "overlay/screen.h"
#include "race/board.h"
#include "race/racedisplay.h"
#include "race/readhandler.h"
#include "views/programoutput.h"
#include "views/view.h"

#include <QTimer>

#include <functional>
#include <memory>

namespace quorvel::app {

class LaneVehiclesOnDatabase;

// The overlay window frmPrincipal (TfrmPrincipal): it owns every element (through the
// screen model and its view), the TCP client, the timers, the two lane queries and the
// window's private state, and holds the event handlers, which run inside the
// application's failure route.
class Form : private link::LinkEvents {
public:
    Form(Application& app, db::DataModule& dm, const Config& config);
    ~Form() override;

    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    overlay::Screen& screen() { return m_screen; }
    overlay::View& view() { return *m_view; }
    race::RaceDisplay& race() { return *m_race; }
    race::Board& board() { return m_board; }
    const Config& config() const { return m_config; }

    // The creation handler, run once after every element exists. Its discovery waits
    // without holding the thread; the handler's later steps, then `afterwards`, run once
    // the discovery has ended (whether or not it failed).
    void FormCreate(std::function<void()> afterwards = {});

    // The application-wide exception handler: the failure's message, unchanged, as one
    // write to mLog.
    void ManipulaExcecoes(const std::exception& e);

    // One discovery run. It returns at once; the event loop goes on while it waits for
    // answers, and its outcome, then `then`, runs when the wait ends. A failure of the run
    // goes to the failure route before `then` runs. While a run waits, no second one starts
    // and the retry tick is kept back: one that falls due meanwhile ticks once afterwards.
    void Ping(std::function<void()> then = {});
    bool discovering() const { return m_discovering; }

    // Tick handlers.
    void TimerErroTimer();
    void tmrIntervaloTimer();
    void tmrResultTimer();
    void tmrHoraTimer();

    // Shows the window; timer ticks wait until it has been painted once, so the retry tick
    // that fell due during the start-up discovery never blocks a blank window. A window
    // that is shown but never painted (a window manager that maps it late, a minimised
    // start) releases them after a short wait: without ticks the overlay would never
    // connect, retry or run its clock.
    void showWindow();

    // The links as the feed and the tests see them: the TCP client's state and host
    // (S_Cliente), the port discovery sends from (UDPClient), the timing server's host once
    // discovery has found one (ServerAddress, empty until then), and "S" once the current
    // discovery run had an answer, "N" before.
    link::LinkState linkState() const { return S_Cliente.state(); }
    const Text& linkHost() const { return S_Cliente.host(); }
    quint16 discoveryPort() const { return UDPClient.localPort(); }
    const Text& serverAddress() const { return ServerAddress; }
    const Text& discoveryFlag() const { return m_discoveryFlag; }
    // Lane A's vehicle row (qryDadosPilotoA) as the last look-up left it.
    const db::Query& laneAVehicle() const { return *qryDadosPilotoA; }

    // The retry tick (TimerErro) and the idle tick (tmrIntervalo) seen from outside:
    // whether each is armed, and what a test changes to make one fall due sooner or not
    // at all.
    bool retryArmed() const { return TimerErro.enabled(); }
    void stopRetry() { TimerErro.stop(); }
    void armRetry(int intervalMs)
    {
        TimerErro.setInterval(intervalMs);
        TimerErro.start();
    }
    bool idleArmed() const { return tmrIntervalo.enabled(); }
    void setIdleInterval(int intervalMs) { tmrIntervalo.setInterval(intervalMs); }

    // The race day's journal, when the installer's file asks for one; null otherwise.
    const journal::Journal* journal() const { return m_journal.get(); }

    // Told when the TCP link or the database may have changed state (the feed shows them).
    std::function<void()> onLinksChanged;

private:
    Timer TimerErro;
    Timer tmrIntervalo;
    Timer tmrResult;
    Timer tmrHora;

    link::TcpClient S_Cliente;
    link::DiscoverySocket UDPClient;
    std::unique_ptr<db::Query> qryDadosPilotoA;
    std::unique_ptr<db::Query> qryDadosPilotoB;

    Text ServerAddress;
    Text m_discoveryFlag;

    // The link's events: S_ClienteConnect, S_ClienteDisconnect, S_ClienteError,
    // S_ClienteRead, and the failure route for what they raise.
    void onConnect() override;
    void onDisconnect() override;
    void onError(int errorCode) override;
    void onRead(const Text& chunk) override;
    void onFailure(const Text& message) override;

    void attachTimers();
    void holdTimers();
    void releaseTimers();
    void checkSingleInstance();
    void pingEnded(const link::DiscoveryOutcome& outcome, const std::function<void()>& then);
    void holdRetryWhileDiscovering();
    void afterStartUpDiscovery();
    void connectAfterDiscovery();
    void pointLinksAtServer();
    void createProgramOutput();
    void linksChanged();
    void createJournal();

    Application& m_app;
    db::DataModule& m_dm;
    Config m_config;
    overlay::Screen m_screen;
    std::unique_ptr<overlay::View> m_view;
    // Only when the installer's file chooses a screen for it.
    std::unique_ptr<overlay::ProgramOutput> m_programOutput;
    overlay::ClockSeparators m_clockSeparators;
    std::unique_ptr<LaneVehiclesOnDatabase> m_laneVehicles;
    std::unique_ptr<race::RaceDisplay> m_race;
    race::ReadHandler m_readHandler;
    race::Board m_board;
    // What the link reads goes here before it is applied.
    std::unique_ptr<journal::Journal> m_journal;
    bool m_timersHeld = false;
    bool m_discovering = false;
    QTimer m_firstPaintFallback;
    // Last, so that it goes first: its listener brings the view forward.
    SingleInstanceGuard abfOneInstance1;
};

} // namespace quorvel::app
