#include "views/devicescale.h"

#include <QByteArray>
#include <QtGlobal>

namespace quorvel::overlay {

void pinDeviceScale()
{
    qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    qputenv("QT_SCALE_FACTOR", "1");
    qunsetenv("QT_SCREEN_SCALE_FACTORS");
    qunsetenv("QT_USE_PHYSICAL_DPI");
    // the widgets' style sizes its boxes and bars by the logical density: 96 as laid out
    qputenv("QT_FONT_DPI", "96");
}

} // namespace quorvel::overlay
