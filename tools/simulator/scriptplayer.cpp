#include "scriptplayer.h"

#include "discoveryresponder.h"
#include "raceserver.h"
#include "simlog.h"

#include <QFileInfo>

#include <cmath>

namespace quorvel::sim {

namespace {

constexpr int kFilePollMs = 100;

} // namespace

ScriptPlayer::ScriptPlayer(SimLog& log, RaceServer& server, DiscoveryResponder* responder, QObject* parent)
    : QObject(parent)
    , m_log(log)
    , m_server(server)
    , m_responder(responder)
{
    m_delay.setSingleShot(true);
    m_delay.setTimerType(Qt::PreciseTimer);
    connect(&m_delay, &QTimer::timeout, this, &ScriptPlayer::afterDelay);
    connect(&m_server, &RaceServer::connectionCountChanged, this, [this] {
        if (m_waiting && m_server.connectedCount() > 0) {
            m_waiting = false;
            ++m_at;
            next();
        }
    });
}

void ScriptPlayer::play(std::vector<Step> steps, bool loop)
{
    m_steps = std::move(steps);
    m_loop = loop;
    m_at = 0;
    next();
}

void ScriptPlayer::next()
{
    if (m_at >= m_steps.size()) {
        if (!m_loop || m_steps.empty()) {
            m_log.line("script done");
            return;
        }
        m_log.line("script loops");
        m_at = 0;
    }
    m_delay.start(static_cast<int>(std::lround(m_steps[m_at].delayMs / m_speed)));
}

void ScriptPlayer::afterDelay()
{
    const Step& step = m_steps[m_at];
    if (step.kind == Step::Kind::WaitConnection && m_server.connectedCount() == 0) {
        m_waiting = true; // the next connection moves the script on
        return;
    }
    if (step.kind == Step::Kind::WaitFile && !QFileInfo::exists(QString::fromLocal8Bit(step.text))) {
        if (!m_waitingForFile)
            m_log.line("waiting for file " + step.text);
        m_waitingForFile = true;
        // Another process makes the file, and nothing tells us when: look again shortly.
        m_delay.start(kFilePollMs);
        return;
    }
    m_waitingForFile = false;
    run(step);
    ++m_at;
    next();
}

void ScriptPlayer::run(const Step& step)
{
    switch (step.kind) {
    case Step::Kind::Send: m_server.send(step.text); break;
    case Step::Kind::Repeat: m_server.send(step.text.repeated(step.count)); break;
    case Step::Kind::Close: m_server.closeAll(); break;
    case Step::Kind::Reset: m_server.resetAll(); break;
    case Step::Kind::WaitConnection:
    case Step::Kind::WaitFile: break;
    case Step::Kind::UdpOn:
    case Step::Kind::UdpOff:
        if (m_responder)
            m_responder->setAnswering(step.kind == Step::Kind::UdpOn);
        else
            m_log.line("no udp side to switch");
        break;
    case Step::Kind::Mark: m_log.line("mark " + step.text); break;
    case Step::Kind::Quit:
        m_log.line("quit");
        emit quitRequested();
        break;
    }
}

} // namespace quorvel::sim
