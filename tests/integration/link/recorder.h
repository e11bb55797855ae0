#pragma once

#include "link/linkevents.h"
#include "link/tcpclient.h"

#include <QByteArray>
#include <QStringList>

#include <functional>
#include <memory>

// Writes down every event the link reports, with the link's state at that moment, so a test
// can check both what was reported and in which order.
struct LinkRecorder : quorvel::link::LinkEvents {
    quorvel::link::TcpClient* client = nullptr;
    QList<QByteArray> events;
    QByteArray received; // every chunk, joined
    int chunks = 0;
    std::function<void(const QByteArray&)> onChunk; // runs inside onRead

    static QByteArray stateName(quorvel::link::LinkState s)
    {
        switch (s) {
        case quorvel::link::LinkState::Down: return "Down";
        case quorvel::link::LinkState::Connecting: return "Connecting";
        case quorvel::link::LinkState::Connected: return "Connected";
        }
        return "?";
    }
    QByteArray now() const
    {
        return " [" + stateName(client->state()) + (client->socketDescriptor() >= 0 ? " open]" : " closed]");
    }

    void onConnect() override { events.append("connect" + now()); }
    void onDisconnect() override { events.append("disconnect" + now()); }
    void onError(int code) override { events.append("error " + QByteArray::number(code) + now()); }
    void onRead(const QByteArray& chunk) override
    {
        ++chunks;
        received += chunk;
        if (onChunk)
            onChunk(chunk);
    }
    void onFailure(const QByteArray& message) override { events.append("failure " + message + now()); }
};

// A link to a loopback port with its recorder.
struct Link {
    LinkRecorder events;
    std::unique_ptr<quorvel::link::TcpClient> client;
    explicit Link(quint16 port, const char* host = "127.0.0.1")
        : client(std::make_unique<quorvel::link::TcpClient>(events, host, port))
    {
        events.client = client.get();
    }
};
