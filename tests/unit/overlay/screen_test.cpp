#include "base/failure.h"
#include "overlay/fonts.h"
#include "overlay/labellayout.h"
#include "overlay/renderer.h"
#include "overlay/screen.h"

#include <gtest/gtest.h>

#include <vector>

using namespace quorvel;
using namespace quorvel::overlay;

namespace {

struct Notice {
    El e;
    QRect before;
    bool operator==(const Notice&) const = default;
};

class Recorder : public ScreenObserver {
public:
    void elementChanged(El e, const QRect& before) override { notices.push_back({e, before}); }
    void clientHeightChanged(int height) override { heights.push_back(height); }
    std::vector<Notice> notices;
    std::vector<int> heights;
};

class ScreenTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        screen.setTextMeasure(rendererTextMeasure());
        screen.setObserver(&recorder);
    }
    QSize measured(El e, const Text& text) const { return measureLabel(text, resolvedFont(screen.element(e).font)); }
    Screen screen;
    Recorder recorder;
};

TEST_F(ScreenTest, ChangesNotifyWithTheBoxBeforeAndRepeatsDoNot)
{
    const QRect pilot = screen.element(El::lblPilotoA).box;
    screen.hide(El::lblPilotoA);
    screen.hide(El::lblPilotoA);
    screen.setText(El::lblPilotoA, "JOAO");
    screen.setText(El::lblPilotoA, "JOAO");
    screen.setText(El::lblPilotoA, "");
    screen.setChecked(El::ckCameraPos, true);
    screen.setChecked(El::ckCameraPos, true);
    screen.clearPicture(El::fotoPilotoA); // it has none
    screen.setClientHeight(104);
    screen.setClientHeight(104);

    const std::vector<Notice> expected{{El::lblPilotoA, pilot},
                                       {El::lblPilotoA, pilot},
                                       {El::lblPilotoA, pilot},
                                       {El::ckCameraPos, {175, 109, 244, 19}}};
    EXPECT_EQ(recorder.notices, expected);
    EXPECT_EQ(recorder.heights, std::vector<int>{104});
    EXPECT_FALSE(screen.visible(El::lblPilotoA));
    EXPECT_EQ(screen.text(El::lblPilotoA), Text(""));
    EXPECT_TRUE(screen.checked(El::ckCameraPos));
    EXPECT_EQ(screen.clientHeight(), 104);
    EXPECT_EQ(screen.element(El::lblPilotoA).box, pilot); // not auto-sized: the box stays
}

// Further views of the model (the program output, the feed) hear every change the window
// hears, with the same box before, each after the window in the order they were added,
// until they are removed.
TEST_F(ScreenTest, FurtherObserversHearWhatTheWindowHearsAfterItUntilRemoved)
{
    std::vector<int> order;
    struct Tagged : Recorder {
        Tagged(std::vector<int>& o, int t)
            : order(o)
            , tag(t)
        {
        }
        void elementChanged(El e, const QRect& before) override
        {
            order.push_back(tag);
            Recorder::elementChanged(e, before);
        }
        void clientHeightChanged(int height) override
        {
            order.push_back(tag);
            Recorder::clientHeightChanged(height);
        }
        std::vector<int>& order;
        int tag;
    };
    Tagged window(order, 0), feed(order, 1), output(order, 2);
    screen.setObserver(&window);
    screen.addObserver(&feed);
    screen.addObserver(&output);

    screen.setText(El::lblPosA, "1");
    screen.setClientHeight(104);
    screen.removeObserver(&feed);
    screen.hide(El::lblPosA);
    screen.setText(El::lblPosA, "1"); // no change, no notice
    screen.setClientHeight(551);

    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 0, 1, 2, 0, 2, 0, 2}));
    ASSERT_EQ(window.notices.size(), 2u);
    EXPECT_EQ(output.notices, window.notices);
    EXPECT_EQ(output.heights, (std::vector<int>{104, 551}));
    EXPECT_EQ(window.heights, output.heights);
    EXPECT_EQ(feed.notices, std::vector<Notice>{window.notices[0]});
    EXPECT_EQ(feed.heights, std::vector<int>{104});
}

struct Growth {
    El e;
    const char* text;
    enum Edge { LeftKept, RightKept } kept;
};

