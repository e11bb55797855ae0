#include "pictures.h"

namespace quorvel::assets {

QString picturePath(const char* fileName)
{
    return QStringLiteral(":/pictures/") + QString::fromUtf8(fileName);
}

const QStringList& pictureFileNames()
{
    static const QStringList names{
        QStringLiteral("strip.png"),          QStringLiteral("board.png"),
        QStringLiteral("lamp_prestage.png"),  QStringLiteral("lamp_stage.png"),
        QStringLiteral("lamp_green.png"),     QStringLiteral("lamp_disqualified.png"),
        QStringLiteral("lamp_winner.png"),    QStringLiteral("lamp_foul.png"),
        QStringLiteral("icon.png"),
    };
    return names;
}

} // namespace quorvel::assets
