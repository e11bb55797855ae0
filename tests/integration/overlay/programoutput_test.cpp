// The program output against real screens of the offscreen platform, which can add and
// remove screens while the program runs: a screen unplugged and plugged in again.
#include "base/config.h"
#include "imagecompare.h"
#include "overlay/layout.h"
#include "views/programoutput.h"
#include "views/view.h"
#include "wait.h"

#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonObject>
#include <QScreen>
#include <QtGui/qpa/qplatformnativeinterface.h>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace quorvel;
using namespace quorvel::overlay;

namespace {

struct ScreenSpec {
    const char* name;
    QSize size;
};

// Plugs the screens in, side by side, and unplugs every other one.
void setScreens(std::initializer_list<ScreenSpec> screens)
{
    QJsonArray array;
    int x = 0;
    for (const ScreenSpec& s : screens) {
        array.append(QJsonObject{{QStringLiteral("name"), QLatin1String(s.name)},
                                 {QStringLiteral("x"), x},
                                 {QStringLiteral("y"), 0},
                                 {QStringLiteral("width"), s.size.width()},
                                 {QStringLiteral("height"), s.size.height()}});
        x += s.size.width();
    }
    QPlatformNativeInterface* native = QGuiApplication::platformNativeInterface();
    ASSERT_NE(native, nullptr);
    using SetConfiguration = void (*)(const QJsonObject&, QPlatformNativeInterface*);
    auto set = reinterpret_cast<SetConfiguration>(native->nativeResourceForIntegration("setConfiguration"));
    ASSERT_NE(set, nullptr) << "the offscreen platform cannot change its screens";
    set(QJsonObject{{QStringLiteral("screens"), array}}, native);
}

QScreen* screenNamed(const char* name)
{
    for (QScreen* s : QGuiApplication::screens()) {
        if (s->name() == QLatin1String(name))
            return s;
    }
    return nullptr;
}

// Where the output's picture is not the window's: a few pixels may differ by more than
// anti-aliasing explains (the clock may tick between the two pictures).
std::string mismatch(const QImage& output, const QImage& window)
{
    return imageMismatch(window.convertToFormat(QImage::Format_RGB32), output.convertToFormat(QImage::Format_RGB32),
                         {.edgeChannel = 8, .flatChannel = 8, .strayPixels = 9});
}

int count(const QImage& image, QRgb colour)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            n += image.pixel(x, y) == colour;
    }
    return n;
}

const QSize kFullHd(1920, 1080);

class ProgramOutputTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setScreens({{"Operator", kFullHd}, {"HDMI-2", kFullHd}});
        model = std::make_unique<Screen>();
        view = std::make_unique<View>(*model);
        model->setText(El::lblPilotoA,
                       "Patr\xED"
                       "cia Mour\xE3o");
        model->setText(El::lblCategB, "Dianteira Aspirado");
        model->show(El::imgPreA);
        view->centerOnPrimaryScreen();
        view->show();
    }

    void TearDown() override
    {
        output.reset();
        view.reset();
        model.reset();
    }

    void start(ProgramOutputConfig config)
    {
        output = std::make_unique<ProgramOutput>(*model, config);
        output->onReport = [this](const Text& line) { reports.push_back(line); };
        output->start();
    }

    int reportsWith(const char* words) const
    {
        int n = 0;
        for (const Text& line : reports)
            n += line.contains(words);
        return n;
    }

    // The output's picture as the mixer gets it.
    QImage outputPicture(int height = kClientHeight)
    {
        return output->grab(QRect(output->place(), QSize(kClientWidth, height)))
            .toImage()
            .convertToFormat(QImage::Format_RGB32);
    }

    // The operator's window with its widgets hidden: what the mixer keyed before.
    QImage windowWithoutWidgets()
    {
        for (int i = 0; i < kElementCount; ++i) {
            const El e = El(i);
            if (isOperatorWidget(model->element(e).kind))
                model->hide(e);
        }
        return view->grab().toImage().convertToFormat(QImage::Format_RGB32);
    }

    std::unique_ptr<Screen> model;
    std::unique_ptr<View> view;
    std::unique_ptr<ProgramOutput> output;
    std::vector<Text> reports;
};

} // namespace

