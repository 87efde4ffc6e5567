#include "LoopbackFileServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <stdexcept>
#include <string>
#include <utility>

namespace {

bool SendAll(int connection, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t sent = ::send(connection, data, size, MSG_NOSIGNAL);
        if (sent <= 0) {
            return false;
        }
        data += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

} // namespace

LoopbackFileServer::LoopbackFileServer(QByteArray body, std::size_t stallAfter)
    : m_body(std::move(body))
    , m_stallAfter(stallAfter)
{
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    if (m_listener < 0 || ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(m_listener, 8) != 0 ||
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        throw std::runtime_error("cannot listen on the loopback interface");
    }
    m_port = ntohs(address.sin_port);
    m_thread = std::thread(&LoopbackFileServer::Serve, this);
}

LoopbackFileServer::~LoopbackFileServer()
{
    m_stop.store(true);
    m_thread.join();
    ::close(m_listener);
}

QString LoopbackFileServer::Url(const QString& name) const
{
    return QStringLiteral("http://127.0.0.1:%1/%2").arg(m_port).arg(name);
}

void LoopbackFileServer::Serve()
{
    while (!m_stop.load()) {
        pollfd listener{m_listener, POLLIN, 0};
        if (::poll(&listener, 1, 20) <= 0) {
            continue;
        }
        const int connection = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection >= 0) {
            Answer(connection);
            ::close(connection);
        }
    }
}

void LoopbackFileServer::Answer(int connection)
{
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos) {
        const ssize_t received = ::recv(connection, buffer, sizeof(buffer), 0);
        if (received <= 0) {
            return;
        }
        request.append(buffer, static_cast<std::size_t>(received));
    }
    ++m_requests;
    const std::string header =
        "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
        std::to_string(m_body.size()) + "\r\nConnection: close\r\n\r\n";
    const std::size_t sent = std::min(m_stallAfter, static_cast<std::size_t>(m_body.size()));
    if (!SendAll(connection, header.data(), header.size()) ||
        !SendAll(connection, m_body.constData(), sent)) {
        return;
    }
    while (sent < static_cast<std::size_t>(m_body.size()) && !m_stop.load()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}
