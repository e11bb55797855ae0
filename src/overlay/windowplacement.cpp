#include "overlay/windowplacement.h"

namespace quorvel::overlay {

QPoint centredPosition(const QRect& screen, QSize window)
{
    // C++ division truncates toward zero, as the placement rule asks
    return screen.topLeft() + QPoint((screen.width() - window.width()) / 2, (screen.height() - window.height()) / 2);
}

} // namespace quorvel::overlay
