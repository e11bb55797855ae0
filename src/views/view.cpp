#include "views/view.h"

#include "base/config.h"
#include "base/cp1252.h"
#include "overlay/fonts.h"
#include "overlay/hittest.h"
#include "overlay/layout.h"
#include "overlay/renderer.h"
#include "overlay/widgetpainting.h"
#include "overlay/windowplacement.h"
#include "views/memowidget.h"
#include "views/panelwidget.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

namespace quorvel::overlay {
namespace {

bool takesClicks(Kind kind)
{
    return kind == Kind::Label || kind == Kind::Picture || kind == Kind::Shape;
}

QListWidget* makeListBox(const Element& list, QWidget* parent)
{
    auto* box = new QListWidget(parent);
    box->setFont(windowFont().font);
    box->setUniformItemSizes(true);
    box->setGeometry(list.box);
    return box;
}

void fillListBox(QListWidget* box, const TextList& items)
{
    box->clear();
    // Items are made without the box and added whole: an item made inside the box looks
    // itself up in the box's list at every property it is given, before it is in it, and
    // the thousands of items a chunk of noise brings made each fill cost their square.
    for (const Text& text : items) {
        auto* item = new QListWidgetItem(fromCp1252(text));
        item->setSizeHint(QSize(0, kListItemHeight));
        box->addItem(item);
    }
}

} // namespace

struct View::Private {
    Renderer renderer;
    std::array<QWidget*, kElementCount> widgets{}; // panels, memos, lists, check boxes
    El pressed = El::Count;
    bool painted = false;
    bool recentreWhenFramed = false;
};

View::View(Screen& screen, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , m_screen(screen)
    , d(std::make_unique<Private>())
{
    setWindowTitle(fromCp1252(Text(kAppTitle)));
    setObjectName(QStringLiteral("frmPrincipal"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFixedSize(m_screen.clientWidth(), m_screen.clientHeight());
    m_screen.setTextMeasure(rendererTextMeasure());
    createWidgets(El::frmPrincipal, this);
    m_screen.setObserver(this);
}

View::~View()
{
    m_screen.setObserver(nullptr);
    // the panels paint with the renderer held here: they go before it does
    qDeleteAll(findChildren<QWidget*>(Qt::FindDirectChildrenOnly));
}

void View::createWidgets(El parent, QWidget* parentWidget)
{
    for (El e : childrenOf(parent)) {
        const Element& el = m_screen.element(e);
        QWidget* widget = nullptr;
        switch (el.kind) {
        case Kind::Panel: {
            auto* panel = new PanelWidget(m_screen, d->renderer, e, parentWidget);
            panel->onPainted = [this] { notePainted(); };
            panel->installEventFilter(this);
            widget = panel;
            break;
        }
        case Kind::Memo: widget = new MemoWidget(m_screen, e, parentWidget); break;
        case Kind::ListBox: {
            auto* box = makeListBox(el, parentWidget);
            fillListBox(box, el.items);
            widget = box;
            break;
        }
        case Kind::CheckBox: {
            auto* box = new QCheckBox(fromCp1252(el.text), parentWidget);
            box->setFont(windowFont().font);
            box->setGeometry(el.box);
            box->setChecked(el.checked);
            // the operator's tick goes into the model, where the race logic reads it
            connect(box, &QCheckBox::toggled, this, [this, e](bool on) { m_screen.setChecked(e, on); });
            widget = box;
            break;
        }
        default: continue; // drawn by its panel
        }
        widget->setObjectName(QLatin1String(elementName(e)));
        widget->setVisible(el.visible);
        d->widgets[size_t(index(e))] = widget;
        if (el.kind == Kind::Panel)
            createWidgets(e, widget);
    }
}

QWidget* View::widgetOf(El e) const
{
    return (e == El::frmPrincipal) ? const_cast<View*>(this) : d->widgets[size_t(index(e))];
}

void View::centerOnPrimaryScreen()
{
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (!primary)
        return;
    move(centredPosition(primary->geometry(), frameGeometry().size()));
    // before the first show the frame's size is not known yet: centre again once it is
    d->recentreWhenFramed = !isVisible();
}

void View::elementChanged(El e, const QRect& before)
{
    const Element& el = m_screen.element(e);
    QWidget* widget = d->widgets[size_t(index(e))];
    if (!widget) {
        // a graphic element: only its old and new boxes need painting again
        if (QWidget* panel = widgetOf(el.parent))
            panel->update(before | el.box);
        return;
    }
    if (el.kind == Kind::ListBox) {
        // a hidden list is filled when it is shown: the framing replaces its items for
        // every message, seen or not
        if (el.visible)
            fillListBox(static_cast<QListWidget*>(widget), el.items);
    } else if (el.kind == Kind::CheckBox) {
        auto* box = static_cast<QCheckBox*>(widget);
        const QSignalBlocker blocker(box);
        box->setChecked(el.checked);
    } else if (el.kind == Kind::Memo) {
        static_cast<MemoWidget*>(widget)->linesChanged();
    }
    widget->setVisible(el.visible);
}

void View::clientHeightChanged(int height)
{
    // a fixed size keeps the top-left corner where it is
    setFixedSize(m_screen.clientWidth(), height);
}

void View::notePainted()
{
    if (d->painted)
        return;
    d->painted = true;
    // after this paint has reached the screen, not from inside it
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (d->recentreWhenFramed)
                centerOnPrimaryScreen();
            if (onFirstPaint)
                onFirstPaint();
        },
        Qt::QueuedConnection);
}

void View::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), QColor::fromRgb(kMagenta));
    notePainted();
}

void View::closeEvent(QCloseEvent* event)
{
    event->accept();
    if (onClose)
        onClose();
}

bool View::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease || type == QEvent::MouseButtonDblClick) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        const QPoint at = static_cast<QWidget*>(watched)->mapTo(this, mouse->position().toPoint());
        handleMouse(type, mouse->button(), at);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void View::mousePressEvent(QMouseEvent* event)
{
    handleMouse(event->type(), event->button(), event->position().toPoint());
}

void View::mouseReleaseEvent(QMouseEvent* event)
{
    handleMouse(event->type(), event->button(), event->position().toPoint());
}

void View::mouseDoubleClickEvent(QMouseEvent* event)
{
    handleMouse(event->type(), event->button(), event->position().toPoint());
}

void View::handleMouse(QEvent::Type type, Qt::MouseButton button, QPoint at)
{
    if (button != Qt::LeftButton)
        return;
    if (type == QEvent::MouseButtonRelease) {
        // a click is pressed on the element and released inside its rectangle
        const El pressed = std::exchange(d->pressed, El::Count);
        if (pressed != El::Count && m_screen.windowRect(pressed).contains(at) && onClick)
            onClick(pressed);
        return;
    }
    const El e = elementAt(m_screen, at);
    const bool takes = e != El::frmPrincipal && takesClicks(m_screen.element(e).kind);
    if (type == QEvent::MouseButtonPress) {
        d->pressed = takes ? e : El::Count;
        return;
    }
    // the second press of a double click: its release is no click of its own
    d->pressed = El::Count;
    if (takes && onDoubleClick)
        onDoubleClick(e);
}

} // namespace quorvel::overlay
