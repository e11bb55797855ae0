#include "base/config.h"
#include "base/cp1252.h"
#include "overlay/fonts.h"
#include "overlay/labellayout.h"
#include "overlay/layout.h"
#include "overlay/renderer.h"
#include "overlay/screen.h"

#include "imagecompare.h"

#include <QDir>
#include <QPainter>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <string>
#include <utility>
#include <vector>

using namespace quorvel;
using namespace quorvel::overlay;

namespace {

const QRgb kGround = qRgb(26, 27, 29);

bool isMagenta(QRgb pixel)
{
    return (pixel & RGB_MASK) == (kMagenta & RGB_MASK);
}

// A picture whose bottom-left pixel (the key) is blue, with a red square in the middle.
QImage keyedPicture()
{
    QImage image(20, 20, QImage::Format_RGB32);
    image.fill(qRgb(0, 0, 255));
    QPainter(&image).fillRect(5, 5, 10, 10, qRgb(255, 0, 0));
    return image;
}

// Light ink on the strip's blue cells: the lane letters and the labels' characters, with
// the anti-aliased edges that cover less than about half a pixel left out.
bool isLightInk(QRgb pixel)
{
    return qRed(pixel) > 150 && qGreen(pixel) > 150 && qBlue(pixel) > 150;
}

// The first and last rows of `area` holding a pixel that passes `test`; -1, -1 if none.
std::pair<int, int> inkRows(const QImage& image, const QRect& area, const std::function<bool(QRgb)>& test)
{
    int first = -1;
    int last = -1;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (test(image.pixel(x, y))) {
                if (first < 0)
                    first = y;
                last = y;
                break;
            }
    return {first, last};
}

int countPixels(const QImage& image, const QRect& area, const std::function<bool(QRgb)>& test)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += test(image.pixel(x, y)) ? 1 : 0;
    return n;
}

class RenderTest : public ::testing::Test {
protected:
    void SetUp() override { screen.setTextMeasure(rendererTextMeasure()); }

    QImage render() { return renderScreen(screen, QRect(0, 0, kClientWidth, kClientHeight)); }

    // Every element of the race display hidden: only panels and what a test shows.
    void hideRaceDisplay()
    {
        for (El e : childrenOf(El::pnlTempos))
            screen.hide(e);
    }

    Screen screen;
};

TEST_F(RenderTest, LaidOutWindowShowsTheStripOnMagenta)
{
    const QImage image = render();
    ASSERT_EQ(image.size(), QSize(1629, 551));
    if (const QByteArray dir = qgetenv("QUORVEL_RENDER_DIR"); !dir.isEmpty())
        image.save(QDir(QString::fromLocal8Bit(dir)).filePath(QStringLiteral("laid_out.png")));

    // the strip fills the top 104 rows: nothing of it is magenta
    EXPECT_EQ(countPixels(image, QRect(0, 0, 1629, 104), isMagenta), 0);
    // below it the background is magenta where nothing lies
    EXPECT_TRUE(isMagenta(image.pixel(5, 110)));
    EXPECT_TRUE(isMagenta(image.pixel(1600, 540)));
    EXPECT_TRUE(isMagenta(image.pixel(700, 280)));
    // a legend below the strip draws white characters on magenta
    const QRect legend = screen.windowRect(El::lblEFim);
    EXPECT_GT(countPixels(image, legend, [](QRgb p) { return p == qRgb(255, 255, 255); }), 10);
    // the memo is drawn on the window colour
    EXPECT_EQ(image.pixel(screen.windowRect(El::mLog).center() + QPoint(0, 20)), qRgb(255, 255, 255));
}

TEST_F(RenderTest, LabelsAreTransparentAndClippedToTheirBox)
{
    hideRaceDisplay();
    screen.setText(El::lblPilotoA, "WWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWW");
    screen.show(El::lblPilotoA);
    const QImage image = render();
    const QRect box = screen.windowRect(El::lblPilotoA);

    // the magenta beneath shows between and around the characters
    EXPECT_GT(countPixels(image, box, isMagenta), 100);
    EXPECT_GT(countPixels(image, box, [](QRgb p) { return p == qRgb(248, 248, 248); }), 50);
    // a centred text too wide loses both ends: ink right up to both edges, none outside
    const auto inked = [](QRgb p) { return !isMagenta(p); };
    EXPECT_GT(countPixels(image, QRect(box.left(), box.top(), 3, box.height()), inked), 0);
    EXPECT_GT(countPixels(image, QRect(box.right() - 2, box.top(), 3, box.height()), inked), 0);
    EXPECT_EQ(countPixels(image, QRect(box.left() - 20, box.top(), 20, box.height()), inked), 0);
    EXPECT_EQ(countPixels(image, QRect(box.right() + 1, box.top(), 20, box.height()), inked), 0);
}

