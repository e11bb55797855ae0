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

#include <functional>
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
        formCreate([&] { form->showWindow(); });
    }

    // Runs the creation handler and waits for its discovery (and `afterwards`) to end.
    void formCreate(const std::function<void()>& afterwards = {})
    {
        bool done = false;
        app.guarded([&] {
            form->FormCreate([&] {
                if (afterwards)
                    afterwards();
                done = true;
            });
        });
        ASSERT_TRUE(waitUntil([&] { return done; }, 30000)) << "the start-up discovery never ended";
    }

    void TearDown() override
    {
        form.reset();
        dm.reset();
        app.setExceptionHandler({});
    }

    quorvel::TextList lines(quorvel::overlay::El memo) const { return form->screen().lastLines(memo, 100000); }
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
        waitUntil(
            [&] {
                data += socket->readAll();
                return data.size() >= bytes;
            },
            timeoutMs);
        return data;
    }

    // Sends one chunk. The form applies it when its event loop gets to the read, later on a
    // busy machine: wait for what the chunk shows (applied()) before looking at anything.
    static void send(QTcpSocket* socket, const QByteArray& chunk)
    {
        socket->write(chunk);
        socket->flush();
    }

    // Waits, with room for a loaded machine, until the form shows what a chunk sent.
    static bool applied(const std::function<bool()>& shown) { return waitUntil(shown, 15000); }

    // Whether the item the form applied last has this key. The read handler applies a
    // chunk's items without the test's loop running in between, so when the test sees the
    // last item of a chunk here, the chunk is done with.
    bool lastItemIs(const quorvel::Text& key) const
    {
        const auto& screen = form->screen();
        return screen.itemCount(quorvel::overlay::El::ListBox2) > 0 &&
            screen.item(quorvel::overlay::El::ListBox2, 0) == key;
    }
};
