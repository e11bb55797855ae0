#include "base/config.h"
#include "overlay/fonts.h"
#include "overlay/renderer.h"
#include "views/memowidget.h"
#include "views/view.h"
#include "wait.h"

#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QListWidget>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QWheelEvent>
#include <gtest/gtest.h>

#include <vector>

using namespace quorvel;
using namespace quorvel::overlay;

namespace {

// Records the rectangles a widget is asked to paint.
class PaintSpy : public QObject {
public:
    explicit PaintSpy(QWidget* widget) { widget->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            painted += static_cast<QPaintEvent*>(event)->region();
        return false;
    }
    QRegion painted;
};

class ViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        view.onClick = [this](El e) { clicks.push_back(e); };
        view.onDoubleClick = [this](El e) { doubleClicks.push_back(e); };
        view.onFirstPaint = [this] { ++firstPaints; };
    }

    template <class W> W* find(const char* name) { return view.findChild<W*>(QLatin1String(name)); }

    void showAndWait()
    {
        view.show();
        ASSERT_TRUE(waitUntil([this] { return firstPaints > 0; }));
    }

    // Mouse input as the window system delivers it: to the panel under the pointer.
    void mouse(QEvent::Type type, QPoint at)
    {
        QWidget* target = view.childAt(at);
        if (!target)
            target = &view;
        const QPoint local = target->mapFrom(&view, at);
        const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, QPointF(local), QPointF(view.mapToGlobal(at)), Qt::LeftButton, held, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &event);
    }
    void click(QPoint press, QPoint release)
    {
        mouse(QEvent::MouseButtonPress, press);
        mouse(QEvent::MouseButtonRelease, release);
    }

    Screen screen;
    View view{screen};
    std::vector<El> clicks;
    std::vector<El> doubleClicks;
    int firstPaints = 0;
};

TEST_F(ViewTest, IsAFixedDialogWindowWithTheModelsClientArea)
{
    EXPECT_EQ(view.windowTitle(), QStringLiteral("VYD - Quorvel V3"));
    const Qt::WindowFlags flags = view.windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowTitleHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(view.size(), QSize(1629, 551));
    EXPECT_EQ(view.minimumSize(), view.maximumSize());

    showAndWait();
    runEventsFor(50);
    EXPECT_EQ(firstPaints, 1);
    const QPoint corner = view.pos();
    screen.setClientHeight(104);
    EXPECT_EQ(view.size(), QSize(1629, 104));
    EXPECT_EQ(view.pos(), corner);

    bool closed = false;
    view.onClose = [&closed] { closed = true; };
    view.close();
    EXPECT_TRUE(closed);
}

TEST_F(ViewTest, TheWindowShowsWhatTheRendererDraws)
{
    showAndWait();
    screen.setText(El::lblPilotoA, "ANA & BIA");
    screen.show(El::imgStartB);
    screen.hide(El::imgQueB);
    runEventsFor(50);
    const QImage live = view.grab(QRect(0, 0, 1629, 104)).toImage().convertToFormat(QImage::Format_RGB32);
    const QImage offscreen = renderScreen(screen, QRect(0, 0, 1629, 104));
    EXPECT_EQ(live, offscreen);
}

TEST_F(ViewTest, AChangeRepaintsOnlyTheElementsBoxes)
{
    showAndWait();
    runEventsFor(50);
    PaintSpy spy(find<QWidget>("pnlTempos"));
    const QRect before = screen.element(El::lblVeiculoB).box;
    screen.setText(El::lblVeiculoB, "# 77 UM CARRO DE NOME BEM MAIS COMPRIDO");
    const QRect after = screen.element(El::lblVeiculoB).box;
    ASSERT_TRUE(waitUntil([&spy] { return !spy.painted.isEmpty(); }));
    runEventsFor(20);
    EXPECT_NE(before, after);
    // nothing outside the old and new boxes is painted again, all of the new one is
    EXPECT_TRUE((spy.painted - QRegion(before | after)).isEmpty());
    EXPECT_TRUE((QRegion(after) - spy.painted).isEmpty());
}

