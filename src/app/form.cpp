#include "app/form.h"

#include "app/lanevehiclesondatabase.h"
#include "base/failure.h"
#include "base/userlocale.h"
#include "db/racequeries.h"
#include "link/socketerror.h"
#include "overlay/operatorcontrols.h"

#include <ctime>

namespace quorvel::app {

using overlay::El;

Form::Form(Application& app, db::DataModule& dm, const Config& config)
    : TimerErro("TimerErro", config.retryIntervalMs)
    , tmrIntervalo("tmrIntervalo", config.idleIntervalMs)
    , tmrResult("tmrResult", config.pageFirstIntervalMs)
    , tmrHora("tmrHora", config.clockIntervalMs)
    , S_Cliente(*this, config.tcpHost, config.tcpPort)
    , UDPClient(config)
    , qryDadosPilotoA(db::makeVehicleQuery(dm.Zconet(), "qryDadosPilotoA"))
    , qryDadosPilotoB(db::makeVehicleQuery(dm.Zconet(), "qryDadosPilotoB"))
    , m_app(app)
    , m_dm(dm)
    , m_config(config)
    , m_view(std::make_unique<overlay::View>(m_screen))
    , m_clockSeparators(overlay::ClockSeparators::fromLocale())
    , m_laneVehicles(std::make_unique<LaneVehiclesOnDatabase>(m_screen, *qryDadosPilotoA, *qryDadosPilotoB, config))
    , m_race(std::make_unique<race::RaceDisplay>(m_screen, tmrIntervalo, *m_laneVehicles))
    , m_readHandler(m_screen, tmrResult, tmrIntervalo)
    , m_board(m_screen, dm, *m_race, tmrResult, config, race::decimalSeparatorFromLocale())
{
    createJournal();
    createProgramOutput();
    m_view->onClose = [this] { m_app.requestEnd(); };
    m_view->onFirstPaint = [this] { releaseTimers(); };
    m_firstPaintFallback.setSingleShot(true);
    m_firstPaintFallback.setInterval(config.firstPaintFallbackMs);
    QObject::connect(&m_firstPaintFallback, &QTimer::timeout, [this] { releaseTimers(); });
    m_view->onClick = [this](El e) {
        if (e == El::imgFundo)
            m_app.guarded([this] { overlay::imgFundoClick(m_screen); });
    };
    m_view->onDoubleClick = [this](El e) {
        if (e == El::imgFundo)
            m_app.guarded([this] { overlay::imgFundoDblClick(m_screen); });
    };

    m_race->setReportFailure([this](const std::exception& e) { ManipulaExcecoes(e); });
    m_readHandler.setApplyRaceMessage([this](const race::RaceMessage& m) { m_race->ApplyRaceMessage(m); });
    m_readHandler.setPauseReads([this](bool paused) { S_Cliente.setReadPaused(paused); });

    // The timers count from the window's creation; none ticks before it has been shown
    // and painted.
    attachTimers();
    holdTimers();
    TimerErro.start();
    tmrIntervalo.start();
    tmrHora.start();

    checkSingleInstance();
}

Form::~Form()
{
    // The handler reaches into this form: a failure reported after it is gone must not.
    m_app.setExceptionHandler({});
    m_firstPaintFallback.stop();
    // The window goes first: its timers stop and the link closes without a word.
    for (Timer* timer : {&TimerErro, &tmrIntervalo, &tmrResult, &tmrHora})
        timer->stop();
    S_Cliente.close();
    if (m_journal)
        m_journal->mark("ended");
}

void Form::attachTimers()
{
    TimerErro.setOnTick(m_app.guardedHandler([this] { TimerErroTimer(); }));
    tmrIntervalo.setOnTick(m_app.guardedHandler([this] { tmrIntervaloTimer(); }));
    tmrResult.setOnTick(m_app.guardedHandler([this] { tmrResultTimer(); }));
    tmrHora.setOnTick(m_app.guardedHandler([this] { tmrHoraTimer(); }));
}

void Form::holdTimers()
{
    m_timersHeld = true;
    for (Timer* timer : {&TimerErro, &tmrIntervalo, &tmrResult, &tmrHora})
        timer->hold();
}

void Form::releaseTimers()
{
    if (!m_timersHeld)
        return;
    m_timersHeld = false;
    m_firstPaintFallback.stop();
    for (Timer* timer : {&tmrIntervalo, &tmrResult, &tmrHora})
        timer->release();
    holdRetryWhileDiscovering();
}

void Form::checkSingleInstance()
{
    abfOneInstance1.check(m_app, *m_view, lockFolder(),
                          [this](const Text& line) { m_screen.appendLine(El::mLog, line); });
}

void Form::FormCreate(std::function<void()> afterwards)
{
    m_app.setExceptionHandler([this](const std::exception& e) { ManipulaExcecoes(e); });
    ServerAddress.clear();
    Ping([this, afterwards = std::move(afterwards)] {
        m_app.guarded([this] { afterStartUpDiscovery(); });
        if (afterwards)
            afterwards();
    });
}

// A failed discovery is logged and what follows it still runs: the timing server's lamps
// and times need no database, and the laid-out placeholder texts must never go on air.
void Form::afterStartUpDiscovery()
{
    m_screen.show(El::pnlTempos);
    tmrIntervalo.stop();
    m_screen.hide(El::pnlEscondeA);
    m_screen.hide(El::pnlEscondeB);
    m_race->limpadados();
}

void Form::ManipulaExcecoes(const std::exception& e)
{
    m_screen.appendLine(El::mLog, messageOf(e));
}

namespace {

// The local time in the locale's long time format (LC_TIME), e.g. "14:05:09".
Text localLongTime()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char buffer[128] = {};
    const UserLocale locale(LC_TIME_MASK);
    if (locale.valid()) {
        strftime_l(buffer, sizeof buffer, locale.info(T_FMT), &local, locale.handle());
    } else {
        std::strftime(buffer, sizeof buffer, "%H:%M:%S", &local);
    }
    return Text(buffer);
}

} // namespace