TEST_F(RenderTest, ColourKeyLeavesTheBackgroundShowing)
{
    hideRaceDisplay();
    screen.setPicture(El::fotoPilotoB, keyedPicture()); // opaque: the key is drawn
    screen.show(El::fotoPilotoB);
    screen.setPicture(El::imgPreA, keyedPicture()); // transparent
    screen.show(El::imgPreA);
    const QImage image = render();

    // imgPreA: 20 x 20 centred in 32 x 32 at 190, 26 -> drawn from 196, 32
    EXPECT_TRUE(isMagenta(image.pixel(197, 33)));
    EXPECT_EQ(image.pixel(206, 42), qRgb(255, 0, 0));
    // fotoPilotoB: 20 x 20 centred in 89 x 94 at 932, 119 -> from 966, 156
    EXPECT_EQ(image.pixel(967, 157), qRgb(0, 0, 255));
    EXPECT_EQ(image.pixel(976, 166), qRgb(255, 0, 0));
    EXPECT_TRUE(isMagenta(image.pixel(964, 157)));
}

TEST_F(RenderTest, LampsLieOverTheStripWithTheCellShowingInTheirCorners)
{
    hideRaceDisplay();
    screen.show(El::imgFundo);
    const QImage bare = render();
    screen.show(El::imgStartA);
    const QImage lit = render();
    // the corner of the lamp box keeps the strip's own pixel, the middle is the lamp
    EXPECT_EQ(lit.pixel(190, 26), bare.pixel(190, 26));
    EXPECT_NE(lit.pixel(206, 42), bare.pixel(206, 42));
    EXPECT_NE(lit.pixel(206, 42), qRgb(255, 255, 255));
}

TEST_F(RenderTest, ElementsAreClippedToTheirOwnBoxAndToTheirParent)
{
    hideRaceDisplay();
    // a tall photo shrinks into its own box: 89 x 600 becomes 14 x 96
    QImage tall(89, 600, QImage::Format_RGB32);
    tall.fill(qRgb(0, 200, 0));
    screen.setPicture(El::fotoPilotoA, tall);
    screen.show(El::fotoPilotoA);
    // mBD (1308, 428, 411 x 145) reaches below pnlTempos (433 high) and past the window
    screen.show(El::mBD);
    const QImage image = render();
    EXPECT_EQ(countPixels(image, QRect(0, 104, 1629, 447), [](QRgb p) { return p == qRgb(0, 200, 0); }), 14 * 96);
    const auto white = [](QRgb p) { return p == qRgb(255, 255, 255); };
    EXPECT_GT(countPixels(image, QRect(1310, 430, 319, 3), white), 300);
    EXPECT_EQ(countPixels(image, QRect(1300, 433, 329, 118), [](QRgb p) { return !isMagenta(p); }), 0);
}

TEST_F(RenderTest, WindowedElementsLieOverGraphicOnesAndHiddenPanelsHideChildren)
{
    hideRaceDisplay();
    QImage green(89, 96, QImage::Format_RGB32);
    green.fill(qRgb(0, 200, 0));
    screen.setPicture(El::fotoPilotoA, green);
    screen.show(El::fotoPilotoA);
    // the cover panel lies over the photo and hides its left part
    screen.show(El::pnlEscondeA);
    QImage image = render();
    EXPECT_TRUE(isMagenta(image.pixel(300, 200))); // under the cover panel
    EXPECT_EQ(image.pixel(345, 200), qRgb(0, 200, 0)); // right of it, x 339 on

    // hiding pnlTempos hides everything on it: board mode is all magenta
    screen.show(El::imgFundo);
    screen.show(El::mLog);
    screen.hide(El::pnlTempos);
    screen.show(El::pnlClass);
    image = render();
    EXPECT_EQ(countPixels(image, image.rect(), [](QRgb p) { return !isMagenta(p); }), 0);
}

