#include "race/racedisplay.h"

#include "base/timer.h"
#include "overlay/screen.h"
#include "race/integertext.h"
#include "race/keytable.h"
#include "race/names.h"
#include "race/photofailure.h"

#include <array>

namespace quorvel::race {

using overlay::El;

using overlay::Indication;
using overlay::kSideA;
using overlay::kSideB;
using overlay::SideElements;
using overlay::TimeCell;

namespace {

Indication indication(Lamp which)
{
    switch (which) {
    case Lamp::PreStage: return Indication::PreStage;
    case Lamp::Stage: return Indication::Stage;
    case Lamp::Foul: return Indication::Foul;
    case Lamp::Green: return Indication::Green;
    }
    return Indication::PreStage;
}

const SideElements& side(Lane lane)
{
    return lane == Lane::A ? kSideA : kSideB;
}

Lane other(Lane lane)
{
    return lane == Lane::A ? Lane::B : Lane::A;
}

} // namespace

RaceDisplay::RaceDisplay(overlay::Screen& screen, Timer& tmrIntervalo, LaneVehicles& vehicles)
    : m_screen(screen)
    , m_tmrIntervalo(tmrIntervalo)
    , m_vehicles(vehicles)
{
}

bool RaceDisplay::swapped() const
{
    return m_screen.checked(El::ckCameraPos);
}

void RaceDisplay::ApplyTimesMode()
{
    if (m_timesMode == "S") {
        m_screen.hide(El::pnlEscondeA);
        m_screen.hide(El::pnlEscondeB);
    } else if (m_timesMode == "N") {
        m_screen.show(El::pnlEscondeA);
        m_screen.show(El::pnlEscondeB);
    }
}

void RaceDisplay::RenderLaneHeaders(const Text& vehicleSeparator, bool swapped)
{
    for (Lane sideLane : {Lane::A, Lane::B}) {
        const Lane shownLane = swapped ? other(sideLane) : sideLane;
        const LaneRecord& record = lane(shownLane);
        m_shownHeaders[index(shownLane)] = record;
        const SideElements& elements = side(sideLane);
        Text name = record.pilot;
        if (!record.nickname.isEmpty())
            name += " (" + record.nickname + ")";
        m_screen.setText(elements.pilot, name);
        m_screen.setText(elements.vehicle, "#" + record.number + vehicleSeparator + record.car);
        Text category = record.category;
        if (!record.heat.isEmpty())
            category += " | B: " + record.heat;
        m_screen.setText(elements.category, category);
    }
}

void RaceDisplay::limpadados()
{
    for (El e : {El::lblPilotoA, El::lblVeiculoA, El::lblCategA, El::lblPilotoB, El::lblVeiculoB, El::lblCategB,
                 El::lblPosA, El::lblPosB})
        m_screen.setText(e, Text());
    m_shownHeaders = {};
    ApplyTimesMode();
    m_screen.clearPicture(El::fotoPilotoA);
    m_screen.clearPicture(El::fotoPilotoB);
    m_vehicles.preparePhotoFolder();
    storePhoto(Lane::A);
    storePhoto(Lane::B);
    m_laneA.reactionTime.clear();
    m_laneB.reactionTime.clear();
    m_screen.setText(El::lblStatusA, Text());
    m_screen.setText(El::lblStatusB, Text());
    clearSide(Lane::A);
    clearSide(Lane::B);
    RenderLaneHeaders(" | ", swapped());
}

void RaceDisplay::clearSide(Lane sideLane)
{
    const SideElements& s = side(sideLane);
    for (El e : s.lamps())
        m_screen.hide(e);
    for (const TimeCell& cell : s.times()) {
        m_screen.setText(cell.label, Text());
        m_screen.hide(cell.label);
        m_screen.hide(cell.caption);
    }
}

void RaceDisplay::lightsOffView()
{
    RenderLaneHeaders(" - ", false);
    // Lane B's photo is read and decoded while lane A's is, on another thread; each shows
    // (or its failure is reported) in lane order all the same.
    m_vehicles.preloadPhoto(Lane::B, El::fotoPilotoB);
    loadPhoto(Lane::A, El::fotoPilotoA);
    loadPhoto(Lane::B, El::fotoPilotoB);
    for (const SideElements* s : {&kSideA, &kSideB}) {
        m_screen.hide(s->reaction.label);
        m_screen.hide(s->reaction.caption);
    }
    for (Lane l : {Lane::A, Lane::B}) {
        const Text& reaction = lane(l).reactionTime;
        if (reaction.isEmpty())
            continue;
        showTime(side(l).reaction, reaction);
        shown(l, Indication::Reaction, l);
    }
}

void RaceDisplay::storePhoto(Lane l)
{
    try {
        m_vehicles.storePhoto(l);
    } catch (const PhotoFailure& e) {
        // A photo that cannot be stored must not leave the last run's lamps and times on air.
        report(e);
    }
}

void RaceDisplay::loadPhoto(Lane l, El element)
{
    try {
        m_vehicles.loadPhoto(l, element);
    } catch (const PhotoFailure& e) {
        // The element keeps its picture; the other photo and the reaction times still come.
        report(e);
    }
}

void RaceDisplay::shown(Lane sideLane, Indication what, Lane by)
{
    m_shownBy[index(sideLane)][static_cast<size_t>(what)] = by;
}

void RaceDisplay::report(const std::exception& e)
{
    if (m_report)
        m_report(e);
}

void RaceDisplay::lookUpVehicle(Lane l, const Text& value)
{
    // Closed first: a code that is not a number leaves the lane without a vehicle.
    m_vehicles.closeVehicle(l);
    const qint32 code = integerValue(value);
    m_vehicles.openVehicle(l, code);
}

void RaceDisplay::showTime(const TimeCell& cell, const Text& value)
{
    m_screen.setText(cell.label, value);
    m_screen.show(cell.label);
    m_screen.show(cell.caption);
}

void RaceDisplay::showReactionTime(Lane l, const Text& value)
{
    lane(l).reactionTime = value;
    showTime(lampSide(l).reaction, value);
    shown(lampSideLane(l), Indication::Reaction, l);
}

void RaceDisplay::coverTimesAfterTrackTime()
{
    const bool cover = m_timesMode == "N";
    m_screen.setVisible(El::pnlEscondeA, cover);
    m_screen.setVisible(El::pnlEscondeB, cover);
}

void RaceDisplay::coverTimesAfterTotal()
{
    if (m_timesMode != "N")
        return;
    m_screen.show(El::pnlEscondeA);
    m_screen.show(El::pnlEscondeB);
}

void RaceDisplay::hideLamps()
{
    for (const SideElements* s : {&kSideA, &kSideB})
        for (El e : s->lamps())
            m_screen.hide(e);
}

Lane RaceDisplay::lampSideLane(Lane l) const
{
    // The lamps, the foul of "Queimou" and the reaction time go to the other side while
    // the camera box is ticked.
    return swapped() ? other(l) : l;
}

const SideElements& RaceDisplay::lampSide(Lane l) const
{
    return side(lampSideLane(l));
}

void RaceDisplay::ApplyRaceMessage(const RaceMessage& message)
{
    const std::optional<Key> key = keyOf(message.key);
    if (!key)
        return;
    const Text& value = message.value;
    const KeyEffect effect = effectOf(*key);
    const Lane l = effect.lane;
    LaneRecord& record = lane(l);
    const SideElements& own = side(l);

    switch (effect.action) {
    case Action::Reset: limpadados(); break;
    case Action::NextPair:
        m_tmrIntervalo.stop();
        for (LaneRecord* r : {&m_laneA, &m_laneB}) {
            r->pilot.clear();
            r->nickname.clear();
            r->car.clear();
            r->category.clear();
        }
        ApplyTimesMode();
        break;
    case Action::Start: ApplyTimesMode(); break;

    case Action::LookUpVehicle: lookUpVehicle(l, value); break;
    case Action::Number: record.number = value; break;
    case Action::Category: record.category = value; break;
    case Action::Car: record.car = value; break;
    case Action::Heat: record.heat = value; break;
    case Action::Pilot: record.pilot = ShortPilotName(value); break;
    case Action::Nickname: record.nickname = value; break;

    case Action::Reaction: showReactionTime(l, value); break;
    case Action::Status:
        if (value == "Queimou") {
            m_screen.show(lampSide(l).foul);
            shown(lampSideLane(l), Indication::Foul, l);
        }
        break;
    case Action::SixtyFeet: showTime(own.sixtyFeet, value); break;
    case Action::HundredMetres: showTime(own.hundredMetres, value); break;
    case Action::Speed: showTime(own.speed, value); break;
    case Action::TrackTime:
        showTime(own.track, value);
        coverTimesAfterTrackTime();
        break;
    case Action::Total:
        showTime(own.total, value);
        coverTimesAfterTotal();
        break;
    case Action::Position: m_screen.setText(own.position, value); break;

    case Action::Win:
        m_screen.show(own.winner);
        m_screen.setText(own.status, "VENCEU");
        break;
    case Action::Disqualify:
        m_screen.show(own.disqualified);
        m_screen.setText(own.status, "Desclass");
        break;
    case Action::ShowTimes: m_timesMode = "S"; break;
    case Action::HideTimes: m_timesMode = "N"; break;

    case Action::LampOn:
        m_screen.show(lampSide(l).element(indication(effect.lamp)));
        shown(lampSideLane(l), indication(effect.lamp), l);
        break;
    case Action::LampOff: m_screen.hide(lampSide(l).element(indication(effect.lamp))); break;
    case Action::LightsOff:
        hideLamps();
        if (swapped())
            lightsOffView();
        break;
    }
}

} // namespace quorvel::race
