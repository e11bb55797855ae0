#include "overlay/outputplacement.h"

#include "overlay/windowplacement.h"

#include <QGuiApplication>
#include <QRegularExpression>
#include <QScreen>

#include <algorithm>

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

QPoint centredPicturePlace(QSize screen)
{
    return centredPosition(QRect(QPoint(0, 0), screen), QSize(kClientWidth, kClientHeight));
}

QPoint picturePlace(const ProgramOutputConfig& config, QPoint defaultPlace)
{
    return QPoint(config.left.value_or(defaultPlace.x()), config.top.value_or(defaultPlace.y()));
}

QString pictureMisfit(QSize screen, QPoint place, int height)
{
    const QRect picture(place, QSize(kClientWidth, height));
    if (QRect(QPoint(0, 0), screen).contains(picture))
        return {};
    return QStringLiteral("a screen of %1 x %2 is too small for the %3 x %4 picture at %5, %6")
        .arg(screen.width())
        .arg(screen.height())
        .arg(kClientWidth)
        .arg(height)
        .arg(place.x())
        .arg(place.y());
}

Text programOutputRefusal(const ConfigFile& file)
{
    const ProgramOutputConfig& output = file.config.programOutput;
    if (output.screen.isEmpty())
        return {};
    const auto refuse = [&](const char* key, const QString& why) {
        return configRefusal(file.path, QStringLiteral("ProgramOutput"), QLatin1String(key), why);
    };
    const QList<QScreen*> screens = QGuiApplication::screens();
    const auto named =
        std::count_if(screens.begin(), screens.end(), [&](const QScreen* s) { return s->name() == output.screen; });
    if (named > 1)
        return refuse("Screen",
                      QStringLiteral("%1 screens are named %2: choose one by its index, 0 to %3")
                          .arg(named)
                          .arg(output.screen)
                          .arg(screens.size() - 1));
    const QScreen* screen = findOutputScreen(output.screen);
    if (!screen)
        return {};
    const QString which = QStringLiteral("screen %1 (%2)").arg(output.screen, screen->name());
    if (screen == QGuiApplication::primaryScreen())
        return refuse("Screen",
                      QStringLiteral("%1 is the screen the operator's window opens on; the output needs a "
                                     "screen of its own")
                          .arg(which));
    const QSize size = screen->geometry().size();
    const QPoint place = picturePlace(output, centredPicturePlace(size));
    const QString misfit = pictureMisfit(size, place);
    if (misfit.isEmpty())
        return {};
    // A screen with room for the picture somewhere: the place is what pushes it off.
    if (size.width() >= kClientWidth && (place.x() < 0 || place.x() + kClientWidth > size.width()) && output.left)
        return refuse("Left",
                      QStringLiteral("%1 puts the picture outside %2: %3").arg(*output.left).arg(which, misfit));
    if (size.height() >= kClientHeight && (place.y() < 0 || place.y() + kClientHeight > size.height()) && output.top)
        return refuse("Top", QStringLiteral("%1 puts the picture outside %2: %3").arg(*output.top).arg(which, misfit));
    return refuse("Screen", QStringLiteral("%1: %2").arg(which, misfit));
}

} // namespace quorvel::overlay
