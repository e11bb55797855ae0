#include "views/programoutput.h"

#include "base/cp1252.h"
#include "overlay/layout.h"
#include "overlay/outputplacement.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace quorvel::overlay {
namespace {

// Adds the skip-taskbar and skip-pager states to a window not mapped yet, under X11.
void setSkipTaskbarAndPager(QWidget& window)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return;
    const auto atom = [connection](const char* name) {
        const xcb_intern_atom_cookie_t cookie = xcb_intern_atom(connection, 0, uint16_t(std::strlen(name)), name);
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
        const xcb_atom_t value = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        std::free(reply);
        return value;
    };
    const xcb_atom_t state = atom("_NET_WM_STATE");
    const auto id = xcb_window_t(window.winId());
    std::vector<xcb_atom_t> states;
    const xcb_get_property_cookie_t cookie = xcb_get_property(connection, 0, id, state, XCB_ATOM_ATOM, 0, 64);
    if (xcb_get_property_reply_t* reply = xcb_get_property_reply(connection, cookie, nullptr)) {
        if (reply->format == 32 && reply->type == XCB_ATOM_ATOM) {
            const auto* values = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply));
            states.assign(values, values + xcb_get_property_value_length(reply) / 4);
        }
        std::free(reply);
    }
    for (const char* name : {"_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"}) {
        const xcb_atom_t skip = atom(name);
        if (skip != XCB_ATOM_NONE && std::find(states.begin(), states.end(), skip) == states.end())
            states.push_back(skip);
    }
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, state, XCB_ATOM_ATOM, 32, uint32_t(states.size()),
                        states.data());
    xcb_flush(connection);
}

} // namespace

ProgramOutput::ProgramOutput(Screen& screen, const ProgramOutputConfig& config)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus)
    , m_screen(screen)
    , m_config(config)
{
    setObjectName(QStringLiteral("programOutput"));
    setWindowTitle(QStringLiteral("Quorvel program output"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setCursor(Qt::BlankCursor);
    m_screen.addObserver(this);
}

ProgramOutput::~ProgramOutput()
{
    m_screen.removeObserver(this);
}

void ProgramOutput::start()
{
    connect(qApp, &QGuiApplication::screenAdded, this, [this](QScreen*) { followLater(); });
    connect(qApp, &QGuiApplication::screenRemoved, this, [this](QScreen* gone) { screenGone(gone); });
    connect(qApp, &QGuiApplication::primaryScreenChanged, this, [this](QScreen*) { followLater(); });
    follow();
}

void ProgramOutput::closeEvent(QCloseEvent* event)
{
    event->ignore();
}

void ProgramOutput::screenGone(QScreen* screen)
{
    // Qt moves a window whose screen goes onto another one: off the air at once, before the
    // picture can land on the operator's screen.
    if (screen == m_target) {
        hide();
        m_target = nullptr;
    }
    followLater();
}

void ProgramOutput::followLater()
{
    if (m_followQueued)
        return;
    m_followQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_followQueued = false;
            follow();
        },
        Qt::QueuedConnection);
}

void ProgramOutput::follow()
{
    QScreen* target = findOutputScreen(m_config.screen);
    if (!target) {
        hide();
        m_target = nullptr;
        report(QStringLiteral("Program output: screen %1 is not there; waiting for it").arg(m_config.screen));
        return;
    }
    if (target != m_target) {
        // a screen that comes back with another size takes the window's new size
        if (m_target)
            disconnect(m_target, nullptr, this, nullptr);
        hide();
        m_target = target;
        connect(target, &QScreen::geometryChanged, this, [this] { followLater(); });
    }
    if (!m_placed) {
        m_place = picturePlace(m_config, centredPicturePlace(target->geometry().size()));
        m_placed = true;
    }
    // X screens of one display may share their coordinates: the screen itself decides
    if (screen() != target || geometry() != target->geometry()) {
        setScreen(target);
        setGeometry(target->geometry());
    }
    if (!isVisible())
        showOnAir();
    update();
    QString line = QStringLiteral("Program output: on screen %1 (%2) at %3, %4")
                       .arg(m_config.screen, target->name())
                       .arg(m_place.x())
                       .arg(m_place.y());
    const QString misfit = pictureMisfit(target->geometry().size(), m_place, m_screen.clientHeight());
    if (!misfit.isEmpty())
        line += QStringLiteral(", drawn clipped: ") + misfit;
    report(line);
}

void ProgramOutput::showOnAir()
{
    // Listed by no taskbar or pager: the window manager reads the window's state when it is
    // mapped (Qt adds its own states to those already there).
    winId();
    setSkipTaskbarAndPager(*this);
    show();
}

void ProgramOutput::report(const QString& line)
{
    if (m_reported == line)
        return;
    m_reported = line;
    if (onReport)
        onReport(toCp1252(line));
}

QRect ProgramOutput::pictureRect(int height) const
{
    return QRect(m_place, QSize(m_screen.clientWidth(), height));
}

void ProgramOutput::elementChanged(El e, const QRect& before)
{
    if (!isVisible())
        return;
    const Element& el = m_screen.element(e);
    if (isOperatorWidget(el.kind))
        return; // never on the output
    const QPoint parentOffset = m_screen.windowRect(e).topLeft() - el.box.topLeft();
    update((before | el.box).translated(parentOffset + m_place) & pictureRect(kClientHeight));
}

void ProgramOutput::clientHeightChanged(int)
{
    if (!isVisible())
        return;
    update(pictureRect(kClientHeight));
    // the fit is told for what is drawn: the strip may fit where the whole picture does not
    followLater();
}

void ProgramOutput::paintEvent(QPaintEvent* event)
{
    const QRgb key = m_config.keyColour;
    QPainter painter(this);
    const QRect picture = pictureRect(m_screen.clientHeight());
    for (const QRect& around : QRegion(event->rect()).subtracted(picture))
        painter.fillRect(around, QColor::fromRgb(key));
    const QRect area = event->rect() & picture;
    if (area.isEmpty())
        return;
    painter.drawImage(area.topLeft(), m_renderer.renderGraphics(m_screen, area.translated(-m_place), key));
}

} // namespace quorvel::overlay
