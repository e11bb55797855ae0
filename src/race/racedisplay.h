#pragma once

#include "base/text.h"
#include "overlay/laneelements.h"
#include "race/framing.h"
#include "race/lanerecord.h"
#include "race/lanevehicles.h"

#include <array>
#include <exception>
#include <functional>

namespace quorvel {
class Timer;
}
namespace quorvel::overlay {
class Screen;
}

namespace quorvel::race {

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

    // A lane's record as its header lines show it, whichever side they are on: what the
    // last writing of the headers took from the record, empty while the headers are empty.
    const LaneRecord& shownHeader(Lane lane) const { return m_shownHeaders[index(lane)]; }
    // The lane whose message last showed the indication on this side: the camera box sends
    // a lane's lamps and reaction time to the other side while it is ticked, and they stay
    // there when it changes.
    Lane shownBy(overlay::Side side, overlay::Indication what) const
    {
        return m_shownBy[static_cast<size_t>(side)][static_cast<size_t>(what)];
    }

private:
    bool swapped() const;
    void lookUpVehicle(Lane lane, const Text& value);
    void showReactionTime(Lane lane, const Text& value);
    void showTime(const overlay::TimeCell& cell, const Text& value);
    Lane lampSideLane(Lane lane) const;
    const overlay::SideElements& lampSide(Lane lane) const;
    void coverTimesAfterTrackTime();
    void coverTimesAfterTotal();
    void hideLamps();
    void clearSide(Lane side);
    void storePhoto(Lane lane);
    void loadPhoto(Lane lane, overlay::El element);
    void report(const std::exception& e);
    void shown(Lane sideLane, overlay::Indication what, Lane by);
    static size_t index(Lane lane) { return static_cast<size_t>(lane); }

    overlay::Screen& m_screen;
    Timer& m_tmrIntervalo;
    LaneVehicles& m_vehicles;
    ReportFailure m_report;
    LaneRecord m_laneA;
    LaneRecord m_laneB;
    Text m_timesMode;
    std::array<LaneRecord, 2> m_shownHeaders;
    using Owners = std::array<Lane, overlay::kIndicationCount>;
    std::array<Owners, 2> m_shownBy = {Owners{Lane::A, Lane::A, Lane::A, Lane::A, Lane::A},
                                       Owners{Lane::B, Lane::B, Lane::B, Lane::B, Lane::B}};
};

} // namespace quorvel::race
