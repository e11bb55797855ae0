#pragma once

#include "overlay/screen.h"

#include <QPoint>

namespace quorvel::overlay {

// The element that takes a mouse press at `point` (window client coordinates): the
// topmost showing element whose box holds the point, clipped to its parent, where
// windowed elements lie over the labels, pictures and shapes of their parent. Labels take
// the press in their whole box, whatever their text; where nothing lies, the panel (or
// frmPrincipal outside every panel) takes it.
El elementAt(const Screen& screen, QPoint point);

} // namespace quorvel::overlay
