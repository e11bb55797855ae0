#include "overlay/programoutput.h"

#include "base/cp1252.h"
#include "overlay/layout.h"
#include "overlay/outputplacement.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>

namespace quorvel::overlay {
namespace {

// Pictures may hold the window's magenta too: the mixer keys those pixels out of the
// window, so another key colour takes their place here.
void replaceMagenta(QImage& image, QRgb key)
{
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (line[x] == kMagenta)
                line[x] = key;
        }
    }
}

} // namespace

ProgramOutput::ProgramOutput(Screen& screen, QWidget& operatorWindow, const ProgramOutputConfig& config)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus)
    , m_screen(screen)
    , m_operator(operatorWindow)
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
    m_operator.installEventFilter(this);
    connect(qApp, &QGuiApplication::screenAdded, this, [this](QScreen*) { followLater(); });
    connect(qApp, &QGuiApplication::screenRemoved, this, [this](QScreen* gone) { screenGone(gone); });
    connect(qApp, &QGuiApplication::primaryScreenChanged, this, [this](QScreen*) { followLater(); });
    follow();
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
        report(State::Missing, QStringLiteral("Program output: screen %1 is not there; waiting for it").arg(m_config.screen));
        return;
    }
    if (target != m_watched) {
        // a screen that comes back with another size may take the picture, or no longer
        if (m_watched)
            disconnect(m_watched, nullptr, this, nullptr);
        m_watched = target;
        connect(target, &QScreen::geometryChanged, this, [this] { followLater(); });
    }
    const QPoint place = picturePlace(m_config, defaultPlace());
    const QString misfit = pictureMisfit(target->geometry().size(), place);
    if (!misfit.isEmpty()) {
        hide();
        m_target = nullptr;
        report(State::TooSmall, QStringLiteral("Program output: screen %1 (%2): %3").arg(m_config.screen, target->name(), misfit));
        return;
    }
    if (target != m_target) {
        hide();
        m_target = target;
    }
    const bool moved = place != m_place;
    m_place = place;
    // X screens of one display may share their coordinates: the screen itself decides
    if (screen() != target || geometry() != target->geometry()) {
        setScreen(target);
        setGeometry(target->geometry());
    }
    if (!isVisible())
        show();
    else if (moved)
        update();
    report(State::Shown, QStringLiteral("Program output: on screen %1 (%2) at %3, %4")
                             .arg(m_config.screen, target->name())
                             .arg(place.x())
                             .arg(place.y()));
}

void ProgramOutput::report(State state, const QString& line)
{
    if (m_state == state)
        return;
    m_state = state;
    if (onReport)
        onReport(toCp1252(line));
}

QPoint ProgramOutput::defaultPlace() const
{
    // Where the operator's client area is on its own screen, once the window is there.
    const QScreen* own = m_operator.screen();
    if (m_operator.isVisible() && own)
        return m_operator.mapToGlobal(QPoint(0, 0)) - own->geometry().topLeft();
    const QScreen* primary = QGuiApplication::primaryScreen();
    return centredPicturePlace(primary ? primary->geometry().size() : QSize(kClientWidth, kClientHeight));
}

QRect ProgramOutput::pictureRect(int height) const
{
    return QRect(m_place, QSize(m_screen.clientWidth(), height));
}

bool ProgramOutput::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &m_operator && (event->type() == QEvent::Move || event->type() == QEvent::Show)
        && m_state != State::Idle && !(m_config.left && m_config.top))
        followLater();
    return QWidget::eventFilter(watched, event);
}

void ProgramOutput::elementChanged(El e, const QRect& before)
{
    if (!isVisible())
        return;
    const Element& el = m_screen.element(e);
    if (el.kind != Kind::Panel && isWindowed(el.kind))
        return; // never on the output
    const QPoint parentOffset = m_screen.windowRect(e).topLeft() - el.box.topLeft();
    update((before | el.box).translated(parentOffset + m_place) & pictureRect(kClientHeight));
}

void ProgramOutput::clientHeightChanged(int)
{
    if (isVisible())
        update(pictureRect(kClientHeight));
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
    if (key == kMagenta) {
        painter.translate(m_place);
        m_renderer.paintGraphics(painter, m_screen, area.translated(-m_place), key);
        return;
    }
    if (m_buffer.size() != area.size())
        m_buffer = QImage(area.size(), QImage::Format_RGB32);
    {
        QPainter offscreen(&m_buffer);
        offscreen.translate(-(area.topLeft() - m_place));
        m_renderer.paintGraphics(offscreen, m_screen, area.translated(-m_place), key);
    }
    replaceMagenta(m_buffer, key);
    painter.drawImage(area.topLeft(), m_buffer);
}

} // namespace quorvel::overlay
