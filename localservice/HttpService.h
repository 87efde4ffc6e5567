#pragma once

#include <memory>
#include <optional>
#include <string>
#include <thread>

struct ServiceContext;
namespace httplib {
class Server;
}

// The service's HTTP side: every endpoint at the root of one port on 127.0.0.1, answered by a
// pool of threads large enough for many clients at once, with armed faults applied before the
// routes, a size limit on request bodies and a JSON body on every error.
class HttpService
{
public:
    explicit HttpService(ServiceContext& context);
    ~HttpService();
    HttpService(const HttpService&) = delete;
    HttpService& operator=(const HttpService&) = delete;

    // Binds the port (0: any free one) and starts serving; the error text when it cannot.
    std::optional<std::string> Start(int port);
    [[nodiscard]] int Port() const { return m_port; }
    void Stop();

private:
    ServiceContext& m_context;
    std::unique_ptr<httplib::Server> m_server;
    std::thread m_thread;
    int m_port = 0;
    int m_listenSocket = -1;
};
