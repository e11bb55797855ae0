#pragma once

#include <QPoint>
#include <QRect>

namespace quorvel::overlay {

// The top-left corner that centres a window of outer size `window` on `screen`, halves
// truncated toward zero; a window larger than the screen gets a negative coordinate.
QPoint centredPosition(const QRect& screen, QSize window);

} // namespace quorvel::overlay
