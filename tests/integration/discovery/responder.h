#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QByteArray>
#include <QList>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

// A timing server's discovery side, on a thread of its own (it keeps its plan's times
// whatever the test's thread is doing): it answers each "PING" as planned, to the port the request came from.
class Responder {
public:
    struct Answer {
        int delayMs; // after the request, or after the previous answer
        QByteArray payload;
    };

    explicit Responder(quint16 port)
    {
        m_fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        const int on = 1;
        ::setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_ANY);
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        timeval timeout{0, 50 * 1000};
        ::setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        m_thread = std::thread([this] { run(); });
    }

    ~Responder()
    {
        m_stop = true;
        m_thread.join();
        ::close(m_fd);
    }

    void plan(QList<Answer> answers)
    {
        std::lock_guard lock(m_mutex);
        m_plan = std::move(answers);
    }

    // Sends every intervalMs until stopped: a sender that never stops answering.
    void flood(int intervalMs) { m_floodMs = intervalMs; }

    int requests() const { return m_requests; }
    QList<quint16> senderPorts() const
    {
        std::lock_guard lock(m_mutex);
        return m_senderPorts;
    }

    // A datagram to the overlay's discovery port outside any run.
    void sendTo(quint16 port, const QByteArray& payload) const
    {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::sendto(m_fd, payload.constData(), payload.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    }

private:
    void run()
    {
        char buffer[9000];
        while (!m_stop) {
            sockaddr_in from{};
            socklen_t length = sizeof from;
            const ssize_t n = ::recvfrom(m_fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &length);
            if (n != 4 || QByteArray(buffer, 4) != "PING")
                continue;
            ++m_requests;
            QList<Answer> answers;
            {
                std::lock_guard lock(m_mutex);
                m_senderPorts << ntohs(from.sin_port);
                answers = m_plan;
            }
            for (const Answer& answer : answers) {
                std::this_thread::sleep_for(std::chrono::milliseconds(answer.delayMs));
                ::sendto(m_fd, answer.payload.constData(), answer.payload.size(), 0, reinterpret_cast<sockaddr*>(&from),
                         length);
            }
            while (m_floodMs > 0 && !m_stop) {
                std::this_thread::sleep_for(std::chrono::milliseconds(m_floodMs.load()));
                ::sendto(m_fd, "here", 4, 0, reinterpret_cast<sockaddr*>(&from), length);
            }
        }
    }

    int m_fd = -1;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_floodMs{0};
    std::atomic<int> m_requests{0};
    mutable std::mutex m_mutex;
    QList<Answer> m_plan;
    QList<quint16> m_senderPorts;
};
