#pragma once

#include <QHash>
#include <QImage>
#include <QJsonObject>
#include <QJsonValue>
#include <QProcess>
#include <QSize>
#include <QStringList>
#include <QTemporaryDir>
#include <QWebSocket>

// Debian's Chromium driven over its DevTools protocol, so that a test waits for what the
// page has done (in real time, with a bound) before it looks. Headless unless asked for a
// window on the X display; each instance has a profile folder of its own, removed at the end.
class Chromium {
public:
    static constexpr int kWaitMs = 60000;

    // `extraArguments` go on Chromium's command line (a window's size, say).
    explicit Chromium(bool headless = true, const QStringList& extraArguments = {});
    ~Chromium();
    Chromium(const Chromium&) = delete;
    Chromium& operator=(const Chromium&) = delete;

    // Whether Debian's chromium is on the PATH.
    static bool installed();

    // Opens a page in a new tab of the given size with a transparent background; from then
    // on evaluate() and screenshot() are about that tab. Without a size, the tab is as large
    // as the window.
    bool open(const QString& url, const QSize& size);

    // A JavaScript expression's value in the page.
    QJsonValue evaluate(const QString& expression);

    // What the tab shows, with alpha; a null image when Chromium gave none.
    QImage screenshot();

private:
    QJsonObject call(const char* method, const QJsonObject& params);

    QTemporaryDir m_dir;
    QProcess m_process;
    QWebSocket m_devTools;
    QHash<int, QJsonObject> m_replies;
    int m_lastId = 0;
};