void Form::Ping(std::function<void()> then)
{
    if (m_discovering)
        return; // the run that waits is the only one
    m_discoveryFlag = "N";
    m_screen.appendLine(El::mLog, localLongTime() + ": Ping");
    try {
        UDPClient.startRun([this, then](const link::DiscoveryOutcome& outcome) { pingEnded(outcome, then); });
    } catch (const std::exception& e) {
        m_app.handleException(e);
        if (then)
            then();
        return;
    }
    m_discovering = true;
    holdRetryWhileDiscovering();
}

void Form::pingEnded(const link::DiscoveryOutcome& outcome, const std::function<void()>& then)
{
    m_app.guarded([&] {
        if (!outcome.failure.isEmpty())
            throw Failure(outcome.failure);
        if (outcome.answered)
            m_discoveryFlag = "S";
        if (m_journal)
            m_journal->mark(m_discoveryFlag == "S" ? "discovery answered" : "discovery: no answer");
        if (m_discoveryFlag == "S") {
            pointLinksAtServer();
        } else {
            m_screen.appendLine(El::mLog, "SEM SERVIDOR");
            TimerErro.start();
        }
    });
    if (then)
        then();
    m_discovering = false;
    holdRetryWhileDiscovering();
}

// The retry tick never runs while a discovery waits, as it could not while the wait held
// the thread: a tick that falls due meanwhile is kept and comes once the run is over.
void Form::holdRetryWhileDiscovering()
{
    if (m_timersHeld || m_discovering)
        TimerErro.hold();
    else
        TimerErro.release();
}