TEST_F(RenderTest, BoardLabelsSitInsideTheBoardPanel)
{
    // the board panel lies under pnlGeral; drawn alone its children are offset by it (0, 2)
    screen.hide(El::pnlGeral);
    screen.hide(El::pnlTempos);
    screen.show(El::pnlClass);
    screen.show(El::lblClassCat);
    const QImage image = render();
    const QRect box = screen.windowRect(El::lblClassCat);
    EXPECT_EQ(box.topLeft(), QPoint(13, 83));
    EXPECT_GT(countPixels(image, box, [](QRgb p) { return p == qRgb(255, 255, 255); }), 10);
    EXPECT_EQ(countPixels(image, QRect(0, 0, 1629, 80), [](QRgb p) { return !isMagenta(p); }), 0);
}

TEST_F(RenderTest, AutoSizeLabelsTakeTheirLaidOutHeights)
{
    const auto laidOut = laidOutElements();
    int checked = 0;
    for (const Element& el : laidOut) {
        if (el.kind != Kind::Label || !el.autoSize)
            continue;
        EXPECT_EQ(screen.element(el.id).box.height(), el.box.height()) << elementName(el.id);
        ++checked;
    }
    EXPECT_GT(checked, 0);
}

// Where a time is drawn in its cell: the rows of its ink, which must be centred like the
// lane letter at the row's left (the artwork's own ink, rendered with the strip).
TEST_F(RenderTest, TimesSitCentredInTheirCellsLikeTheLaneLetters)
{
    hideRaceDisplay();
    screen.show(El::imgFundo);
    const QImage bare = render();
    const struct {
        int top, bottom; // the row's cells
        std::vector<El> times;
    } rows[] = {
        {25, 59, {El::lblReaA, El::lbl60A, El::lbl100A, El::lblTPistaA, El::lblVelA, El::lblTTotalA}},
        {61, 95, {El::lblReaB, El::lbl60B, El::lbl100B, El::lblTPistaB, El::lblVelB, El::lblTTotalB}},
    };
    for (const auto& row : rows) {
        // the lane letter's column, 164 to 186
        const auto [letterTop, letterBottom] =
            inkRows(bare, QRect(164, row.top, 23, row.bottom - row.top + 1), isLightInk);
        ASSERT_GE(letterTop, row.top);
        const double letterCentre = (letterTop + letterBottom) / 2.0;
        for (El e : row.times) {
            screen.setText(e, "0.412");
            screen.show(e);
            const QImage image = render();
            screen.hide(e);
            const QRect box = screen.windowRect(e);
            const QRect cell(box.left(), row.top, box.width(), row.bottom - row.top + 1);
            const auto [top, bottom] = inkRows(image, cell, isLightInk);
            ASSERT_GE(top, row.top) << elementName(e);
            EXPECT_NEAR((top + bottom) / 2.0, letterCentre, 1.0) << elementName(e) << " rows " << top << "-" << bottom;
        }
    }
}