TEST_F(ScreenTest, AutoSizeLabelsGrowFromTheEdgeTheirAlignmentKeeps)
{
    const Growth cases[] = {
        {El::lblDFim, "TOTAL GERAL DA PROVA", Growth::RightKept}, // taRightJustify grows left
        {El::lblERT, "", Growth::RightKept}, // shrinks to one blank
        {El::lblVeiculoB, "# 123 CARRO MUITO COMPRIDO + OFICINA", Growth::LeftKept},
        {El::lblHora, "09/12/25 | 14:05", Growth::LeftKept}, // centred, yet grows to the right
        {El::lblNumA, "", Growth::LeftKept},
    };
    for (const Growth& c : cases) {
        SCOPED_TRACE(elementName(c.e));
        const QRect before = screen.element(c.e).box;
        recorder.notices.clear();
        screen.setText(c.e, c.text);
        const QRect after = screen.element(c.e).box;

        const Text measuredText = *c.text ? Text(c.text) : Text(" ");
        EXPECT_EQ(after.size(), measured(c.e, measuredText));
        if (c.kept == Growth::RightKept)
            EXPECT_EQ(after.left() + after.width(), before.left() + before.width());
        else
            EXPECT_EQ(after.left(), before.left());
        EXPECT_EQ(after.top(), before.top());
        ASSERT_EQ(recorder.notices.size(), 1u);
        EXPECT_EQ(recorder.notices[0], (Notice{c.e, before}));
    }
    // the right-aligned legends of lane B keep their right edges at 1312 after start-up
    for (El e : {El::lblDRT, El::lblD60pes, El::lblDFim})
        EXPECT_EQ(screen.element(e).box.right() + 1, 1312) << elementName(e);
    EXPECT_GT(screen.element(El::lblERT).box.width(), 0);
    EXPECT_EQ(screen.element(El::lblERT).box.height(), resolvedFont(screen.element(El::lblERT).font).lineHeight);
}

TEST_F(ScreenTest, ListsHoldTheirItemsAndRefuseAnIndexOutside)
{
    screen.hide(El::ListBox2);
    screen.replaceItems(El::ListBox2, {"tempo:1", "", "x"});
    EXPECT_EQ(screen.itemCount(El::ListBox2), 3);
    EXPECT_EQ(screen.item(El::ListBox2, 0), Text("tempo:1"));
    EXPECT_EQ(screen.item(El::ListBox2, 2), Text("x"));

    const struct {
        El list;
        int index;
        const char* message;
    } outside[] = {
        {El::ListBox2, 3, "List index out of bounds (3)"},
        {El::ListBox2, -1, "List index out of bounds (-1)"},
        {El::ListBox1, 0, "List index out of bounds (0)"},
    };
    for (const auto& c : outside) {
        try {
            screen.item(c.list, c.index);
            ADD_FAILURE() << "no failure for index " << c.index;
        } catch (const Failure& failure) {
            EXPECT_EQ(failure.message(), Text(c.message));
        }
    }
}

TEST_F(ScreenTest, PlacesInTheWindowAndShowingThroughParents)
{
    EXPECT_EQ(screen.windowRect(El::lblClassPil01), QRect(78, 110, 133, 19)); // pnlClass starts at 0, 2
    EXPECT_EQ(screen.windowRect(El::lblPilotoA), QRect(227, 31, 290, 22));
    screen.show(El::lblClassCat);
    EXPECT_FALSE(screen.isShowing(El::lblClassCat)); // pnlClass is hidden
    screen.show(El::pnlClass);
    EXPECT_TRUE(screen.isShowing(El::lblClassCat));
    screen.hide(El::pnlTempos);
    EXPECT_FALSE(screen.isShowing(El::lblPilotoA));
    EXPECT_TRUE(screen.visible(El::lblPilotoA)); // it keeps its own state
}

TEST_F(ScreenTest, PicturesAndTheAutoSizedStrip)
{
    QImage photo(60, 40, QImage::Format_RGB32);
    photo.fill(Qt::red);
    screen.setPicture(El::fotoPilotoA, photo);
    EXPECT_EQ(screen.element(El::fotoPilotoA).box, QRect(298, 181, 89, 96)); // the box stays
    screen.clearPicture(El::fotoPilotoA);
    EXPECT_TRUE(screen.element(El::fotoPilotoA).picture.isNull());

    screen.setPicture(El::imgFundo, photo);
    EXPECT_EQ(screen.element(El::imgFundo).box, QRect(0, 0, 60, 40)); // takes the picture's size
}

TEST_F(ScreenTest, MemosTakeLinesWhileHidden)
{
    screen.hide(El::mLog);
    recorder.notices.clear();
    screen.appendLine(El::mLog, "SEM SERVIDOR");
    screen.appendLine(El::mLog, "SEM SERVIDOR"); // a repeated line is a new line
    EXPECT_EQ(screen.lastLines(El::mLog, 10), (TextList{"mLog", "SEM SERVIDOR", "SEM SERVIDOR"}));
    EXPECT_EQ(recorder.notices.size(), 2u);
}

} // namespace
