#include "overlay/outputplacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <gtest/gtest.h>

using namespace quorvel;
using namespace quorvel::overlay;

TEST(OutputPlacement, TheDefaultPlaceIsTheCentredClientArea)
{
    EXPECT_EQ(centredPicturePlace(QSize(1920, 1080)), QPoint(145, 264));
    EXPECT_EQ(centredPicturePlace(QSize(1629, 551)), QPoint(0, 0));
    ProgramOutputConfig config;
    EXPECT_EQ(picturePlace(config, QPoint(145, 264)), QPoint(145, 264));
    config.left = 0;
    EXPECT_EQ(picturePlace(config, QPoint(145, 264)), QPoint(0, 264));
    config.top = 12;
    EXPECT_EQ(picturePlace(config, QPoint(145, 264)), QPoint(0, 12));
}

TEST(OutputPlacement, TheWholePictureMustFitOnTheScreen)
{
    const struct {
        QSize screen;
        QPoint place;
        bool fits;
    } cases[] = {
        {{1920, 1080}, {145, 264}, true}, {{1920, 1080}, {291, 529}, true}, {{1920, 1080}, {292, 0}, false},
        {{1920, 1080}, {0, 530}, false},  {{1920, 1080}, {-1, 0}, false},   {{1920, 1080}, {0, -1}, false},
        {{1629, 551}, {0, 0}, true},      {{1628, 1080}, {0, 0}, false},    {{1280, 720}, {0, 0}, false},
    };
    for (const auto& c : cases) {
        const QString misfit = pictureMisfit(c.screen, c.place);
        EXPECT_EQ(misfit.isEmpty(), c.fits) << c.screen.width() << "x" << c.screen.height() << " at " << c.place.x()
                                            << "," << c.place.y() << ": " << misfit.toStdString();
    }
    // what is drawn counts: the strip fits low on the screen, the whole picture does not
    EXPECT_TRUE(pictureMisfit(QSize(1920, 1080), QPoint(145, 976), kStripHeight).isEmpty());
    EXPECT_FALSE(pictureMisfit(QSize(1920, 1080), QPoint(145, 976)).isEmpty());
    EXPECT_TRUE(pictureMisfit(QSize(1920, 1080), QPoint(145, 977), kStripHeight).contains(QLatin1String("1629 x 104")));
}

TEST(OutputPlacement, ScreensAreFoundByIndexOrName)
{
    const QList<QScreen*> screens = QGuiApplication::screens();
    ASSERT_FALSE(screens.isEmpty());
    EXPECT_EQ(findOutputScreen(QStringLiteral("0")), screens[0]);
    EXPECT_EQ(findOutputScreen(screens[0]->name()), screens[0]);
    EXPECT_EQ(findOutputScreen(QString::number(screens.size())), nullptr);
    EXPECT_EQ(findOutputScreen(QStringLiteral("99999999999999")), nullptr);
    EXPECT_EQ(findOutputScreen(QStringLiteral("HDMI-77")), nullptr);
}

// The offscreen platform's one screen is the operator's: an output there is refused; a
// missing screen is waited for instead of refused.
TEST(OutputPlacement, TheOperatorsScreenIsRefusedAMissingOneIsNot)
{
    ASSERT_EQ(QGuiApplication::screens().at(0), QGuiApplication::primaryScreen());
    ConfigFile file;
    file.path = QStringLiteral("/etc/quorvel/test.conf");
    EXPECT_TRUE(programOutputRefusal(file).isEmpty());
    file.config.programOutput.screen = QStringLiteral("0");
    const QString refusal = QString::fromLatin1(programOutputRefusal(file));
    EXPECT_TRUE(refusal.contains(file.path)) << refusal.toStdString();
    EXPECT_TRUE(refusal.contains(QLatin1String("[ProgramOutput] Screen"))) << refusal.toStdString();
    EXPECT_TRUE(refusal.contains(QLatin1String("operator's window"))) << refusal.toStdString();
    file.config.programOutput.screen = QString::number(QGuiApplication::screens().size());
    EXPECT_TRUE(programOutputRefusal(file).isEmpty());
}
