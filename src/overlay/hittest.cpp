#include "overlay/hittest.h"

#include "overlay/layout.h"

namespace quorvel::overlay {
namespace {

// `point` and `clip` in the parent's client coordinates.
El childAt(const Screen& screen, El parent, QPoint point, const QRect& clip)
{
    const std::vector<El>& children = childrenOf(parent);
    for (bool windowed : {true, false}) {
        for (auto it = children.rbegin(); it != children.rend(); ++it) {
            const Element& child = screen.element(*it);
            if (!child.visible || isWindowed(child.kind) != windowed)
                continue;
            const QRect box = child.box & clip;
            if (!box.contains(point))
                continue;
            if (child.kind != Kind::Panel)
                return child.id;
            const QPoint origin = child.box.topLeft();
            return childAt(screen, child.id, point - origin, box.translated(-origin));
        }
    }
    return parent;
}

} // namespace

El elementAt(const Screen& screen, QPoint point)
{
    const QRect client(0, 0, screen.clientWidth(), screen.clientHeight());
    if (!client.contains(point))
        return El::frmPrincipal;
    return childAt(screen, El::frmPrincipal, point, client);
}

} // namespace quorvel::overlay
