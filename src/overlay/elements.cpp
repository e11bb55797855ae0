#include "overlay/elements.h"

namespace quorvel::overlay {

const char* elementName(El e)
{
    static constexpr const char* kNames[] = {
#define QUORVEL_ELEMENT_NAME(name, parent) #name,
        QUORVEL_ELEMENTS(QUORVEL_ELEMENT_NAME)
#undef QUORVEL_ELEMENT_NAME
    };
    if (e == El::frmPrincipal)
        return "frmPrincipal";
    const int i = index(e);
    return (i >= 0 && i < kElementCount) ? kNames[i] : "";
}

} // namespace quorvel::overlay
