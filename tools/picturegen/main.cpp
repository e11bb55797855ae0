// picturegen: draws the overlay's built-in pictures into a folder.
//
//     picturegen <folder>
//
// The pictures in assets/ were made with it; run it again after changing the drawing code
// and commit the new files.

#include "boardbackground.h"
#include "icon.h"
#include "lamps.h"
#include "stripbackground.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>

#include <cstdio>
#include <exception>

namespace {

struct Picture {
    const char* fileName;
    QImage (*draw)();
    bool withAlpha;
};

const Picture pictures[] = {
    {"strip.png", quorvel::picturegen::drawStripBackground, false},
    {"board.png", quorvel::picturegen::drawBoardBackground, false},
    {"lamp_prestage.png", quorvel::picturegen::drawPreStageLamp, false},
    {"lamp_stage.png", quorvel::picturegen::drawStageLamp, false},
    {"lamp_green.png", quorvel::picturegen::drawGreenLamp, false},
    {"lamp_disqualified.png", quorvel::picturegen::drawDisqualifiedLamp, false},
    {"lamp_winner.png", quorvel::picturegen::drawWinnerLamp, false},
    {"lamp_foul.png", quorvel::picturegen::drawFoulLamp, false},
    {"icon.png", quorvel::picturegen::drawIcon, true},
};

// Only the icon keeps an alpha channel; the others are stored as plain 24-bit colour.
bool save(const Picture& picture, const QDir& folder)
{
    const QImage image =
        picture.draw().convertToFormat(picture.withAlpha ? QImage::Format_ARGB32 : QImage::Format_RGB888);
    return image.save(folder.filePath(QString::fromUtf8(picture.fileName)), "PNG");
}

} // namespace

int main(int argc, char** argv)
{
    // Drawing needs no screen; this keeps the tool usable on a build machine without one.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    if (argc != 2) {
        std::fprintf(stderr, "usage: picturegen <folder>\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!folder.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "picturegen: cannot create %s\n", argv[1]);
        return 1;
    }
    try {
        for (const Picture& picture : pictures) {
            if (!save(picture, folder)) {
                std::fprintf(stderr, "picturegen: cannot write %s in %s\n", picture.fileName, argv[1]);
                return 1;
            }
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "picturegen: %s\n", e.what());
        return 1;
    }
    return 0;
}
