#pragma once

#include "overlay/screen.h"

namespace quorvel::overlay {

// A click on the strip's background clears the operator's widgets away.
void imgFundoClick(Screen& screen);

// A double click shrinks the window to the on-air strip. There is no way back: the full
// window returns only when the program is started again.
void imgFundoDblClick(Screen& screen);

} // namespace quorvel::overlay
