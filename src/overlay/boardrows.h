#pragma once

#include "overlay/elements.h"

namespace quorvel::overlay {

// The classification board's ten rows, best first: the vehicle's plate, its pilot and the
// best time, each a label of the board's panel.
struct BoardRow {
    El number, pilot, time;
};

inline constexpr BoardRow kBoardRows[10] = {
    {El::lblClassNum01, El::lblClassPil01, El::lblClassTempo01},
    {El::lblClassNum02, El::lblClassPil02, El::lblClassTempo02},
    {El::lblClassNum03, El::lblClassPil03, El::lblClassTempo03},
    {El::lblClassNum04, El::lblClassPil04, El::lblClassTempo04},
    {El::lblClassNum05, El::lblClassPil05, El::lblClassTempo05},
    {El::lblClassNum06, El::lblClassPil06, El::lblClassTempo06},
    {El::lblClassNum07, El::lblClassPil07, El::lblClassTempo07},
    {El::lblClassNum08, El::lblClassPil08, El::lblClassTempo08},
    {El::lblClassNum09, El::lblClassPil09, El::lblClassTempo09},
    {El::lblClassNum10, El::lblClassPil10, El::lblClassTempo10},
};

} // namespace quorvel::overlay
