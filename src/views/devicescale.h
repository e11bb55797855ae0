#pragma once

namespace quorvel::overlay {

// The window is a broadcast picture, not a document: the mixer keys and crops it by device
// pixels, so it is drawn 1:1 whatever scale the desktop asks for (QT_SCALE_FACTOR,
// QT_SCREEN_SCALE_FACTORS, a high Xft.dpi). Qt reads these settings once, when the
// application object is made: call this before making it.
void pinDeviceScale();

} // namespace quorvel::overlay