// An accented capital reaches about 0.9 of the character height above the baseline: the
// pilot's name keeps its accents, wholly inside the label, above the capitals.
TEST_F(RenderTest, AccentedNamesKeepTheirAccentsInsideThePilotLabels)
{
    const struct {
        const char16_t* name;
        qsizetype accented; // an accented capital
        qsizetype plain; // a capital without an accent
    } names[] = {
        {u"ÉMERSON ÂNGELO", 0, 1},
        {u"ÉMERSON ÂNGELO", 8, 9},
        {u"Ítalo Gonçalves (Tatu)", 0, 17},
    };
    const auto onMagenta = [](QRgb p) { return !isMagenta(p); };
    for (El e : {El::lblPilotoA, El::lblPilotoB}) {
        for (const auto& n : names) {
            const QString name = QString::fromUtf16(n.name);
            hideRaceDisplay();
            screen.setText(e, toCp1252(name));
            screen.show(e);
            const QImage clipped = render();
            const QRect box = screen.windowRect(e);

            // the same text drawn where the label draws it, but not clipped to the label
            const Element& label = screen.element(e);
            const ResolvedFont& font = resolvedFont(label.font);
            const LabelLayout layout = layoutLabel(label.text, font, box, label.alignment);
            ASSERT_EQ(layout.runs.size(), 1);
            QImage whole(clipped.size(), QImage::Format_RGB32);
            whole.fill(kMagenta);
            {
                QPainter painter(&whole);
                painter.setFont(font.font);
                painter.setPen(QColor::fromRgb(label.font.color));
                painter.drawText(layout.runs[0].origin, layout.runs[0].text);
            }
            const QString where = name + QStringLiteral(" in ") + QLatin1String(elementName(e));
            // nothing of the text lies outside the box, so nothing is cut off
            EXPECT_EQ(countPixels(whole, whole.rect(), onMagenta), countPixels(whole, box, onMagenta))
                << where.toStdString();
            EXPECT_EQ(countPixels(clipped, box, onMagenta), countPixels(whole, box, onMagenta)) << where.toStdString();

            // the accent's ink rises above the plain capital's
            const auto columns = [&](qsizetype i) {
                const qreal left = layout.runs[0].origin.x() + font.metrics.horizontalAdvance(name.left(i));
                const qreal right = layout.runs[0].origin.x() + font.metrics.horizontalAdvance(name.left(i + 1));
                return QRect(int(std::ceil(left)) + 1, box.top(), int(right - left) - 2, box.height());
            };
            const int accentTop = inkRows(clipped, columns(n.accented), onMagenta).first;
            const int capitalTop = inkRows(clipped, columns(n.plain), onMagenta).first;
            ASSERT_GE(accentTop, box.top()) << where.toStdString();
            EXPECT_LT(accentTop, capitalTop - 2) << where.toStdString();
        }
    }
}

TEST_F(RenderTest, BothLanesStackTheFoulLampOverTheWinnerLamp)
{
    hideRaceDisplay();
    const QRect boxA = screen.windowRect(El::imgQueA);
    const QRect boxB = screen.windowRect(El::imgQueB);
    for (El e : {El::imgQueA, El::imgQueB})
        screen.show(e);
    const QImage foul = render();
    for (El e : {El::imgDesclaA, El::imgDesclaB, El::imgGanhouA, El::imgGanhouB})
        screen.show(e);
    const QImage all = render();
    // the middle of each box is the red foul lamp's, and the two lanes look alike
    for (const QRect& box : {boxA, boxB})
        EXPECT_EQ(all.pixel(box.center()), foul.pixel(box.center())) << box.y();
    EXPECT_EQ(all.copy(boxA), all.copy(boxB));
}

// Two pictures alike but for what anti-aliasing and decoding may change: no channel of any
// pixel differs by more than a few steps.
void expectAlike(const QImage& got, const QImage& expected, const char* what)
{
    EXPECT_EQ(imageMismatch(expected.convertToFormat(QImage::Format_RGB32), got.convertToFormat(QImage::Format_RGB32),
                            {.edgeChannel = 3, .flatChannel = 3}),
              "")
        << what;
}

QImage committedPicture(const char* file)
{
    const QImage image(QStringLiteral(QUORVEL_SOURCE_DIR "/assets/") + QLatin1String(file));
    EXPECT_FALSE(image.isNull()) << file;
    return image.convertToFormat(QImage::Format_RGB32);
}

TEST_F(RenderTest, TheStripAndTheBoardOnScreenAreTheCommittedPictures)
{
    // the strip as drawn: its first 1629 columns fill the top of the window
    hideRaceDisplay();
    screen.show(El::imgFundo);
    expectAlike(render().copy(0, 0, 1629, 104), committedPicture("strip.png").copy(0, 0, 1629, 104), "strip");

    // the board's background, drawn from the board panel's corner (0, 2) in its box's height
    screen.hide(El::pnlGeral);
    screen.hide(El::pnlTempos);
    screen.show(El::pnlClass);
    screen.show(El::imgFundoClass);
    const QRect box = screen.windowRect(El::imgFundoClass);
    const int height = std::min(box.height(), screen.element(El::pnlClass).box.height());
    expectAlike(render().copy(box.left(), box.top(), 1320, height),
                committedPicture("board.png").copy(0, 0, 1320, height), "board");
}

