#include "overlay/outputplacement.h"

#include "overlay/windowplacement.h"

#include <QGuiApplication>
#include <QRegularExpression>
#include <QScreen>

namespace quorvel::overlay {

QScreen* findOutputScreen(const QString& setting)
{
    const QList<QScreen*> screens = QGuiApplication::screens();
    static const QRegularExpression digits(QStringLiteral("^[0-9]+$"));
    if (digits.match(setting).hasMatch()) {
        bool ok = false;
        const int i = setting.toInt(&ok);
        return ok && i < screens.size() ? screens[i] : nullptr;
    }
    for (QScreen* screen : screens) {
        if (screen->name() == setting)
            return screen;
    }
    return nullptr;
}

QPoint centredPicturePlace(QSize operatorScreen)
{
    return centredPosition(QRect(QPoint(0, 0), operatorScreen), QSize(kClientWidth, kClientHeight));
}

QPoint picturePlace(const ProgramOutputConfig& config, QPoint defaultPlace)
{
    return QPoint(config.left.value_or(defaultPlace.x()), config.top.value_or(defaultPlace.y()));
}

QString pictureMisfit(QSize screen, QPoint place)
{
    const QRect picture(place, QSize(kClientWidth, kClientHeight));
    if (QRect(QPoint(0, 0), screen).contains(picture))
        return {};
    return QStringLiteral("a screen of %1 x %2 is too small for the %3 x %4 picture at %5, %6")
        .arg(screen.width())
        .arg(screen.height())
        .arg(kClientWidth)
        .arg(kClientHeight)
        .arg(place.x())
        .arg(place.y());
}

Text programOutputRefusal(const ConfigFile& file)
{
    const ProgramOutputConfig& output = file.config.programOutput;
    if (output.screen.isEmpty())
        return {};
    const QScreen* screen = findOutputScreen(output.screen);
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (!screen || !primary)
        return {};
    const QPoint place = picturePlace(output, centredPicturePlace(primary->geometry().size()));
    const QString misfit = pictureMisfit(screen->geometry().size(), place);
    if (misfit.isEmpty())
        return {};
    return configRefusal(file.path, QStringLiteral("ProgramOutput"), QStringLiteral("Screen"),
                         QStringLiteral("screen %1 (%2): %3").arg(output.screen, screen->name(), misfit));
}

} // namespace quorvel::overlay