TEST_F(ViewTest, OperatorWidgetsFollowTheModel)
{
    showAndWait();
    auto* memo = find<QWidget>("mLog");
    auto* list1 = find<QListWidget>("ListBox1");
    auto* list2 = find<QListWidget>("ListBox2");
    auto* camera = find<QCheckBox>("ckCameraPos");
    ASSERT_TRUE(memo && list1 && list2 && camera);
    EXPECT_EQ(camera->text(), QStringLiteral("Camera Pos-Voreradizi "));
    EXPECT_TRUE(memo->isVisible());
    EXPECT_FALSE(list2->isVisible());

    // the operator's tick goes into the model
    camera->click();
    EXPECT_TRUE(screen.checked(El::ckCameraPos));
    screen.setChecked(El::ckCameraPos, false);
    EXPECT_FALSE(camera->isChecked());

    screen.replaceItems(El::ListBox1, {"a:1", "b:2"});
    ASSERT_EQ(list1->count(), 2);
    EXPECT_EQ(list1->item(1)->text(), QStringLiteral("b:2"));
    EXPECT_EQ(list1->visualItemRect(list1->item(1)).height(), 13);

    // a hidden list keeps its items and shows them once shown; below pnlTempos it is unseen
    screen.replaceItems(El::ListBox2, {"x", "y", "z"});
    screen.show(El::ListBox2);
    EXPECT_EQ(list2->count(), 3);
    EXPECT_TRUE(list2->isVisible());
    EXPECT_TRUE(list2->visibleRegion().isEmpty());

    for (El e : {El::ckCameraPos, El::ListBox2, El::Memo1, El::ListBox1, El::mLog})
        screen.hide(e);
    EXPECT_FALSE(memo->isVisible() || list1->isVisible() || camera->isVisible());
}

TEST_F(ViewTest, MemosShowTheirLastLinesAndCoverPanelsLieOverThem)
{
    showAndWait();
    for (int i = 0; i < 200; ++i)
        screen.appendLine(El::Memo1, "linha " + QByteArray::number(i));
    screen.show(El::pnlEscondeB);
    runEventsFor(50);
    const QImage live = view.grab().toImage();
    if (const QByteArray dir = qgetenv("QUORVEL_RENDER_DIR"); !dir.isEmpty())
        live.save(QString::fromLocal8Bit(dir) + QStringLiteral("/live_window.png"));
    // the cover panel (magenta) hides the memo from x 1025; the memo shows left of it
    EXPECT_EQ(live.pixel(1100, 350) & RGB_MASK, qRgb(255, 0, 255) & RGB_MASK);
    EXPECT_EQ(live.pixel(1000, 330) & RGB_MASK, qRgb(255, 255, 255) & RGB_MASK);
    // scrolled to the end: the last line is drawn at the memo's bottom
    const QRect memo = screen.windowRect(El::Memo1);
    int inkBottom = 0;
    for (int y = memo.top(); y < memo.bottom(); ++y)
        for (int x = memo.left() + 3; x < 1020; ++x)
            if (qGray(live.pixel(x, y)) < 100)
                inkBottom = y;
    EXPECT_GT(inkBottom, memo.bottom() - 20);
}

TEST_F(ViewTest, TheOperatorMayTypeIntoAMemoWithoutChangingTheLog)
{
    showAndWait();
    auto* memo = find<MemoWidget>("mLog");
    ASSERT_TRUE(memo);
    for (const QString& key : {QStringLiteral("o"), QStringLiteral("l"), QStringLiteral("\u00e1")}) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, key);
        QCoreApplication::sendEvent(memo, &press);
    }
    QKeyEvent back(QEvent::KeyPress, Qt::Key_Backspace, Qt::NoModifier);
    QCoreApplication::sendEvent(memo, &back);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    QCoreApplication::sendEvent(memo, &enter);
    EXPECT_EQ(memo->typed(), Text("ol\r\n"));
    EXPECT_EQ(screen.lastLines(El::mLog, 5), TextList{"mLog"});
}

