// The hand-written overlay's server, for the comparison with the feed's browser source:
// it takes the timing server's messages as the overlay does (it connects to ADDRESS:PORT)
// and sends each, as it is, to the pages connected to its WebSocket, nothing more.
//   bench_feed_sender WS-PORT ADDRESS PORT
// Listens on 127.0.0.1:WS-PORT; connects to the timing server once a page is connected;
// ends when the timing server closes the connection.
#include <QCoreApplication>
#include <QHostAddress>
#include <QTcpSocket>
#include <QTimer>
#include <QWebSocket>
#include <QWebSocketServer>

#include <cstdio>
#include <vector>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4) {
        std::fprintf(stderr, "usage: bench_feed_sender WS-PORT ADDRESS PORT\n");
        return 2;
    }
    QWebSocketServer server(QStringLiteral("bench"), QWebSocketServer::NonSecureMode);
    if (!server.listen(QHostAddress::LocalHost, quint16(args[1].toUInt()))) {
        std::fprintf(stderr, "bench_feed_sender: %s\n", qPrintable(server.errorString()));
        return 1;
    }
    std::vector<QWebSocket*> pages;
    QTcpSocket timing;
    QByteArray pending;
    const auto connectToTiming = [&] { timing.connectToHost(args[2], quint16(args[3].toUInt())); };
    QObject::connect(&server, &QWebSocketServer::newConnection, [&] {
        while (QWebSocket* page = server.nextPendingConnection()) {
            pages.push_back(page);
            if (timing.state() == QAbstractSocket::UnconnectedState)
                connectToTiming();
        }
    });
    // the timing server may not listen yet: tried again
    QObject::connect(&timing, &QTcpSocket::errorOccurred, [&](QAbstractSocket::SocketError error) {
        if (error == QAbstractSocket::ConnectionRefusedError)
            QTimer::singleShot(100, connectToTiming);
        else if (error == QAbstractSocket::RemoteHostClosedError)
            app.quit();
    });
    QObject::connect(&timing, &QTcpSocket::disconnected, &app, &QCoreApplication::quit);
    QObject::connect(&timing, &QTcpSocket::readyRead, [&] {
        pending += timing.readAll();
        qsizetype end;
        while ((end = pending.indexOf('@')) >= 0) {
            const QString message = QString::fromLatin1(pending.left(end));
            pending.remove(0, end + 1);
            for (QWebSocket* page : pages) {
                page->sendTextMessage(message);
                page->flush();
            }
        }
    });
    return app.exec();
}
