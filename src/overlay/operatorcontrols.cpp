#include "overlay/operatorcontrols.h"

#include "base/config.h"

namespace quorvel::overlay {

void imgFundoClick(Screen& screen)
{
    for (El e : {El::ckCameraPos, El::ListBox2, El::Memo1, El::ListBox1, El::mLog})
        screen.hide(e);
}

void imgFundoDblClick(Screen& screen)
{
    screen.setClientHeight(kStripHeight);
    screen.hide(El::ckCameraPos);
}

} // namespace quorvel::overlay
