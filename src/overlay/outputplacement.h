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

// Where the client area is on a screen of that size when the operator's window is laid out
// centred on it (145, 264 on a 1920 x 1080 screen). Worked out from the output's screen, it
// is the program output's default place.
QPoint centredPicturePlace(QSize screen);

// The picture's top-left corner on the output's screen: the configured Left and Top, or
// the default place for what is not configured.
QPoint picturePlace(const ProgramOutputConfig& config, QPoint defaultPlace);

// Why the picture (1629 wide, `height` high: 551, or 104 after the double click) does not
// fit on a screen of that size at `place`, or an empty text when it does.
QString pictureMisfit(QSize screen, QPoint place, int height = kClientHeight);

// Why a configured program output cannot go on air, naming the key that causes it; empty
// when it can. Refused: a name that more than one screen has, the screen the operator's
// window opens on (the primary), and a screen too small for the whole picture at its
// place (Left or Top when they push it off the screen). A screen that is missing is no
// refusal: the programme goes on without the output until the screen comes.
Text programOutputRefusal(const ConfigFile& file);

} // namespace quorvel::overlay
