#include "chromium.h"

#include "wait.h"

#include <QFile>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QStandardPaths>
#include <QUrl>

#include <csignal>
#include <sys/prctl.h>

Chromium::Chromium(bool headless, const QStringList& extraArguments)
{
    QStringList arguments{QStringLiteral("--no-sandbox"),
                          QStringLiteral("--disable-gpu"),
                          QStringLiteral("--hide-scrollbars"),
                          QStringLiteral("--force-device-scale-factor=1"),
                          QStringLiteral("--no-first-run"),
                          QStringLiteral("--no-default-browser-check"),
                          QStringLiteral("--remote-debugging-address=127.0.0.1"),
                          QStringLiteral("--remote-debugging-port=0"),
                          QStringLiteral("--user-data-dir=") + m_dir.path()};
    if (headless)
        arguments.prepend(QStringLiteral("--headless"));
    arguments += extraArguments;
    arguments += QStringLiteral("about:blank");
    // its complaints about the missing session bus and the like say nothing about a test
    m_process.setStandardOutputFile(QProcess::nullDevice());
    m_process.setStandardErrorFile(QProcess::nullDevice());
    // Chromium outlives a parent that is killed, and its helpers with it: told to end then.
    m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    m_process.start(QStringLiteral("chromium"), arguments);
    QObject::connect(&m_devTools, &QWebSocket::textMessageReceived, [this](const QString& message) {
        const QJsonObject reply = QJsonDocument::fromJson(message.toUtf8()).object();
        if (reply.contains(QStringLiteral("id")))
            m_replies.insert(reply[QStringLiteral("id")].toInt(), reply);
    });
}

Chromium::~Chromium()
{
    m_devTools.abort();
    // asked to end first, so that it takes its helper processes with it
    m_process.terminate();
    if (!m_process.waitForFinished(20000)) {
        m_process.kill();
        m_process.waitForFinished();
    }
}

bool Chromium::installed()
{
    return !QStandardPaths::findExecutable(QStringLiteral("chromium")).isEmpty();
}

bool Chromium::open(const QString& url, const QSize& size)
{
    QFile portFile(m_dir.filePath(QStringLiteral("DevToolsActivePort")));
    if (!waitUntil([&] { return portFile.exists() && portFile.size() > 0; }, kWaitMs))
        return false;
    if (!portFile.open(QIODevice::ReadOnly))
        return false;
    const QByteArray port = portFile.readLine().trimmed();
    QNetworkAccessManager network;
    QNetworkReply* reply = network.sendCustomRequest(
        QNetworkRequest(
            QUrl(QStringLiteral("http://127.0.0.1:%1/json/new?about:blank").arg(QString::fromLatin1(port)))),
        "PUT");
    if (!waitUntil([&] { return reply->isFinished(); }, kWaitMs))
        return false;
    const QString target =
        QJsonDocument::fromJson(reply->readAll()).object()[QStringLiteral("webSocketDebuggerUrl")].toString();
    // a further tab: the DevTools connection follows it, and the ones before stay open
    if (m_devTools.state() != QAbstractSocket::UnconnectedState) {
        m_devTools.abort();
        m_replies.clear();
    }
    m_devTools.open(QUrl(target));
    if (!waitUntil([&] { return m_devTools.state() == QAbstractSocket::ConnectedState; }, kWaitMs))
        return false;
    if (size.isValid())
        call("Emulation.setDeviceMetricsOverride",
             {{QStringLiteral("width"), size.width()},
              {QStringLiteral("height"), size.height()},
              {QStringLiteral("deviceScaleFactor"), 1},
              {QStringLiteral("mobile"), false}});
    call("Emulation.setDefaultBackgroundColorOverride",
         {{QStringLiteral("color"),
           QJsonObject{{QStringLiteral("r"), 0},
                       {QStringLiteral("g"), 0},
                       {QStringLiteral("b"), 0},
                       {QStringLiteral("a"), 0}}}});
    return !call("Page.navigate", {{QStringLiteral("url"), url}}).isEmpty();
}

QJsonValue Chromium::evaluate(const QString& expression)
{
    return call("Runtime.evaluate",
                {{QStringLiteral("expression"), expression},
                 {QStringLiteral("returnByValue"), true}})[QStringLiteral("result")][QStringLiteral("value")];
}

QImage Chromium::screenshot()
{
    const QJsonObject shot = call("Page.captureScreenshot", {{QStringLiteral("format"), QStringLiteral("png")}});
    return QImage::fromData(QByteArray::fromBase64(shot[QStringLiteral("data")].toString().toLatin1()), "PNG")
        .convertToFormat(QImage::Format_ARGB32);
}

QJsonObject Chromium::call(const char* method, const QJsonObject& params)
{
    const int id = ++m_lastId;
    m_devTools.sendTextMessage(
        QString::fromUtf8(QJsonDocument(QJsonObject{{QStringLiteral("id"), id},
                                                    {QStringLiteral("method"), QLatin1String(method)},
                                                    {QStringLiteral("params"), params}})
                              .toJson(QJsonDocument::Compact)));
    waitUntil([&] { return m_replies.contains(id); }, kWaitMs);
    return m_replies.take(id)[QStringLiteral("result")].toObject();
}
