#include "overlay/screen.h"

#include "base/config.h"
#include "base/failure.h"
#include "overlay/layout.h"
#include "overlay/memolines.h"
#include "overlay/pictureplacement.h"

namespace quorvel::overlay {
namespace {

// A picture drawn centred and shrunk to fit is kept at its drawn size: the same pixels as
// sampling the whole picture at every paint, without holding a camera photo's 48 MB per
// element for as long as it is shown.
QImage keptPicture(const Element& el, const QImage& picture)
{
    if (picture.isNull() || el.autoSize || el.transparent || !el.center || !el.proportional)
        return picture;
    const QSize drawn = placePicture(picture.size(), el.box.size(), true, true).size();
    if (drawn == picture.size() || drawn.isEmpty())
        return picture;
    return preparePicture(picture, drawn, false);
}

} // namespace

Screen::Screen()
    : m_elements(laidOutElements())
    , m_clientHeight(kClientHeight)
{
}

int Screen::clientWidth() const
{
    return kClientWidth;
}

QRect Screen::windowRect(El e) const
{
    QRect rect = element(e).box;
    for (El p = element(e).parent; p != El::frmPrincipal; p = element(p).parent)
        rect.translate(element(p).box.topLeft());
    return rect;
}

bool Screen::isShowing(El e) const
{
    for (; e != El::frmPrincipal; e = element(e).parent) {
        if (!element(e).visible)
            return false;
    }
    return true;
}

void Screen::setTextMeasure(TextMeasure measure)
{
    m_measure = std::move(measure);
    for (const Element& el : m_elements) {
        if (el.kind != Kind::Label || !el.autoSize)
            continue;
        const QRect before = el.box;
        this->measure(el.id);
        if (el.box != before)
            changed(el.id, before);
    }
}

void Screen::setVisible(El e, bool visible)
{
    Element& el = mutableElement(e);
    if (el.visible == visible)
        return;
    el.visible = visible;
    changed(e, el.box);
}

void Screen::setText(El e, const Text& text)
{
    Element& el = mutableElement(e);
    if (el.text == text)
        return;
    const QRect before = el.box;
    el.text = text;
    if (el.kind == Kind::Label && el.autoSize)
        measure(e);
    changed(e, before);
}

void Screen::clearPicture(El e)
{
    Element& el = mutableElement(e);
    if (el.picture.isNull())
        return;
    el.picture = QImage();
    changed(e, el.box);
}

void Screen::setPicture(El e, const QImage& picture)
{
    Element& el = mutableElement(e);
    const QRect before = el.box;
    el.picture = keptPicture(el, picture);
    if (el.autoSize && !picture.isNull())
        el.box.setSize(picture.size());
    changed(e, before);
}

void Screen::setChecked(El e, bool checked)
{
    Element& el = mutableElement(e);
    if (el.checked == checked)
        return;
    el.checked = checked;
    changed(e, el.box);
}

void Screen::appendLine(El e, const Text& text)
{
    Element& el = mutableElement(e);
    appendToMemo(el.memo, text);
    changed(e, el.box);
}

TextList Screen::lastLines(El e, qsizetype count) const
{
    return lastShownLines(element(e).memo, count);
}

void Screen::replaceItems(El e, const TextList& items)
{
    Element& el = mutableElement(e);
    el.items = items;
    changed(e, el.box);
}

int Screen::itemCount(El e) const
{
    return int(element(e).items.size());
}

Text Screen::item(El e, int i) const
{
    const TextList& items = element(e).items;
    if (i < 0 || i >= items.size())
        throw Failure(format("List index out of bounds (%d)", i));
    return items[i];
}

void Screen::setClientHeight(int height)
{
    if (m_clientHeight == height)
        return;
    m_clientHeight = height;
    if (m_observer)
        m_observer->clientHeightChanged(height);
    for (ScreenObserver* observer : m_moreObservers)
        observer->clientHeightChanged(height);
}

void Screen::addObserver(ScreenObserver* observer)
{
    m_moreObservers.push_back(observer);
}

void Screen::removeObserver(ScreenObserver* observer)
{
    std::erase(m_moreObservers, observer);
}

void Screen::changed(El e, const QRect& before)
{
    if (m_observer)
        m_observer->elementChanged(e, before);
    for (ScreenObserver* observer : m_moreObservers)
        observer->elementChanged(e, before);
}

void Screen::measure(El e)
{
    if (!m_measure)
        return;
    Element& el = mutableElement(e);
    // an empty caption still takes the height of a line
    const QSize extent = m_measure(el.text.isEmpty() ? Text(" ") : el.text, el.font);
    const int right = el.box.left() + el.box.width();
    el.box.setSize(extent);
    if (el.alignment == Alignment::RightJustify)
        el.box.moveLeft(right - extent.width());
}

} // namespace quorvel::overlay
