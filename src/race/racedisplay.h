#pragma once

#include "base/text.h"
#include "race/framing.h"
#include "race/lanerecord.h"
#include "race/lanevehicles.h"

#include <exception>
#include <functional>

namespace quorvel {
class Timer;
}
namespace quorvel::overlay {
class Screen;
}

namespace quorvel::race {

struct SideElements;
struct TimeCell;

// The race display: the two lane records, the show/hide-times flag, and every effect a
// timing message has on the strip. Changes the screen only through element operations.
class RaceDisplay {
public:
    using ReportFailure = std::function<void(const std::exception&)>;

    RaceDisplay(overlay::Screen& screen, Timer& tmrIntervalo, LaneVehicles& vehicles);

    // Where a photo failure goes when the display carries on without the photo (mLog).
    void setReportFailure(ReportFailure report) { m_report = std::move(report); }

    // Runs the effect of the message's key, compared byte by byte; unknown keys do nothing.
    void ApplyRaceMessage(const RaceMessage& message);

    // "S" hides the two magenta cover panels, "N" shows them, anything else leaves them.
    void ApplyTimesMode();

    // Writes the three header lines of each side from the lane records; swapped, the A side
    // shows lane B and the B side lane A.
    void RenderLaneHeaders(const Text& vehicleSeparator, bool swapped);

    // Prepares the display for a new run.
    void limpadados();

    // "DesligouLampadas" with the camera box ticked: headers, photos and reaction times of
    // each lane on its own side.
    void lightsOffView();

    LaneRecord& lane(Lane lane) { return lane == Lane::A ? m_laneA : m_laneB; }
    const LaneRecord& lane(Lane lane) const { return lane == Lane::A ? m_laneA : m_laneB; }
    const Text& TimesMode() const { return m_timesMode; }

private:
    bool swapped() const;
    void lookUpVehicle(Lane lane, const Text& value);
    void showReactionTime(Lane lane, const Text& value);
    void showTime(const TimeCell& cell, const Text& value);
    const SideElements& lampSide(Lane lane) const;
    void coverTimesAfterTrackTime();
    void coverTimesAfterTotal();
    void hideLamps();
    void clearSide(Lane side);
    void storePhoto(Lane lane);
    void loadPhoto(Lane lane, overlay::El element);
    void report(const std::exception& e);

    overlay::Screen& m_screen;
    Timer& m_tmrIntervalo;
    LaneVehicles& m_vehicles;
    ReportFailure m_report;
    LaneRecord m_laneA;
    LaneRecord m_laneB;
    Text m_timesMode;
};

} // namespace quorvel::race
