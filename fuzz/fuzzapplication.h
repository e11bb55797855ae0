#pragma once

#include <QGuiApplication>

#include <cstdlib>

namespace quorvel::fuzz {

// Painting and the screen model want a Qt application object; the offscreen platform
// needs no display.
inline void startApplication(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
}

} // namespace quorvel::fuzz