TEST_F(ViewTest, ClicksGoToTheTopmostLabelOrPicture)
{
    showAndWait();
    screen.setText(El::lblPilotoA, "");

    click({10, 5}, {10, 5}); // header band
    click({20, 20}, {1600, 100}); // released elsewhere inside the strip
    click({20, 20}, {20, 200}); // released outside it: no click
    click({300, 40}, {300, 40}); // an empty label takes it
    click({700, 350}, {700, 350}); // a memo is no label or picture
    EXPECT_EQ(clicks, (std::vector<El>{El::imgFundo, El::imgFundo, El::lblPilotoA}));
    EXPECT_TRUE(doubleClicks.empty());

    // a double click: a click after the first release, a double click on the second press
    clicks.clear();
    mouse(QEvent::MouseButtonPress, {10, 5});
    mouse(QEvent::MouseButtonRelease, {10, 5});
    EXPECT_EQ(clicks, std::vector<El>{El::imgFundo});
    mouse(QEvent::MouseButtonDblClick, {10, 5});
    mouse(QEvent::MouseButtonRelease, {10, 5});
    EXPECT_EQ(clicks, std::vector<El>{El::imgFundo});
    EXPECT_EQ(doubleClicks, std::vector<El>{El::imgFundo});
}

// The installer reads the logs back: a memo scrolled back or being selected in holds
// still while lines arrive; brought back to its end it follows them again.
TEST_F(ViewTest, AMemoScrolledBackHoldsStillAndFollowsAgainAtItsEnd)
{
    showAndWait();
    auto* memo = find<MemoWidget>("Memo1");
    ASSERT_TRUE(memo);
    for (int i = 0; i < 100; ++i)
        screen.appendLine(El::Memo1, "linha " + QByteArray::number(i));
    runEventsFor(20);
    ASSERT_TRUE(memo->following());

    QWheelEvent up(QPointF(20, 20), QPointF(memo->mapToGlobal(QPoint(20, 20))), QPoint(), QPoint(0, 240), Qt::NoButton,
                   Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(memo, &up);
    EXPECT_FALSE(memo->following());
    runEventsFor(20);
    const QImage back = memo->grab().toImage();
    for (int i = 100; i < 110; ++i)
        screen.appendLine(El::Memo1, "linha " + QByteArray::number(i));
    runEventsFor(20);
    EXPECT_EQ(memo->grab().toImage(), back);

    // back at the end it shows, and then follows, the newest lines
    QKeyEvent end(QEvent::KeyPress, Qt::Key_End, Qt::ControlModifier);
    QCoreApplication::sendEvent(memo, &end);
    EXPECT_TRUE(memo->following());
    runEventsFor(20);
    const QImage atEnd = memo->grab().toImage();
    EXPECT_NE(atEnd, back);
    screen.appendLine(El::Memo1, "linha 110");
    runEventsFor(20);
    EXPECT_NE(memo->grab().toImage(), atEnd);
}

TEST_F(ViewTest, TheMouseSelectsLinesOfAMemoAndCtrlCCopiesThem)
{
    showAndWait();
    auto* memo = find<MemoWidget>("mLog");
    ASSERT_TRUE(memo);
    screen.appendLine(El::mLog, "primeira linha");
    screen.appendLine(El::mLog, "segunda linha");
    runEventsFor(20);
    memo->grab(); // painted: presses are placed in what was drawn

    // rows of the window font from the top of the text area (border 2, padding 1)
    const int row = resolvedFont(screen.element(El::mLog).font).lineHeight;
    const auto at = [&](int x, int r) { return QPointF(x, 3 + r * row + row / 2); };
    const auto send = [&](QEvent::Type type, QPointF where, Qt::MouseButtons held) {
        QMouseEvent event(type, where, memo->mapToGlobal(where), Qt::LeftButton, held, Qt::NoModifier);
        QCoreApplication::sendEvent(memo, &event);
    };
    // from left of the second row's text to past the end of the third
    send(QEvent::MouseButtonPress, at(1, 1), Qt::LeftButton);
    send(QEvent::MouseMove, at(200, 1), Qt::LeftButton);
    EXPECT_FALSE(memo->following()); // held while selecting
    send(QEvent::MouseMove, at(260, 2), Qt::LeftButton);
    send(QEvent::MouseButtonRelease, at(260, 2), Qt::NoButton);
    EXPECT_EQ(memo->selectedText(), Text("primeira linha\nsegunda linha"));

    QKeyEvent copy(QEvent::KeyPress, Qt::Key_C, Qt::ControlModifier, QStringLiteral("\x03"));
    QCoreApplication::sendEvent(memo, &copy);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("primeira linha\nsegunda linha"));
    EXPECT_TRUE(memo->typed().isEmpty()); // a copy types nothing

    // part of one line
    send(QEvent::MouseButtonPress, at(1, 0), Qt::LeftButton);
    const qreal mL = resolvedFont(screen.element(El::mLog).font).metrics.horizontalAdvance(QStringLiteral("mL"));
    send(QEvent::MouseButtonRelease, at(4 + qRound(mL), 0), Qt::NoButton);
    EXPECT_EQ(memo->selectedText(), Text("mL"));

    // a plain click at the end selects nothing and lets the memo follow again
    send(QEvent::MouseButtonPress, at(1, 0), Qt::LeftButton);
    send(QEvent::MouseButtonRelease, at(1, 0), Qt::NoButton);
    EXPECT_TRUE(memo->selectedText().isEmpty());
    EXPECT_TRUE(memo->following());
}

