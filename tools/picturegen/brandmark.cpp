#include "brandmark.h"

#include <QTransform>

namespace quorvel::picturegen {

QPainterPath quorvelMark()
{
    QPainterPath outer;
    outer.addEllipse(QPointF(0, 0), 14, 14);
    QPainterPath inner;
    inner.addEllipse(QPointF(0, 0), 8.5, 8.5);
    QPainterPath ring = outer.subtracted(inner);

    // The tail of the Q: a short bar cutting across the lower right of the ring.
    QPainterPath tail;
    tail.addRoundedRect(QRectF(-3, -8, 6, 16), 1.5, 1.5);
    tail = QTransform().translate(9.5, 9.5).rotate(-45).map(tail);

    QPainterPath speed;
    speed.addRoundedRect(QRectF(-34, -9.5, 14, 4), 2, 2);
    speed.addRoundedRect(QRectF(-42, -2, 24, 4), 2, 2);
    speed.addRoundedRect(QRectF(-34, 5.5, 14, 4), 2, 2);

    return ring.united(tail).united(speed).simplified();
}

} // namespace quorvel::picturegen