TEST_F(RenderTest, EveryLampOnScreenIsItsCommittedPicture)
{
    const struct {
        El e;
        const char* file;
    } lamps[] = {
        {El::imgPreA, "lamp_prestage.png"},  {El::imgStageA, "lamp_stage.png"},
        {El::imgStartA, "lamp_green.png"},   {El::imgDesclaA, "lamp_disqualified.png"},
        {El::imgGanhouA, "lamp_winner.png"}, {El::imgQueA, "lamp_foul.png"},
        {El::imgPreB, "lamp_prestage.png"},  {El::imgStageB, "lamp_stage.png"},
        {El::imgStartB, "lamp_green.png"},   {El::imgDesclaB, "lamp_disqualified.png"},
        {El::imgGanhouB, "lamp_winner.png"}, {El::imgQueB, "lamp_foul.png"},
    };
    for (const auto& lamp : lamps) {
        const QImage committed = committedPicture(lamp.file);
        expectAlike(screen.element(lamp.e).picture, committed, lamp.file);
        // drawn in its 32 x 32 box on magenta: where the picture is not its key colour
        // (its bottom-left pixel), the box shows the picture's own colours, sampled
        hideRaceDisplay();
        screen.show(lamp.e);
        const QImage image = render();
        const QRect box = screen.windowRect(lamp.e);
        const QImage sampled = committed.scaled(box.size(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
        const QRgb key = committed.pixel(0, committed.height() - 1);
        int alike = 0;
        int drawn = 0;
        for (int y = 0; y < box.height(); ++y)
            for (int x = 0; x < box.width(); ++x) {
                const QRgb want = sampled.pixel(x, y);
                if (want == key)
                    continue;
                ++drawn;
                alike += image.pixel(box.left() + x, box.top() + y) == want ? 1 : 0;
            }
        EXPECT_GT(drawn, 100) << lamp.file;
        // sampling may pick a neighbouring row or column at the disc's edge
        EXPECT_GT(alike, drawn * 9 / 10) << lamp.file << " " << alike << " of " << drawn;
        screen.hide(lamp.e);
    }
}

} // namespace

// The graphics every keyed view takes (the program output on an opaque key colour, the
// feed with alpha) from the one function both call: a cover panel is part of the picture,
// standing in the key colour over the pilot's photo and the log, and the photo beside it
// is drawn.
class CoverPanelTest : public ::testing::TestWithParam<QRgb> { };

TEST_P(CoverPanelTest, CoverPanelsStandInTheKeyColourOverWhatLiesUnderThem)
{
    const QRgb key = GetParam(), blue = qRgb(0, 0, 200);
    Screen screen;
    screen.setTextMeasure(rendererTextMeasure());
    QImage photo(89, 96, QImage::Format_RGB32);
    photo.fill(blue);
    screen.setPicture(El::fotoPilotoA, photo);
    screen.show(El::fotoPilotoA);
    Renderer renderer;
    const QRect client(0, 0, screen.clientWidth(), screen.clientHeight());
    const auto pixel = [&](const QImage& image, int x, int y) { return qUnpremultiply(image.pixel(x, y)); };
    EXPECT_EQ(pixel(renderer.renderGraphics(screen, client, key), 300, 200), blue);

    screen.show(El::pnlEscondeA);
    screen.show(El::pnlEscondeB);
    const QImage covered = renderer.renderGraphics(screen, client, key);
    ASSERT_EQ(covered.size(), client.size());
    EXPECT_EQ(pixel(covered, 300, 200), key); // the photo's left edge, under pnlEscondeA
    EXPECT_EQ(pixel(covered, 345, 200), blue); // right of the panel
    const QRect coverB = screen.windowRect(El::pnlEscondeB);
    int notKey = 0;
    for (int y = coverB.top(); y <= coverB.bottom(); ++y)
        for (int x = coverB.left(); x <= coverB.right(); ++x)
            notKey += pixel(covered, x, y) != key;
    EXPECT_EQ(notKey, 0);
}

INSTANTIATE_TEST_SUITE_P(ProgramOutputAndFeed, CoverPanelTest, ::testing::Values(qRgb(0, 255, 0), kTransparentKey),
                         [](const ::testing::TestParamInfo<QRgb>& info) {
                             return std::string(qAlpha(info.param) == 255 ? "OnAKeyColour" : "WithAlpha");
                         });
