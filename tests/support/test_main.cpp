#include <QApplication>
#include <gtest/gtest.h>

// Every test program gets one application object, so tests can run the event loop,
// render offscreen and use sockets the way the overlay does.
int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
