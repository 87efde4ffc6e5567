#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

// Called once per request, on the transport's worker thread, with whether the exchange succeeded
// (a complete answer with a 2xx status), the HTTP status (0 when no answer came) and the answer's
// body (also for HTTP errors).
using HttpCompletion = std::function<void(bool ok, int responseCode, const std::string& reply)>;

// Starts the transport: libcurl's global set-up and one worker thread that runs every request and
// every completion. True when it runs (also when it already did).
bool InitHttpTransport();
// Stops the worker without waiting for requests in flight; their completions are not called.
void ShutdownHttpTransport();

// One request: made, given headers, a time-out and a method, then posted. After Post the transport
// owns it and the object may go at once.
class HttpRequest
{
public:
    // A request without a completion is sent and its answer dropped.
    HttpRequest(const std::string& address, const char* body, std::size_t bodyLength,
                HttpCompletion completion);
    ~HttpRequest();
    HttpRequest(const HttpRequest&) = delete;
    HttpRequest& operator=(const HttpRequest&) = delete;

    void AddHeader(const std::string& name, const std::string& value);
    // Fails the request (ok false) when the whole exchange takes longer. Without it a request gives
    // up after 60 seconds.
    void SetTimeout(int milliseconds);
    // Sends the body with POST; otherwise the request is a GET.
    void SetMethodAsPost();
    // Hands the request to the worker; returns its id (0 when the transport does not run, and the
    // completion is then called at once with a failure).
    int Post();

    struct Pending;

private:
    std::unique_ptr<Pending> m_pending;
};
