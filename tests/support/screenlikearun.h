#pragma once

#include "overlay/renderer.h"
#include "overlay/screen.h"

// The screen as on air during a run: both lanes' labels filled (pilots, cars, categories,
// reaction times), the clock set, the lamps of an outcome hidden. Its letters stand over
// the key colour below the strip as well as on the strip's cells. Shared by the tests and
// the benchmarks that draw what a broadcast shows.
inline void fillLikeARun(quorvel::overlay::Screen& screen)
{
    using quorvel::overlay::El;
    screen.setTextMeasure(quorvel::overlay::rendererTextMeasure());
    screen.setText(El::lblPilotoA, "JOAO DA SILVA (FERA)");
    screen.setText(El::lblPilotoB, "MARIA SOUZA");
    screen.setText(El::lblVeiculoA, "#123 | OPALA");
    screen.setText(El::lblVeiculoB, "#7 | FUSCA");
    screen.setText(El::lblCategA, "DIANTEIRA ATE 2.0 | B: 2");
    screen.setText(El::lblCategB, "DIANTEIRA ATE 2.0 |  12");
    screen.setText(El::lblReaA, "0.412");
    screen.setText(El::lblReaB, "0.398");
    screen.setText(El::lblHora, "09/12/25 | 14:05");
    for (El e : {El::imgDesclaA, El::imgQueA, El::imgGanhouA, El::imgDesclaB, El::imgGanhouB, El::imgQueB})
        screen.hide(e);
}
