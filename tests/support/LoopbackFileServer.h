#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <cstddef>
#include <limits>
#include <thread>

// A tiny HTTP server on 127.0.0.1 that answers every GET with one body, one connection at a time,
// on a thread of its own. With stallAfter it sends only that many bytes of the body and then holds
// the connection open without sending more, as a server that stops answering does.
class LoopbackFileServer
{
public:
    explicit LoopbackFileServer(QByteArray body,
                                std::size_t stallAfter = std::numeric_limits<std::size_t>::max());
    ~LoopbackFileServer();
    LoopbackFileServer(const LoopbackFileServer&) = delete;
    LoopbackFileServer& operator=(const LoopbackFileServer&) = delete;

    // http://127.0.0.1:<port>/<name>
    [[nodiscard]] QString Url(const QString& name) const;
    [[nodiscard]] int Requests() const { return m_requests.load(); }

private:
    void Serve();
    void Answer(int connection);

    QByteArray m_body;
    std::size_t m_stallAfter;
    int m_listener = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_requests{0};
    std::thread m_thread;
};
