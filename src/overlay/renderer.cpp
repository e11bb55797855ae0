#include "overlay/renderer.h"

#include "overlay/fonts.h"
#include "overlay/layout.h"
#include "overlay/pictureplacement.h"
#include "overlay/widgetpainting.h"

namespace quorvel::overlay {
namespace {

bool sameFont(const FontSpec& a, const FontSpec& b)
{
    return qstrcmp(a.face, b.face) == 0 && a.pixelSize == b.pixelSize && a.bold == b.bold;
}

} // namespace

void Renderer::paintWindow(QPainter& painter, const Screen& screen, const QRect& area)
{
    painter.fillRect(area, QColor::fromRgb(kMagenta));
    for (El e : childrenOf(El::frmPrincipal))
        paintChild(painter, screen, screen.element(e), area, Pass{});
}

QImage Renderer::renderGraphics(const Screen& screen, const QRect& area, QRgb keyColour)
{
    const bool opaque = qAlpha(keyColour) == 255;
    QImage image(area.size(), opaque ? QImage::Format_RGB32 : QImage::Format_ARGB32_Premultiplied);
    if (!opaque)
        image.fill(Qt::transparent); // drawn on nothing
    const Pass pass{.windowed = true, .graphicsOnly = true, .magentaAs = keyColour};
    {
        QPainter painter(&image);
        painter.translate(-area.topLeft());
        fillArea(painter, area, kMagenta, pass);
        for (El e : childrenOf(El::frmPrincipal))
            paintChild(painter, screen, screen.element(e), area, pass);
    }
    if (keyColour == kMagenta)
        return image;
    const QRgb key = qPremultiply(keyColour);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (line[x] == kMagenta)
                line[x] = key;
    }
    return image;
}

void Renderer::fillArea(QPainter& painter, const QRect& area, QRgb colour, const Pass& pass) const
{
    const QColor colourDrawn = QColor::fromRgba(colour == kMagenta ? pass.magentaAs : colour);
    if (colourDrawn.alpha() == 255) {
        painter.fillRect(area, colourDrawn);
        return;
    }
    // A magenta panel over graphics hides them: without a colour of its own it must clear
    // them, not blend nothing over them.
    const QPainter::CompositionMode mode = painter.compositionMode();
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(area, colourDrawn);
    painter.setCompositionMode(mode);
}

void Renderer::paintPanel(QPainter& painter, const Screen& screen, El panel, const QRect& area, bool windowed)
{
    paintPanelWith(painter, screen, panel, area, Pass{.windowed = windowed});
}

void Renderer::paintPanelWith(QPainter& painter, const Screen& screen, El panel, const QRect& area, const Pass& pass)
{
    const Element& self = screen.element(panel);
    const QRect clip = area & QRect(QPoint(0, 0), self.box.size());
    if (clip.isEmpty())
        return;
    fillArea(painter, clip, self.color, pass);
    const std::vector<El>& children = childrenOf(panel);
    for (El e : children) {
        const Element& child = screen.element(e);
        if (!isWindowed(child.kind))
            paintChild(painter, screen, child, clip, pass);
    }
    if (!pass.windowed)
        return;
    for (El e : children) {
        const Element& child = screen.element(e);
        if (isWindowed(child.kind))
            paintChild(painter, screen, child, clip, pass);
    }
}

void Renderer::paintChild(QPainter& painter, const Screen& screen, const Element& child, const QRect& clip,
                          const Pass& pass)
{
    if (!child.visible || (pass.graphicsOnly && isOperatorWidget(child.kind)))
        return;
    const QRect visible = child.box & clip;
    if (visible.isEmpty())
        return;
    switch (child.kind) {
    case Kind::Label: paintLabel(painter, child, visible); break;
    case Kind::Picture: paintPicture(painter, child, visible); break;
    case Kind::Shape: fillArea(painter, visible, child.color, pass); break;
    case Kind::Panel:
        painter.save();
        painter.translate(child.box.topLeft());
        paintPanelWith(painter, screen, child.id, visible.translated(-child.box.topLeft()), pass);
        painter.restore();
        break;
    default:
        painter.save();
        painter.setClipRect(visible);
        if (child.kind == Kind::Memo)
            paintMemo(painter, child.box, screen, child.id);
        else if (child.kind == Kind::ListBox)
            paintListBox(painter, child.box, child.items);
        else
            paintCheckBox(painter, child.box, child.text, child.checked);
        painter.restore();
        break;
    }
}

void Renderer::paintLabel(QPainter& painter, const Element& label, const QRect& clip)
{
    const LabelLayout& layout = labelLayout(label);
    if (layout.runs.isEmpty())
        return;
    painter.save();
    painter.setClipRect(clip);
    painter.setFont(resolvedFont(label.font).font);
    painter.setPen(QColor::fromRgb(label.font.color));
    for (const LabelLayout::Run& run : layout.runs)
        painter.drawText(run.origin, run.text);
    for (const QRectF& underline : layout.underlines)
        painter.fillRect(underline, QColor::fromRgb(label.font.color));
    painter.restore();
}

void Renderer::paintPicture(QPainter& painter, const Element& picture, const QRect& clip)
{
    if (picture.picture.isNull())
        return;
    const QRect placed = placePicture(picture.picture.size(), picture.box.size(), picture.center, picture.proportional)
                             .translated(picture.box.topLeft());
    const QRect target = placed & clip;
    if (target.isEmpty())
        return;
    const QImage& prepared = preparedPicture(picture.picture, placed.size(), picture.transparent);
    painter.drawImage(target.topLeft(), prepared, target.translated(-placed.topLeft()));
}

const LabelLayout& Renderer::labelLayout(const Element& label)
{
    CachedLayout& cached = m_layouts[size_t(index(label.id))];
    if (!cached.valid || cached.text != label.text || cached.box != label.box || cached.alignment != label.alignment ||
        !sameFont(cached.font, label.font)) {
        cached.layout = layoutLabel(label.text, resolvedFont(label.font), label.box, label.alignment);
        cached.text = label.text;
        cached.box = label.box;
        cached.font = label.font;
        cached.alignment = label.alignment;
        cached.valid = true;
    }
    return cached.layout;
}

const QImage& Renderer::preparedPicture(const QImage& picture, QSize drawn, bool transparent)
{
    const PictureKey key{picture.cacheKey(), drawn, transparent};
    if (const QImage* found = m_pictures.object(key))
        return *found;
    auto* prepared = new QImage(preparePicture(picture, drawn, transparent));
    const qsizetype costKB = std::max<qsizetype>(1, prepared->sizeInBytes() / 1024);
    if (costKB > m_pictures.maxCost()) {
        m_uncached = std::move(*prepared);
        delete prepared;
        return m_uncached;
    }
    m_pictures.insert(key, prepared, costKB);
    return *prepared;
}

QImage renderScreen(const Screen& screen, const QRect& area)
{
    // Tests and benchmarks render many pictures: one renderer keeps its caches between
    // them. Never destroyed, since its fonts and images must not outlive the application
    // object, which a function's static would.
    static Renderer& renderer = *new Renderer;
    QImage image(area.size(), QImage::Format_RGB32);
    QPainter painter(&image);
    painter.translate(-area.topLeft());
    renderer.paintWindow(painter, screen, area);
    return image;
}

TextMeasure rendererTextMeasure()
{
    return [](const Text& text, const FontSpec& font) { return measureLabel(text, resolvedFont(font)); };
}

} // namespace quorvel::overlay
