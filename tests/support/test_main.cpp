#include "views/devicescale.h"

#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// Every test program gets one application object, so tests can run the event loop,
// render offscreen and use sockets the way the overlay does.
int main(int argc, char** argv)
{
    // Every test program has a lock folder of its own: two test programs building the form
    // at once, or a test and a real copy on this computer, must not see each other.
    static QTemporaryDir runtimeDir;
    qputenv("XDG_RUNTIME_DIR", runtimeDir.path().toLocal8Bit());
    static QTemporaryDir lockDir;
    qputenv("QUORVEL_LOCK_DIR", lockDir.path().toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // the windows tests make are drawn 1:1, as the program's are
    quorvel::overlay::pinDeviceScale();
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
