#pragma once

#include "app/application.h"
#include "app/form.h"
#include "db/datamodule.h"

#include "loopbackform.h"
#include "mariadb_server.h"
#include "wait.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

// The whole form in this process, against the test program's MariaDB and a timing server
// played by the test on a loopback port (see loopbackFormConfig()).
class AppFixture : public ::testing::Test {
protected:
    quorvel::Config config;
    quorvel::app::Application app;
    QTemporaryDir photos;
    std::unique_ptr<quorvel::db::DataModule> dm;
    std::unique_ptr<quorvel::app::Form> form;
    QTcpServer server;

    void SetUp() override
    {
        auto& db = quorvel::test::MariaDbServer::shared();
        db.pointClientLibraryHere();
        db.resetRaceDatabase();
        config = quorvel::test::loopbackFormConfig(photos.path());
        config.dbPort = db.port();
    }

    void startForm()
    {
        dm = std::make_unique<quorvel::db::DataModule>(config);
        form = std::make_unique<quorvel::app::Form>(app, *dm, config);
        app.guarded([&] { form->FormCreate(); });
        form->showWindow();
    }

    void TearDown() override
    {
        form.reset();
        dm.reset();
        app.setExceptionHandler({});
    }

    quorvel::TextList lines(quorvel::overlay::El memo) const
    {
        return form->screen().lastLines(memo, 100000);
    }
    int count(quorvel::overlay::El memo, const quorvel::Text& line) const
    {
        return static_cast<int>(lines(memo).count(line));
    }
    bool contains(quorvel::overlay::El memo, const quorvel::Text& line) const { return count(memo, line) > 0; }

    // Listens on the form's timing-server port and waits for its connection.
    QTcpSocket* acceptConnection(int timeoutMs = 5000)
    {
        if (!server.isListening())
            server.listen(QHostAddress::LocalHost, config.tcpPort);
        if (!waitUntil([&] { return server.hasPendingConnections(); }, timeoutMs))
            return nullptr;
        return server.nextPendingConnection();
    }

    static QByteArray readUntil(QTcpSocket* socket, qsizetype bytes, int timeoutMs = 3000)
    {
        QByteArray data;
        waitUntil([&] {
            data += socket->readAll();
            return data.size() >= bytes;
        }, timeoutMs);
        return data;
    }

    // Sends one chunk and lets the form apply it.
    void send(QTcpSocket* socket, const QByteArray& chunk, int settleMs = 150)
    {
        socket->write(chunk);
        socket->flush();
        runEventsFor(settleMs);
    }
};
