#include "appfixture.h"

#include <QApplication>

using namespace quorvel;
using overlay::El;

namespace {

QWidget* programOutputWindow()
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() == QLatin1String("programOutput"))
            return w;
    }
    return nullptr;
}

} // namespace

TEST_F(AppFixture, AProgramOutputWhoseScreenIsMissingIsSaidOnceInMLogAndTheWindowGoesOn)
{
    config.programOutput.screen = QStringLiteral("HDMI-9");
    startForm();
    const Text line("Program output: screen HDMI-9 is not there; waiting for it");
    ASSERT_TRUE(waitUntil([&] { return contains(El::mLog, line); }));
    runEventsFor(300);
    EXPECT_EQ(count(El::mLog, line), 1);
    EXPECT_TRUE(form->view().isVisible());
    ASSERT_NE(programOutputWindow(), nullptr);
    EXPECT_FALSE(programOutputWindow()->isVisible());
}

TEST_F(AppFixture, WithoutAProgramOutputThereIsNoSecondWindowAndNoWordOfIt)
{
    startForm();
    runEventsFor(300);
    EXPECT_EQ(programOutputWindow(), nullptr);
    for (const Text& line : lines(El::mLog))
        EXPECT_FALSE(line.startsWith("Program output")) << line.constData();
}
