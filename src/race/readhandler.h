#pragma once

#include "base/text.h"
#include "race/framing.h"

#include <functional>

namespace quorvel {
class Timer;
}
namespace quorvel::overlay {
class Screen;
}

namespace quorvel::race {

// The read handler of the timing-server link: cuts each received chunk into items at "@" and
// each item into fields at ":", runs the steps every item owes the screen and the timers, and
// hands each key:value item to ApplyRaceMessage.
class ReadHandler {
public:
    using ApplyRaceMessage = std::function<void(const RaceMessage&)>;
    using PauseReads = std::function<void(bool paused)>;

    ReadHandler(overlay::Screen& screen, Timer& tmrResult, Timer& tmrIntervalo);

    void setApplyRaceMessage(ApplyRaceMessage apply) { m_apply = std::move(apply); }
    // Called with true before a chunk is applied and with false after it, also after an
    // error (e.g. bound to TcpClient::setReadPaused).
    void setPauseReads(PauseReads pause) { m_pause = std::move(pause); }

    // One read event's chunk. An error while an item is applied ends the chunk there and
    // propagates to the caller.
    void S_ClienteRead(const Text& chunk);

private:
    void applyItem(const Text& chunk, const Text& item);

    overlay::Screen& m_screen;
    Timer& m_tmrResult;
    Timer& m_tmrIntervalo;
    ApplyRaceMessage m_apply;
    PauseReads m_pause;
    int m_depth = 0; // read handlers in progress; more than one only without a pause
};

} // namespace quorvel::race
