#pragma once

#include "overlay/screen.h"
#include "race/photo/picturesink.h"

namespace quorvel::race {

// One picture element of the overlay's screen model as a photo's destination.
class ScreenPicture : public PictureSink {
public:
    ScreenPicture(overlay::Screen& screen, overlay::El element)
        : m_screen(screen)
        , m_element(element)
    {
    }

    void setPicture(const QImage& picture) override { m_screen.setPicture(m_element, picture); }
    void clearPicture() override { m_screen.clearPicture(m_element); }
    QSize fitBox() const override
    {
        const overlay::Element& el = m_screen.element(m_element);
        if (el.autoSize || el.transparent || !el.center || !el.proportional)
            return {};
        return el.box.size();
    }

private:
    overlay::Screen& m_screen;
    overlay::El m_element;
};

} // namespace quorvel::race