// A plain click selects nothing, so it never pins a memo that was following, however many
// lines came while the button was down; one scrolled back stays where it was.
TEST_F(ViewTest, APlainClickLeavesAFollowingMemoFollowingWhileLinesArrive)
{
    showAndWait();
    for (El e : {El::mLog, El::Memo1}) {
        SCOPED_TRACE(elementName(e));
        auto* memo = find<MemoWidget>(elementName(e));
        ASSERT_TRUE(memo);
        for (int i = 0; i < 40; ++i)
            screen.appendLine(e, "linha " + QByteArray::number(i));
        runEventsFor(20);
        memo->grab();
        ASSERT_TRUE(memo->following());
        const QPointF at(30, 10);
        const auto send = [&](QEvent::Type type, Qt::MouseButtons held) {
            QMouseEvent event(type, at, memo->mapToGlobal(at), Qt::LeftButton, held, Qt::NoModifier);
            QCoreApplication::sendEvent(memo, &event);
        };
        send(QEvent::MouseButtonPress, Qt::LeftButton);
        for (int i = 40; i < 45; ++i)
            screen.appendLine(e, "linha " + QByteArray::number(i));
        runEventsFor(20);
        send(QEvent::MouseButtonRelease, Qt::NoButton);
        EXPECT_TRUE(memo->selectedText().isEmpty());
        EXPECT_TRUE(memo->following());
        // what follows shows: the memo's picture changes with the next line
        runEventsFor(20);
        const QImage before = memo->grab().toImage();
        screen.appendLine(e, "linha 45");
        runEventsFor(20);
        EXPECT_NE(memo->grab().toImage(), before);

        // scrolled back, a plain click leaves it there
        QKeyEvent up(QEvent::KeyPress, Qt::Key_PageUp, Qt::NoModifier);
        QCoreApplication::sendEvent(memo, &up);
        ASSERT_FALSE(memo->following());
        send(QEvent::MouseButtonPress, Qt::LeftButton);
        screen.appendLine(e, "linha 46");
        send(QEvent::MouseButtonRelease, Qt::NoButton);
        EXPECT_FALSE(memo->following());
        QKeyEvent end(QEvent::KeyPress, Qt::Key_End, Qt::ControlModifier);
        QCoreApplication::sendEvent(memo, &end);
    }
}

} // namespace
