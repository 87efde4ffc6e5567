#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <limits>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A small HTTP/1.1 server on 127.0.0.1 for tests: each connection on a thread of its own, each
// request answered by the handler. An answer can come late, or stop after part of its body and
// hold the connection open, as a server that stops answering does.
class LoopbackHttpServer
{
public:
    struct Request
    {
        std::string method;
        std::string target;
        std::map<std::string, std::string> headers; // names in lower case
        std::string body;
    };
    struct Response
    {
        int status = 200;
        std::string body;
        int delayMs = 0;
        // Bytes of the body sent before the server falls silent (the whole body by default).
        std::size_t stallAfter = std::numeric_limits<std::size_t>::max();
        // After a stall: hold the connection open (a server that stops answering) or close it
        // (a server that dies mid-reply).
        bool closeAfterStall = false;
        std::string contentType = "application/octet-stream";
        // Further header lines, each ending in "\r\n".
        std::string headers;
        // Close the connection without a word, as a server that has just gone away.
        bool drop = false;
        // No Content-Length: the body ends when the connection does, and its size is unknown.
        bool noLength = false;
    };
    using Handler = std::function<Response(const Request&)>;

    explicit LoopbackHttpServer(Handler handler);
    // Answers every request with the same body.
    explicit LoopbackHttpServer(std::string body,
                                std::size_t stallAfter = std::numeric_limits<std::size_t>::max());
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    // http://127.0.0.1:<port>/<path>
    [[nodiscard]] std::string Url(const std::string& path) const;
    [[nodiscard]] int Port() const { return m_port; }
    [[nodiscard]] std::vector<Request> Requests() const;

private:
    void Accept();
    void Serve(int connection);
    // Sleeps up to the duration; false when the server is stopping.
    bool Wait(int milliseconds) const;

    Handler m_handler;
    int m_listener = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_mutex;
    std::vector<Request> m_requests;
    std::vector<std::thread> m_connections;
    std::thread m_acceptor;
};