TEST_F(ProgramOutputTest, ShowsTheGraphicsOfTheWindowWithoutItsWidgetsWhereTheClientAreaIs)
{
    start({QStringLiteral("HDMI-2"), std::nullopt, std::nullopt, kKeyColour});
    ASSERT_TRUE(waitUntil([this] { return output->isVisible(); }));
    QScreen* hdmi = screenNamed("HDMI-2");
    ASSERT_NE(hdmi, nullptr);
    EXPECT_EQ(output->geometry(), hdmi->geometry());
    EXPECT_TRUE(output->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(output->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(output->cursor().shape(), Qt::BlankCursor);
    EXPECT_EQ(output->place(), QPoint(145, 264));
    EXPECT_EQ(reportsWith("Program output: on screen HDMI-2 (HDMI-2) at 145, 264"), 1);

    const QImage picture = outputPicture();
    // a log's middle: white on the window, never on the output
    const QPoint log = model->windowRect(El::mLog).center();
    EXPECT_EQ(view->grab().toImage().pixel(log), qRgb(255, 255, 255));
    EXPECT_NE(picture.pixel(log), qRgb(255, 255, 255));
    EXPECT_EQ(mismatch(picture, windowWithoutWidgets()), "");
    // key colour all around the picture
    const QImage whole = output->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(count(whole, kMagenta) - count(picture, kMagenta), 1920 * 1080 - kClientWidth * kClientHeight);
}

TEST_F(ProgramOutputTest, AnotherKeyColourStandsWhereverTheWindowIsMagenta)
{
    const QRgb green = qRgb(0, 255, 0);
    start({QStringLiteral("1"), 0, 0, green});
    ASSERT_TRUE(waitUntil([this] { return output->isVisible(); }));
    EXPECT_EQ(output->place(), QPoint(0, 0));
    const QImage picture = outputPicture();
    const QImage window = windowWithoutWidgets();
    EXPECT_EQ(count(picture, kMagenta), 0);
    int misses = 0;
    for (int y = 0; y < window.height(); ++y) {
        for (int x = 0; x < window.width(); ++x)
            misses += window.pixel(x, y) == kMagenta && picture.pixel(x, y) != green;
    }
    EXPECT_EQ(misses, 0);
    EXPECT_GT(count(picture, green), 100000);
    // the strip itself has no magenta, so it is the window's
    EXPECT_EQ(mismatch(picture.copy(0, 0, kClientWidth, kStripHeight), window.copy(0, 0, kClientWidth, kStripHeight)),
              "");
}

TEST_F(ProgramOutputTest, AfterTheDoubleClickThePictureIsTheStrip)
{
    start({QStringLiteral("HDMI-2"), std::nullopt, std::nullopt, kKeyColour});
    ASSERT_TRUE(waitUntil([this] { return output->isVisible(); }));
    model->setClientHeight(kStripHeight);
    const QImage picture = outputPicture();
    const QImage below = picture.copy(0, kStripHeight, kClientWidth, kClientHeight - kStripHeight);
    EXPECT_EQ(count(below, kMagenta), kClientWidth * (kClientHeight - kStripHeight));
    EXPECT_EQ(mismatch(picture.copy(0, 0, kClientWidth, kStripHeight), windowWithoutWidgets()), "");
}

TEST_F(ProgramOutputTest, AnUnpluggedScreenIsWaitedForAndTheOutputComesBack)
{
    start({QStringLiteral("HDMI-2"), std::nullopt, std::nullopt, kKeyColour});
    ASSERT_TRUE(waitUntil([this] { return output->isVisible(); }));

    setScreens({{"Operator", kFullHd}});
    ASSERT_TRUE(waitUntil([this] { return !output->isVisible() && reportsWith("not there") == 1; }));
    EXPECT_TRUE(view->isVisible());
    // more changes of the screens while it is away: said once
    setScreens({{"Operator", QSize(1920, 1200)}});
    setScreens({{"Operator", kFullHd}, {"DP-1", kFullHd}});
    runEventsFor(200);
    EXPECT_FALSE(output->isVisible());
    EXPECT_EQ(reportsWith("not there"), 1);

    setScreens({{"Operator", kFullHd}, {"HDMI-2", kFullHd}});
    ASSERT_TRUE(waitUntil([this] { return output->isVisible(); }));
    EXPECT_EQ(output->geometry(), screenNamed("HDMI-2")->geometry());
    EXPECT_EQ(reportsWith("Program output: on screen HDMI-2"), 2);
    model->setText(El::lblPilotoA, "Maria");
    EXPECT_EQ(mismatch(outputPicture(), windowWithoutWidgets()), "");
}

TEST_F(ProgramOutputTest, AScreenMissingAtStartIsWaitedForAndOneTooSmallIsCoveredAndDrawnClipped)
{
    setScreens({{"Operator", kFullHd}});
    start({QStringLiteral("HDMI-2"), std::nullopt, std::nullopt, kKeyColour});
    runEventsFor(100);
    EXPECT_FALSE(output->isVisible());
    EXPECT_EQ(reportsWith("Program output: screen HDMI-2 is not there"), 1);

    // The place is worked out from the screen that came: centred on 1280 x 720 the picture
    // overhangs on the left, and is drawn clipped there rather than leaving a bare screen.
    setScreens({{"Operator", kFullHd}, {"HDMI-2", QSize(1280, 720)}});
    ASSERT_TRUE(waitUntil([this] { return output->isVisible(); }));
    EXPECT_EQ(output->geometry(), screenNamed("HDMI-2")->geometry());
    EXPECT_EQ(output->place(), QPoint(-174, 84));
    EXPECT_EQ(reportsWith("at -174, 84, drawn clipped: a screen of 1280 x 720 is too small"), 1);
    const QImage whole = output->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(whole.pixel(10, 10), kMagenta);
    EXPECT_EQ(whole.pixel(10, 700), kMagenta);
    EXPECT_NE(whole.pixel(10, 84 + 10), kMagenta); // the header band, clipped on the left

    // Back at its full size, at the same place: the line comes again for the new screen.
    setScreens({{"Operator", kFullHd}, {"HDMI-2", kFullHd}});
    ASSERT_TRUE(waitUntil([this] { return output->geometry().size() == kFullHd; }));
    EXPECT_TRUE(output->isVisible());
    EXPECT_EQ(output->place(), QPoint(-174, 84));
    ASSERT_TRUE(waitUntil([this] { return reports.size() == 3u; }));
}

// The mixer's key and crop are set for one place: the operator's window moves, the output's
// picture stays; after the double click the strip fits where the whole picture does not.
TEST_F(ProgramOutputTest, ThePlaceNeverFollowsTheOperatorsWindowAndTheFitIsToldForWhatIsDrawn)
{
    setScreens({{"Operator", kFullHd}, {"HDMI-2", QSize(1920, 600)}});
    ASSERT_TRUE(waitUntil([] { return screenNamed("HDMI-2")->geometry().height() == 600; }));
    start({QStringLiteral("HDMI-2"), std::nullopt, std::nullopt, kKeyColour});
    ASSERT_TRUE(waitUntil([this] { return output->isVisible(); }));
    EXPECT_EQ(output->place(), QPoint(145, 24));
    view->move(40, 700);
    runEventsFor(100);
    EXPECT_EQ(output->place(), QPoint(145, 24));
    EXPECT_TRUE(output->isVisible());

    setScreens({{"Operator", kFullHd}, {"HDMI-2", QSize(1920, 500)}});
    ASSERT_TRUE(waitUntil([this] { return reportsWith("drawn clipped") == 1; }));
    EXPECT_TRUE(output->isVisible());
    model->setClientHeight(kStripHeight);
    ASSERT_TRUE(waitUntil([this] { return reports.back().endsWith("at 145, 24"); }));
    EXPECT_TRUE(output->isVisible());
}

// A window manager's close request (a taskbar's "Close") does not take it off the air.
TEST_F(ProgramOutputTest, ACloseRequestIsRefused)
{
    start({QStringLiteral("HDMI-2"), std::nullopt, std::nullopt, kKeyColour});
    ASSERT_TRUE(waitUntil([this] { return output->isVisible(); }));
    EXPECT_FALSE(output->close());
    runEventsFor(50);
    EXPECT_TRUE(output->isVisible());
}
