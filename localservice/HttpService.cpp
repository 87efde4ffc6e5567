#include "HttpService.h"

#include "AdminApi.h"
#include "ExamSite.h"
#include "ServiceContext.h"
#include "SignOnApi.h"
#include "UpdateApi.h"

#include <chrono>

#include <sys/socket.h>

namespace {

constexpr std::size_t kMaxBody = std::size_t{64} * 1024;
constexpr std::size_t kThreads = 64;

// Applies the fault armed for this request's path. Handled: the fault is the whole answer.
httplib::Server::HandlerResponse ApplyFault(ServiceContext& context, const httplib::Request& request,
                                            httplib::Response& response)
{
    const auto fault = context.faults.Take(request.path);
    if (!fault) {
        return httplib::Server::HandlerResponse::Unhandled;
    }
    if (fault->delayMs > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(fault->delayMs));
    }
    if (fault->status == 0 && fault->body == FaultInjector::Body::Real) {
        return httplib::Server::HandlerResponse::Unhandled;
    }
    response.status = fault->status != 0 ? fault->status : 200;
    switch (fault->body) {
    case FaultInjector::Body::Malformed:
        response.set_content(R"({"status":200,"message":"登录成)", "application/json; charset=utf-8");
        break;
    case FaultInjector::Body::Empty:
        break;
    case FaultInjector::Body::Real:
        response.set_content("{\"error\":\"fault injected by a test\"}", "application/json; charset=utf-8");
        break;
    }
    return httplib::Server::HandlerResponse::Handled;
}

// Errors that no handler explained (unknown path, body too large, bad request) get a JSON body.
httplib::Server::HandlerResponse ExplainError(const httplib::Request& request, httplib::Response& response)
{
    if (!response.body.empty()) {
        return httplib::Server::HandlerResponse::Unhandled;
    }
    std::string why = "the request could not be read (its request line, headers or body are malformed; "
                      "a POST needs a Content-Length)";
    if (response.status == 404) {
        why = "no such endpoint: " + request.path;
    } else if (response.status == 413) {
        why = "the request body is larger than 64 KiB";
    }
    ReplyJson(response, response.status,
              {{"status", response.status}, {"message", QString::fromStdString(why)}});
    return httplib::Server::HandlerResponse::Handled;
}

} // namespace

HttpService::HttpService(ServiceContext& context)
    : m_context(context)
    , m_server(std::make_unique<httplib::Server>())
{
    httplib::Server& server = *m_server;
    server.new_task_queue = [] { return new httplib::ThreadPool(kThreads); };
    server.set_payload_max_length(kMaxBody);
    // Headers and body leave in separate writes: without this, Nagle's algorithm meets the
    // client's delayed acknowledgement and every answer waits some 40 ms.
    server.set_tcp_nodelay(true);
    // Only SO_REUSEADDR: the library's default SO_REUSEPORT would let a second service share a
    // port that is taken instead of failing. The socket is kept to widen its backlog once bound.
    server.set_socket_options([this](socket_t socket) {
        const int yes = 1;
        setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        m_listenSocket = socket;
    });
    server.set_keep_alive_max_count(1000);
    // Idle connections go soon, so that stopping the service does not wait for them long.
    server.set_keep_alive_timeout(2);
    server.set_pre_routing_handler([this](const httplib::Request& request, httplib::Response& response) {
        return ApplyFault(m_context, request, response);
    });
    server.set_error_handler(httplib::Server::HandlerWithResponse(ExplainError));
    server.set_exception_handler([this](const httplib::Request& request, httplib::Response& response,
                                        const std::exception_ptr& error) {
        std::string what = "unknown error";
        try {
            std::rethrow_exception(error);
        } catch (const std::exception& exception) {
            what = exception.what();
        } catch (...) {
        }
        m_context.console.Print("error while answering " + request.path + ": " + what);
        ReplyJson(response, 500, {{"status", 500}, {"message", "internal error"}});
    });

    SignOnApi::Register(server, context);
    UpdateApi::Register(server, context);
    ExamSite::Register(server);
    AdminApi::Register(server, context);
}

HttpService::~HttpService()
{
    Stop();
}

std::optional<std::string> HttpService::Start(int port)
{
    m_port = port == 0 ? m_server->bind_to_any_port("127.0.0.1")
                       : (m_server->bind_to_port("127.0.0.1", port) ? port : -1);
    if (m_port <= 0) {
        return "cannot listen on 127.0.0.1:" + std::to_string(port) + " (is the port taken?)";
    }
    // The library listens with a backlog of 5; a burst of new connections would overflow it and
    // wait a second for the SYN to be sent again. Listening again on Linux just resizes it.
    ::listen(m_listenSocket, SOMAXCONN);
    m_thread = std::thread([this] { m_server->listen_after_bind(); });
    return std::nullopt;
}

void HttpService::Stop()
{
    if (m_thread.joinable()) {
        m_server->stop();
        m_thread.join();
    }
}
