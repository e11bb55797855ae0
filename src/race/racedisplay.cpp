#include "race/racedisplay.h"

#include "base/timer.h"
#include "overlay/screen.h"
#include "race/integertext.h"
#include "race/keytable.h"
#include "race/names.h"
#include "race/photofailure.h"

namespace quorvel::race {

using overlay::El;

namespace {

// The elements of one side of the strip.
struct SideElements {
    El pilot, vehicle, category;
    El preStage, stage, foul, green, winner, disqualified;
    El status, position, photo;
    El reaction, reactionCaption;
    El sixtyFeet, sixtyFeetCaption;
    El hundredMetres, hundredMetresCaption;
    El track, trackCaption;
    El speed, speedCaption;
    El total, totalCaption;
    El cover;
};

constexpr SideElements kSideA{
    El::lblPilotoA, El::lblVeiculoA, El::lblCategA,
    El::imgPreA, El::imgStageA, El::imgQueA, El::imgStartA, El::imgGanhouA, El::imgDesclaA,
    El::lblStatusA, El::lblPosA, El::fotoPilotoA,
    El::lblReaA, El::lblERT,
    El::lbl60A, El::lblE60Pes,
    El::lbl100A, El::lblEParc02,
    El::lblTPistaA, El::lblEPista,
    El::lblVelA, El::lblEkm,
    El::lblTTotalA, El::lblEFim,
    El::pnlEscondeA,
};

constexpr SideElements kSideB{
    El::lblPilotoB, El::lblVeiculoB, El::lblCategB,
    El::imgPreB, El::imgStageB, El::imgQueB, El::imgStartB, El::imgGanhouB, El::imgDesclaB,
    El::lblStatusB, El::lblPosB, El::fotoPilotoB,
    El::lblReaB, El::lblDRT,
    El::lbl60B, El::lblD60pes,
    El::lbl100B, El::lblDParc02,
    El::lblTPistaB, El::lblDPista,
    El::lblVelB, El::lblDKm,
    El::lblTTotalB, El::lblDFim,
    El::pnlEscondeB,
};

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
        const LaneRecord& record = lane(swapped ? other(sideLane) : sideLane);
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
    for (El e : {El::lblPilotoA, El::lblVeiculoA, El::lblCategA, El::lblPilotoB, El::lblVeiculoB,
                 El::lblCategB, El::lblPosA, El::lblPosB})
        m_screen.setText(e, Text());
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
    for (El e : {s.disqualified, s.winner, s.foul, s.preStage, s.stage, s.green})
        m_screen.hide(e);
    const std::pair<El, El> times[] = {{s.reaction, s.reactionCaption}, {s.sixtyFeet, s.sixtyFeetCaption},
                                       {s.hundredMetres, s.hundredMetresCaption}, {s.track, s.trackCaption},
                                       {s.speed, s.speedCaption}, {s.total, s.totalCaption}};
    for (const auto& [label, caption] : times) {
        m_screen.setText(label, Text());
        m_screen.hide(label);
        m_screen.hide(caption);
    }
}

void RaceDisplay::lightsOffView()
{
    RenderLaneHeaders(" - ", false);
    loadPhoto(Lane::A, El::fotoPilotoA);
    loadPhoto(Lane::B, El::fotoPilotoB);
    for (El e : {El::lblReaA, El::lblERT, El::lblReaB, El::lblDRT})
        m_screen.hide(e);
    for (Lane l : {Lane::A, Lane::B}) {
        const Text& reaction = lane(l).reactionTime;
        if (reaction.isEmpty())
            continue;
        showTime(side(l).reaction, side(l).reactionCaption, reaction);
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

void RaceDisplay::showTime(El label, El caption, const Text& value)
{
    m_screen.setText(label, value);
    m_screen.show(label);
    m_screen.show(caption);
}

void RaceDisplay::showReactionTime(Lane l, const Text& value)
{
    lane(l).reactionTime = value;
    const SideElements& s = side(swapped() ? other(l) : l);
    showTime(s.reaction, s.reactionCaption, value);
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
        for (El e : {s->preStage, s->stage, s->foul, s->green, s->winner, s->disqualified})
            m_screen.hide(e);
}

void RaceDisplay::ApplyRaceMessage(const RaceMessage& message)
{
    const std::optional<Key> key = keyOf(message.key);
    if (!key)
        return;
    const Text& value = message.value;
    // The lamp keys and the foul of "statusA"/"statusB" go to the other side while the
    // camera box is ticked.
    const auto lampSide = [this](Lane l) -> const SideElements& { return side(swapped() ? other(l) : l); };

    switch (*key) {
    case Key::Alinhar: limpadados(); break;
    case Key::Nova:
        m_tmrIntervalo.stop();
        for (LaneRecord* r : {&m_laneA, &m_laneB}) {
            r->pilot.clear();
            r->nickname.clear();
            r->car.clear();
            r->category.clear();
        }
        ApplyTimesMode();
        break;
    case Key::Largada: ApplyTimesMode(); break;

    case Key::cod_pilotoA: lookUpVehicle(Lane::A, value); break;
    case Key::num_pilotoA: m_laneA.number = value; break;
    case Key::catA: m_laneA.category = value; break;
    case Key::carA: m_laneA.car = value; break;
    case Key::BatA: m_laneA.heat = value; break;
    case Key::pilA: m_laneA.pilot = ShortPilotName(value); break;
    case Key::apelidoA: m_laneA.nickname = value; break;
    case Key::RA: showReactionTime(Lane::A, value); break;
    case Key::statusA:
        if (value == "Queimou")
            m_screen.show(lampSide(Lane::A).foul);
        break;
    case Key::PA: showTime(El::lbl60A, El::lblE60Pes, value); break;
    case Key::CA: showTime(El::lbl100A, El::lblEParc02, value); break;
    case Key::VA: showTime(El::lblVelA, El::lblEkm, value); break;
    case Key::TPA:
        showTime(El::lblTPistaA, El::lblEPista, value);
        coverTimesAfterTrackTime();
        break;
    case Key::FA:
        showTime(El::lblTTotalA, El::lblEFim, value);
        coverTimesAfterTotal();
        break;
    case Key::posAntA:
    case Key::posA: m_screen.setText(El::lblPosA, value); break;

    case Key::cod_pilotoB: lookUpVehicle(Lane::B, value); break;
    case Key::num_pilotoB: m_laneB.number = value; break;
    case Key::catB: m_laneB.category = value; break;
    case Key::carB: m_laneB.car = value; break;
    case Key::BatB: m_laneB.heat = value; break;
    case Key::pilB: m_laneB.pilot = ShortPilotName(value); break;
    case Key::apelidoB: m_laneB.nickname = value; break;
    case Key::RB: showReactionTime(Lane::B, value); break;
    case Key::statusB:
        if (value == "Queimou")
            m_screen.show(lampSide(Lane::B).foul);
        break;
    case Key::PB: showTime(El::lbl60B, El::lblD60pes, value); break;
    case Key::CB: showTime(El::lbl100B, El::lblDParc02, value); break;
    case Key::VB: showTime(El::lblVelB, El::lblDKm, value); break;
    case Key::TPB:
        showTime(El::lblTPistaB, El::lblDPista, value);
        coverTimesAfterTrackTime();
        break;
    case Key::FB:
        showTime(El::lblTTotalB, El::lblDFim, value);
        coverTimesAfterTotal();
        break;
    case Key::posAntB:
    case Key::posB: m_screen.setText(El::lblPosB, value); break;

    case Key::GanhaA:
        m_screen.show(El::imgGanhouA);
        m_screen.setText(El::lblStatusA, "VENCEU");
        break;
    case Key::GanhaB:
        m_screen.show(El::imgGanhouB);
        m_screen.setText(El::lblStatusB, "VENCEU");
        break;
    case Key::DesclassA:
        m_screen.show(El::imgDesclaA);
        m_screen.setText(El::lblStatusA, "Desclass");
        break;
    case Key::DesclassB:
        m_screen.show(El::imgDesclaB);
        m_screen.setText(El::lblStatusB, "Desclass");
        break;
    case Key::mostraTempo: m_timesMode = "S"; break;
    case Key::escondeTempo: m_timesMode = "N"; break;

    case Key::APS_HIGH: m_screen.show(lampSide(Lane::A).preStage); break;
    case Key::APS_LOW: m_screen.hide(lampSide(Lane::A).preStage); break;
    case Key::e_AA_HIGH: m_screen.show(lampSide(Lane::A).stage); break;
    case Key::e_AA_LOW: m_screen.hide(lampSide(Lane::A).stage); break;
    case Key::e_AB_HIGH: m_screen.show(lampSide(Lane::A).foul); break;
    case Key::e_AB_LOW: m_screen.hide(lampSide(Lane::A).foul); break;
    case Key::BPS_HIGH: m_screen.show(lampSide(Lane::B).preStage); break;
    case Key::BPS_LOW: m_screen.hide(lampSide(Lane::B).preStage); break;
    case Key::e_BA_HIGH: m_screen.show(lampSide(Lane::B).stage); break;
    case Key::e_BA_LOW: m_screen.hide(lampSide(Lane::B).stage); break;
    case Key::e_BB_HIGH: m_screen.show(lampSide(Lane::B).foul); break;
    case Key::e_BB_LOW: m_screen.hide(lampSide(Lane::B).foul); break;
    case Key::sA_Verde: m_screen.show(lampSide(Lane::A).green); break;
    case Key::sB_Verde: m_screen.show(lampSide(Lane::B).green); break;

    case Key::DesligouLampadas:
        hideLamps();
        if (swapped())
            lightsOffView();
        break;
    }
}

} // namespace quorvel::race
