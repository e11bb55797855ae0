#pragma once

#include "base/config.h"
#include "base/configfile.h"

#include <QPoint>
#include <QRect>
#include <QString>

class QScreen;

namespace quorvel::overlay {

// The screen a program output's setting names among the screens present now: digits are
// an index into the screens (the primary first), anything else a screen's name, such as
// HDMI-2. Null when it is not there.
QScreen* findOutputScreen(const QString& setting);

// Where the operator's client area is on its own screen when the window is centred there
// (145, 264 on a 1920 x 1080 screen): the program output's default place.
QPoint centredPicturePlace(QSize operatorScreen);

// The picture's top-left corner on the output's screen: the configured Left and Top, or
// the default place for what is not configured.
QPoint picturePlace(const ProgramOutputConfig& config, QPoint defaultPlace);

// Why the whole picture (1629 x 551) does not fit on a screen of that size at `place`,
// or an empty text when it does.
QString pictureMisfit(QSize screen, QPoint place);

// The refusal of a configured program output whose screen is there but too small for the
// picture at its place; empty otherwise. A screen that is missing is no refusal: the
// programme goes on without the output until the screen comes.
Text programOutputRefusal(const ConfigFile& file);

} // namespace quorvel::overlay
