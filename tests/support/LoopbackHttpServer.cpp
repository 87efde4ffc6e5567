#include "LoopbackHttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <sstream>
#include <stdexcept>

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

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string Trim(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t\r");
    const auto last = text.find_last_not_of(" \t\r");
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

} // namespace

LoopbackHttpServer::LoopbackHttpServer(Handler handler)
    : m_handler(std::move(handler))
{
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    if (m_listener < 0 || ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(m_listener, 64) != 0 ||
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        throw std::runtime_error("cannot listen on the loopback interface");
    }
    m_port = ntohs(address.sin_port);
    m_acceptor = std::thread(&LoopbackHttpServer::Accept, this);
}

LoopbackHttpServer::LoopbackHttpServer(std::string body, std::size_t stallAfter)
    : LoopbackHttpServer([body = std::move(body), stallAfter](const Request&) {
        Response response;
        response.body = body;
        response.stallAfter = stallAfter;
        return response;
    })
{
}

LoopbackHttpServer::~LoopbackHttpServer()
{
    m_stop.store(true);
    m_acceptor.join();
    for (auto& connection : m_connections) {
        connection.join();
    }
    ::close(m_listener);
}

std::string LoopbackHttpServer::Url(const std::string& path) const
{
    return "http://127.0.0.1:" + std::to_string(m_port) + "/" + path;
}

std::vector<LoopbackHttpServer::Request> LoopbackHttpServer::Requests() const
{
    const std::lock_guard lock(m_mutex);
    return m_requests;
}

bool LoopbackHttpServer::Wait(int milliseconds) const
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < end) {
        if (m_stop.load()) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return !m_stop.load();
}

void LoopbackHttpServer::Accept()
{
    while (!m_stop.load()) {
        pollfd listener{m_listener, POLLIN, 0};
        if (::poll(&listener, 1, 20) <= 0) {
            continue;
        }
        const int connection = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection >= 0) {
            const std::lock_guard lock(m_mutex);
            m_connections.emplace_back([this, connection] {
                Serve(connection);
                ::close(connection);
            });
        }
    }
}

void LoopbackHttpServer::Serve(int connection)
{
    std::string data;
    char buffer[4096];
    std::size_t headerEnd = std::string::npos;
    auto receive = [&] {
        pollfd readable{connection, POLLIN, 0};
        while (!m_stop.load()) {
            if (::poll(&readable, 1, 20) > 0) {
                const ssize_t received = ::recv(connection, buffer, sizeof(buffer), 0);
                if (received <= 0) {
                    return false;
                }
                data.append(buffer, static_cast<std::size_t>(received));
                return true;
            }
        }
        return false;
    };
    while ((headerEnd = data.find("\r\n\r\n")) == std::string::npos) {
        if (!receive()) {
            return;
        }
    }
    Request request;
    std::istringstream head(data.substr(0, headerEnd));
    std::string line;
    std::getline(head, line);
    std::istringstream requestLine(line);
    requestLine >> request.method >> request.target;
    while (std::getline(head, line)) {
        const auto colon = line.find(':');
        if (colon != std::string::npos) {
            request.headers[Lower(Trim(line.substr(0, colon)))] = Trim(line.substr(colon + 1));
        }
    }
    const std::size_t length =
        request.headers.count("content-length") != 0 ? std::stoul(request.headers["content-length"]) : 0;
    while (data.size() < headerEnd + 4 + length) {
        if (!receive()) {
            return;
        }
    }
    request.body = data.substr(headerEnd + 4, length);
    {
        const std::lock_guard lock(m_mutex);
        m_requests.push_back(request);
    }
    const Response response = m_handler(request);
    if (!Wait(response.delayMs)) {
        return;
    }
    if (response.drop) {
        return;
    }
    const std::string header =
        "HTTP/1.1 " + std::to_string(response.status) + " Status\r\nContent-Type: " + response.contentType +
        "\r\n" + response.headers +
        (response.noLength ? std::string()
                           : "Content-Length: " + std::to_string(response.body.size()) + "\r\n") +
        "Connection: close\r\n\r\n";
    const std::size_t sent = std::min(response.stallAfter, response.body.size());
    if (!SendAll(connection, header.data(), header.size()) ||
        !SendAll(connection, response.body.data(), sent)) {
        return;
    }
    while (sent < response.body.size() && !response.closeAfterStall && Wait(10)) { }
}