// Whatever the answers held, both links go to the installation's fixed server address,
// and the event queries are opened again there.
void Form::pointLinksAtServer()
{
    ServerAddress = m_config.fixedServerAddress;
    S_Cliente.setHost(ServerAddress);
    db::Connection& zconet = m_dm.Zconet();
    zconet.disconnect();
    zconet.setHost(ServerAddress);
    zconet.connect();
    db::Query& organizador = m_dm.qryOrganizador();
    db::Query& evento = m_dm.qryEvento();
    db::Query& categ = m_dm.qryCateg();
    organizador.open();
    evento.open();
    categ.open();
    evento.close();
    evento.setParam("cod_evento", organizador.asInteger("COD_EVENTO_ABERTO"));
    evento.open();
    categ.close();
    categ.setParam("COD_CAMPEONATO", evento.asInteger("COD_CAMPEONATO"));
    categ.open();
    linksChanged();
}

void Form::TimerErroTimer()
{
    TimerErro.stop();
    tmrResult.stop();
    m_screen.appendLine(El::Memo1, "TimerErro");
    Ping([this] { m_app.guarded([this] { connectAfterDiscovery(); }); });
}

void Form::connectAfterDiscovery()
{
    try {
        S_Cliente.requestConnect();
    } catch (...) {
        // Nothing else would arm the retry timer again: the overlay would never reconnect.
        TimerErro.start();
        throw;
    }
    // An attempt of the previous tick that completed while this one's discovery waited
    // stopped the timer before the discovery armed it again; a connected link has no
    // retry ticks.
    if (S_Cliente.state() == link::LinkState::Connected)
        TimerErro.stop();
    linksChanged();
}

void Form::tmrIntervaloTimer()
{
    m_board.tmrIntervaloTimer();
}

void Form::tmrResultTimer()
{
    m_board.tmrResultTimer();
}

void Form::tmrHoraTimer()
{
    overlay::tmrHoraTimer(m_screen, m_clockSeparators);
}

void Form::showWindow()
{
    m_view->centerOnPrimaryScreen();
    m_view->show();
    if (m_timersHeld)
        m_firstPaintFallback.start();
    if (m_programOutput)
        m_programOutput->start();
}

void Form::createProgramOutput()
{
    if (m_config.programOutput.screen.isEmpty())
        return;
    m_programOutput = std::make_unique<overlay::ProgramOutput>(m_screen, m_config.programOutput);
    m_programOutput->onReport = [this](const Text& line) { m_screen.appendLine(El::mLog, line); };
}

void Form::createJournal()
{
    if (m_config.journalFolder.isEmpty())
        return;
    m_journal = journal::makeJournal(m_config.journalFolder, m_config.journalMaxMegabytes);
    m_journal->onReport = [this](const Text& line) { m_screen.appendLine(El::mLog, line); };
    m_journal->mark("started");
}

void Form::linksChanged()
{
    if (onLinksChanged)
        onLinksChanged();
}

void Form::onConnect()
{
    if (m_journal) {
        m_journal->mark(format("connected to %s:%u", S_Cliente.host().constData(), unsigned(S_Cliente.port())));
        m_journal->directive("!wait-connection");
    }
    TimerErro.stop();
    linksChanged();
}

void Form::onDisconnect()
{
    if (m_journal) {
        m_journal->mark("the server closed the connection, farewell sent");
        m_journal->directive("!close");
    }
    TimerErro.start();
    linksChanged();
}

void Form::onError(int errorCode)
{
    if (m_journal) {
        const bool broke = S_Cliente.state() == link::LinkState::Connected;
        m_journal->mark((broke ? "the connection broke: " : "no connection: ") + link::asyncSocketError(errorCode));
        if (broke)
            m_journal->directive("!reset");
    }
    m_screen.appendLine(El::Memo1, "S Erro");
    TimerErro.start();
    linksChanged();
}

void Form::onRead(const Text& chunk)
{
    if (m_journal)
        m_journal->chunk(chunk);
    m_readHandler.S_ClienteRead(chunk);
}

void Form::onFailure(const Text& message)
{
    ManipulaExcecoes(Failure(message));
}

} // namespace quorvel::app
