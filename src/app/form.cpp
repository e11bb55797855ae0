#include "app/form.h"

#include "base/failure.h"

namespace quorvel::app {

using overlay::El;

Form::Form(Application& app, const Config& config)
    : TimerErro("TimerErro", config.retryIntervalMs)
    , tmrIntervalo("tmrIntervalo", config.idleIntervalMs)
    , tmrResult("tmrResult", config.pageFirstIntervalMs)
    , tmrHora("tmrHora", config.clockIntervalMs)
    , m_app(app)
    , m_config(config)
    , m_view(std::make_unique<overlay::View>(m_screen))
{
    m_view->onClose = [this] { m_app.requestEnd(); };
    m_view->onFirstPaint = [this] { releaseTimers(); };

    // The timers count from the window's creation; none ticks before it has been painted.
    attachTimers();
    holdTimers();
    TimerErro.start();
    tmrIntervalo.start();
    tmrHora.start();

    checkSingleInstance();
}

Form::~Form()
{
    // Timers stop with the window; nothing of the link's disconnect handling runs.
    TimerErro.stop();
    tmrIntervalo.stop();
    tmrResult.stop();
    tmrHora.stop();
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
    for (Timer* timer : {&TimerErro, &tmrIntervalo, &tmrResult, &tmrHora})
        timer->hold();
}

void Form::releaseTimers()
{
    for (Timer* timer : {&TimerErro, &tmrIntervalo, &tmrResult, &tmrHora})
        timer->release();
}

void Form::checkSingleInstance()
{
}

void Form::FormCreate()
{
    m_app.setExceptionHandler([this](const std::exception& e) { ManipulaExcecoes(e); });
    ServerAddress.clear();
    Ping();
    m_screen.show(El::pnlTempos);
    tmrIntervalo.stop();
    m_screen.hide(El::pnlEscondeA);
    m_screen.hide(El::pnlEscondeB);
    limpadados();
}

void Form::ManipulaExcecoes(const std::exception& e)
{
    m_screen.appendLine(El::mLog, messageOf(e));
}

void Form::Ping()
{
}

void Form::limpadados()
{
}

void Form::TimerErroTimer()
{
    TimerErro.stop();
    tmrResult.stop();
    m_screen.appendLine(El::Memo1, "TimerErro");
    Ping();
}

void Form::tmrIntervaloTimer()
{
}

void Form::tmrResultTimer()
{
}

void Form::tmrHoraTimer()
{
}

void Form::showWindow()
{
    m_view->centerOnPrimaryScreen();
    m_view->show();
}

} // namespace quorvel::app
