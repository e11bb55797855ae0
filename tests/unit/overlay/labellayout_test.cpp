#include "overlay/labellayout.h"
#include "overlay/layout.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <gtest/gtest.h>

#include <cmath>

using namespace quorvel;
using namespace quorvel::overlay;

namespace {

class LabelLayoutTest : public ::testing::Test {
protected:
    const ResolvedFont& font = resolvedFont({kLabelFace, 17, true, kWhite});
    const QRect box{10, 20, 100, 22};

    int width(const QString& s) const { return int(std::ceil(font.metrics.horizontalAdvance(s))); }
    qreal advance(const QString& s) const { return font.metrics.horizontalAdvance(s); }
};

TEST_F(LabelLayoutTest, AlignsEachLineInTheBoxWidthFromTheTop)
{
    const struct {
        Alignment alignment;
        int left;
    } cases[] = {
        {Alignment::Left, 10},
        {Alignment::Center, 10 + (100 - width(QStringLiteral("ABC"))) / 2},
        {Alignment::RightJustify, 110 - width(QStringLiteral("ABC"))},
    };
    for (const auto& c : cases) {
        const LabelLayout layout = layoutLabel("ABC", font, box, c.alignment);
        ASSERT_EQ(layout.runs.size(), 1);
        EXPECT_EQ(layout.runs[0].text, QStringLiteral("ABC"));
        EXPECT_EQ(layout.runs[0].origin, QPointF(c.left, 20 + font.ascent));
    }
    // a text wider than the box starts left of it when centred: both ends fall outside
    const LabelLayout wide = layoutLabel(Text(40, 'W'), font, box, Alignment::Center);
    EXPECT_LT(wide.runs[0].origin.x(), 10);
    EXPECT_GT(wide.runs[0].origin.x() + advance(QString(40, u'W')), 110);
}

TEST_F(LabelLayoutTest, LinesBreakAtCrLfCrAndLf)
{
    const LabelLayout layout = layoutLabel("A\r\nB\rC\nD\n", font, box, Alignment::Left);
    ASSERT_EQ(layout.runs.size(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(layout.runs[i].text, QString(QChar(u'A' + i)));
        EXPECT_EQ(layout.runs[i].origin.y(), 20 + font.ascent + i * font.lineHeight);
    }
    EXPECT_EQ(layout.extent.height(), 5 * font.lineHeight); // the empty last line counts
}

TEST_F(LabelLayoutTest, AmpersandsUnderlineTheNextCharacterOrDrawOne)
{
    const LabelLayout one = layoutLabel("A&B", font, box, Alignment::Left);
    ASSERT_EQ(one.runs.size(), 1);
    EXPECT_EQ(one.runs[0].text, QStringLiteral("AB"));
    ASSERT_EQ(one.underlines.size(), 1);
    EXPECT_NEAR(one.underlines[0].left(), 10 + advance(QStringLiteral("A")), 0.01);
    EXPECT_NEAR(one.underlines[0].width(), advance(QStringLiteral("AB")) - advance(QStringLiteral("A")), 0.01);
    EXPECT_GT(one.underlines[0].top(), 20 + font.ascent - 1); // below the baseline

    const LabelLayout two = layoutLabel("A&&B", font, box, Alignment::Left);
    EXPECT_EQ(two.runs[0].text, QStringLiteral("A&B"));
    EXPECT_TRUE(two.underlines.isEmpty());

    EXPECT_EQ(layoutLabel("A&", font, box, Alignment::Left).runs[0].text, QStringLiteral("A"));
    EXPECT_EQ(measureLabel("A&&B", font).width(), width(QStringLiteral("A&B")));
}

TEST_F(LabelLayoutTest, TabsAdvanceToTheNextStop)
{
    const LabelLayout layout = layoutLabel("A\tB\t\tC", font, box, Alignment::Left);
    ASSERT_EQ(layout.runs.size(), 3);
    EXPECT_EQ(layout.runs[0].origin.x(), 10);
    EXPECT_NEAR(layout.runs[1].origin.x(), 10 + font.tabWidth, 0.01);
    EXPECT_NEAR(layout.runs[2].origin.x(), 10 + 3 * font.tabWidth, 0.01);
    EXPECT_GT(font.tabWidth, 0);
}

TEST_F(LabelLayoutTest, TextsAreWindows1252)
{
    EXPECT_EQ(layoutLabel("00\xBA", font, box, Alignment::Left).runs[0].text, QStringLiteral("00\u00BA"));
    EXPECT_EQ(layoutLabel("\x80 REA\xC7\xC3O", font, box, Alignment::Left).runs[0].text,
              QStringLiteral("\u20AC REA\u00C7\u00C3O"));
}

TEST_F(LabelLayoutTest, MeasuresTheWidestLineByTheLinesHeight)
{
    EXPECT_EQ(measureLabel("A\r\nWWWW", font), QSize(width(QStringLiteral("WWWW")), 2 * font.lineHeight));
    EXPECT_EQ(measureLabel("", font), QSize(0, font.lineHeight));
    EXPECT_GT(measureLabel(" ", font).width(), 0);
}

TEST(Fonts, StandInsForMissingFaces)
{
    const ResolvedFont& regular = resolvedFont({kLabelFace, 15, false, kWhite});
    const ResolvedFont& bold = resolvedFont({kLabelFace, 15, true, kWhite});
    const ResolvedFont& window = windowFont();
    EXPECT_EQ(regular.font.pixelSize(), 15);
    if (!QFontDatabase::hasFamily(QLatin1String(kLabelFace))) {
        EXPECT_EQ(QFontInfo(regular.font).family(), QStringLiteral("League Spartan"));
        EXPECT_EQ(regular.font.weight(), QFont::Medium);
        EXPECT_EQ(bold.font.weight(), QFont::Bold);
    }
    if (!QFontDatabase::hasFamily(QLatin1String(kWindowFace))) {
        EXPECT_EQ(QFontInfo(window.font).family(), QStringLiteral("DejaVu Sans"));
    }
    EXPECT_EQ(window.font.pixelSize(), 11);
    EXPECT_EQ(&resolvedFont({kLabelFace, 15, false, kOffWhite}), &regular); // cached, colour aside
}

} // namespace
