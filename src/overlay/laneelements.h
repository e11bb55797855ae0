#pragma once

#include "overlay/elements.h"

#include <array>

namespace quorvel::overlay {

// A time's label and the caption beside it, shown together.
struct TimeCell {
    El label, caption;
};

// The two sides of the strip: the A side on the top row, the B side below it.
enum class Side { A, B };

// What the camera box may put on the other side: a lane's four start-tree lamps and its
// reaction time. Everything else of a lane always shows on its own side.
enum class Indication { PreStage, Stage, Foul, Green, Reaction };
inline constexpr int kIndicationCount = 5;

// The elements of one side of the strip, as the race writes them and the feed reads them.
struct SideElements {
    El pilot, vehicle, category;
    El preStage, stage, foul, green, winner, disqualified;
    El status, position, photo;
    TimeCell reaction, sixtyFeet, hundredMetres, track, speed, total;
    El cover;

    constexpr std::array<El, 6> lamps() const { return {preStage, stage, foul, green, winner, disqualified}; }
    constexpr std::array<TimeCell, 6> times() const
    {
        return {reaction, sixtyFeet, hundredMetres, track, speed, total};
    }

    // The element that shows the indication on this side (the reaction time's label).
    constexpr El element(Indication which) const
    {
        switch (which) {
        case Indication::PreStage: return preStage;
        case Indication::Stage: return stage;
        case Indication::Foul: return foul;
        case Indication::Green: return green;
        case Indication::Reaction: return reaction.label;
        }
        return preStage;
    }
};

// Kept as laid out by hand: a side's elements grouped as on the strip.
// clang-format off
inline constexpr SideElements kSideA{
    El::lblPilotoA, El::lblVeiculoA, El::lblCategA,
    El::imgPreA, El::imgStageA, El::imgQueA, El::imgStartA, El::imgGanhouA, El::imgDesclaA,
    El::lblStatusA, El::lblPosA, El::fotoPilotoA,
    {El::lblReaA, El::lblERT},
    {El::lbl60A, El::lblE60Pes},
    {El::lbl100A, El::lblEParc02},
    {El::lblTPistaA, El::lblEPista},
    {El::lblVelA, El::lblEkm},
    {El::lblTTotalA, El::lblEFim},
    El::pnlEscondeA,
};

inline constexpr SideElements kSideB{
    El::lblPilotoB, El::lblVeiculoB, El::lblCategB,
    El::imgPreB, El::imgStageB, El::imgQueB, El::imgStartB, El::imgGanhouB, El::imgDesclaB,
    El::lblStatusB, El::lblPosB, El::fotoPilotoB,
    {El::lblReaB, El::lblDRT},
    {El::lbl60B, El::lblD60pes},
    {El::lbl100B, El::lblDParc02},
    {El::lblTPistaB, El::lblDPista},
    {El::lblVelB, El::lblDKm},
    {El::lblTTotalB, El::lblDFim},
    El::pnlEscondeB,
};
// clang-format on

constexpr const SideElements& sideElements(Side side)
{
    return side == Side::A ? kSideA : kSideB;
}

} // namespace quorvel::overlay
