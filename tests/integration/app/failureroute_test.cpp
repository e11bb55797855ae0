#include "appfixture.h"

#include "base/failure.h"

using namespace quorvel;
using overlay::El;

TEST_F(AppFixture, AFailureThatEscapesAHandlerReachesMLogAndTheLoopGoesOn)
{
    startForm();
    Timer failing("failing", 20);
    int ticks = 0;
    failing.setOnTick(app.guardedHandler([&] {
        ++ticks;
        throw Failure("first line\r\nsecond line");
    }));
    failing.start();
    ASSERT_TRUE(waitUntil([&] { return ticks >= 3; }, 3000)) << "the loop stopped after a failure";
    failing.stop();
    const TextList log = lines(El::mLog);
    // One write that holds a line break shows as two lines.
    const qsizetype at = log.indexOf("first line");
    ASSERT_GE(at, 0);
    EXPECT_EQ(log.value(at + 1), "second line");
}

TEST_F(AppFixture, AnErrorEndsTheChunkAtItsItemAndTheNextChunkIsApplied)
{
    startForm();
    QTcpSocket* timingServer = acceptConnection();
    ASSERT_NE(timingServer, nullptr);
    readUntil(timingServer, 17);
    send(timingServer, "RA:0.111@cod_pilotoA:abc@RB:0.222");
    // The failure ends the chunk's handler, so once it is logged the chunk is done with.
    ASSERT_TRUE(applied([&] { return contains(El::mLog, "'abc' is not a valid integer value"); }))
        << lines(El::mLog).join('\n').constData();
    EXPECT_EQ(form->screen().text(El::lblReaA), "0.111");
    EXPECT_EQ(form->screen().text(El::lblReaB), "") << "items after the failing one are not applied";
    send(timingServer, "RB:0.333");
    EXPECT_TRUE(applied([&] { return form->screen().text(El::lblReaB) == "0.333"; }));
}
