#include "service/HttpTransport.h"

#include "diag/CrashHandler.h"
#include "diag/Log.h"

#include <curl/curl.h>
#include <openssl/crypto.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace {

constexpr long kDefaultTimeoutMs = 60000;
constexpr long kConnectTimeoutMs = 15000;
// Idle connections kept for reuse. libcurl's default follows the number of requests in flight,
// so it shrinks each time one completes and closes connections that the next request needs.
constexpr long kConnectionCache = 64;
// No reply of this API comes near it; a larger one (or a compressed one that grows past it) is a
// failed exchange, not a reason to run out of memory.
constexpr std::size_t kMaxReplyBytes = std::size_t{8} << 20;

} // namespace

struct HttpRequest::Pending
{
    ~Pending()
    {
        if (easy != nullptr) {
            curl_easy_cleanup(easy);
        }
        curl_slist_free_all(headers);
    }

    std::string address;
    std::string body;
    HttpCompletion completion;
    std::vector<std::pair<std::string, std::string>> headerValues;
    long timeoutMs = kDefaultTimeoutMs;
    bool post = false;
    int id = 0;
    CURL* easy = nullptr;
    curl_slist* headers = nullptr;
    std::string answer;
    bool tooLarge = false;
    bool ok = false;
    int status = 0;
    char error[CURL_ERROR_SIZE] = {};
};

namespace {

using Pending = HttpRequest::Pending;

// libcurl's write callback: a short count ends the transfer with a write error. Nothing may be
// thrown through libcurl.
size_t AppendAnswer(char* data, size_t size, size_t count, void* opaque) noexcept
{
    auto* pending = static_cast<Pending*>(opaque);
    const size_t bytes = size * count;
    if (bytes > kMaxReplyBytes - std::min(kMaxReplyBytes, pending->answer.size())) {
        pending->tooLarge = true;
        return 0;
    }
    try {
        pending->answer.append(data, bytes);
    } catch (...) {
        pending->tooLarge = true;
        return 0;
    }
    return bytes;
}

// The worker: a libcurl multi handle driven by one thread. Completions run on a second thread, so
// that a completion that waits (for a window, in SendMessage) never holds up the transfers.
class Transport
{
public:
    static Transport& Get()
    {
        static Transport transport;
        return transport;
    }
    ~Transport() { Stop(); }
    Transport(const Transport&) = delete;
    Transport& operator=(const Transport&) = delete;

    bool Start()
    {
        const std::lock_guard lock(m_mutex);
        if (m_running) {
            return true;
        }
        // Reference-counted by libcurl; the matching cleanup is in Stop.
        const CURLcode global = curl_global_init(CURL_GLOBAL_DEFAULT);
        if (global != CURLE_OK) {
            LOG_ERROR << "curl_global_init failed:[" << curl_easy_strerror(global) << "]";
            return false;
        }
        m_multi = curl_multi_init();
        if (m_multi == nullptr) {
            LOG_ERROR << "curl_multi_init failed";
            curl_global_cleanup();
            return false;
        }
        curl_multi_setopt(m_multi, CURLMOPT_MAXCONNECTS, kConnectionCache);
        m_stop = false;
        m_running = true;
        m_worker = std::thread(&Transport::Run, this);
        m_completer = std::thread(&Transport::RunCompletions, this);
        return true;
    }

    void Stop()
    {
        {
            const std::lock_guard lock(m_mutex);
            if (!m_running) {
                return;
            }
            m_stop = true;
            curl_multi_wakeup(m_multi);
        }
        m_finished.notify_all();
        m_worker.join();
        m_completer.join();
        const std::lock_guard lock(m_mutex);
        m_inbox.clear();
        m_done.clear();
        curl_multi_cleanup(m_multi);
        m_multi = nullptr;
        m_running = false;
        curl_global_cleanup();
    }

    // The request's id; 0 when the transport does not run, and the request stays with the caller.
    int Submit(std::unique_ptr<Pending>& pending)
    {
        const std::lock_guard lock(m_mutex);
        if (!m_running || m_stop) {
            return 0;
        }
        const int id = ++m_lastId;
        pending->id = id;
        m_inbox.push_back(std::move(pending));
        curl_multi_wakeup(m_multi);
        return id;
    }

private:
    Transport() = default;

    void Run()
    {
        InstallThreadCrashStack();
        std::vector<std::unique_ptr<Pending>> inFlight;
        for (;;) {
            std::vector<std::unique_ptr<Pending>> arrived;
            {
                const std::lock_guard lock(m_mutex);
                if (m_stop) {
                    break;
                }
                arrived.swap(m_inbox);
            }
            for (auto& pending : arrived) {
                if (Configure(*pending)) {
                    curl_multi_add_handle(m_multi, pending->easy);
                    inFlight.push_back(std::move(pending));
                } else {
                    Finish(std::move(pending), false, 0);
                }
            }
            int running = 0;
            curl_multi_perform(m_multi, &running);
            int queued = 0;
            while (CURLMsg* message = curl_multi_info_read(m_multi, &queued)) {
                if (message->msg != CURLMSG_DONE) {
                    continue;
                }
                const auto found = std::find_if(inFlight.begin(), inFlight.end(), [&](const auto& pending) {
                    return pending->easy == message->easy_handle;
                });
                if (found == inFlight.end()) {
                    continue;
                }
                std::unique_ptr<Pending> done = std::move(*found);
                inFlight.erase(found);
                curl_multi_remove_handle(m_multi, done->easy);
                long status = 0;
                curl_easy_getinfo(done->easy, CURLINFO_RESPONSE_CODE, &status);
                const CURLcode result = message->data.result;
                if (result != CURLE_OK) {
                    LOG_WARN << "request failed url:[" << done->address << "] error:["
                             << (done->tooLarge ? "reply larger than the client accepts"
                                                : curl_easy_strerror(result))
                             << "] " << done->error;
                    // A failed exchange carries no status and no part of a reply, which a window
                    // could take for an answer.
                    Finish(std::move(done), false, 0);
                    continue;
                }
                const bool ok = status >= 200 && status < 300;
                Finish(std::move(done), ok, static_cast<int>(status));
            }
            curl_multi_poll(m_multi, nullptr, 0, 1000, nullptr);
        }
        for (auto& pending : inFlight) {
            curl_multi_remove_handle(m_multi, pending->easy);
        }
        // libcurl's TLS is OpenSSL's, which keeps per-thread state (error queue, random generators)
        // that only a thread's own goodbye releases.
        OPENSSL_thread_stop();
    }

    static bool Configure(Pending& pending)
    {
        pending.easy = curl_easy_init();
        if (pending.easy == nullptr) {
            return false;
        }
        CURL* easy = pending.easy;
        curl_easy_setopt(easy, CURLOPT_URL, pending.address.c_str());
        curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, pending.error);
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &AppendAnswer);
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, &pending);
        curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, pending.timeoutMs);
        curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, std::min(kConnectTimeoutMs, pending.timeoutMs));
        curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, "");
        // Peers are verified against the system's certificate authorities, host names included.
        curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
        curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
        curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
        if (pending.post) {
            curl_easy_setopt(easy, CURLOPT_POST, 1L);
            curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(pending.body.size()));
            curl_easy_setopt(easy, CURLOPT_POSTFIELDS, pending.body.data());
        }
        for (const auto& [name, value] : pending.headerValues) {
            std::string line = name;
            line += ": ";
            line += value;
            pending.headers = curl_slist_append(pending.headers, line.c_str());
        }
        if (pending.headers != nullptr) {
            curl_easy_setopt(easy, CURLOPT_HTTPHEADER, pending.headers);
        }
        return true;
    }

    // Hands a finished request to the completion thread.
    void Finish(std::unique_ptr<Pending> pending, bool ok, int status)
    {
        if (pending->easy != nullptr) {
            curl_easy_cleanup(pending->easy);
            pending->easy = nullptr;
        }
        pending->ok = ok;
        pending->status = status;
        if (!ok && status == 0) {
            pending->answer.clear();
        }
        {
            const std::lock_guard lock(m_mutex);
            m_done.push_back(std::move(pending));
        }
        m_finished.notify_one();
    }

    void RunCompletions()
    {
        InstallThreadCrashStack();
        for (;;) {
            std::unique_ptr<Pending> pending;
            {
                std::unique_lock lock(m_mutex);
                m_finished.wait(lock, [&] { return m_stop || !m_done.empty(); });
                if (m_stop) {
                    break;
                }
                pending = std::move(m_done.front());
                m_done.pop_front();
            }
            if (!pending->completion) {
                continue;
            }
            try {
                pending->completion(pending->ok, pending->status, pending->answer);
            } catch (const std::exception& error) {
                LOG_ERROR << "a completion failed url:[" << pending->address << "] " << error.what();
            } catch (...) {
                LOG_ERROR << "a completion failed url:[" << pending->address << "]";
            }
        }
    }

    std::mutex m_mutex;
    bool m_running = false;
    bool m_stop = false;
    int m_lastId = 0;
    CURLM* m_multi = nullptr;
    std::vector<std::unique_ptr<Pending>> m_inbox;
    std::deque<std::unique_ptr<Pending>> m_done;
    std::condition_variable m_finished;
    std::thread m_worker;
    std::thread m_completer;
};

} // namespace

bool InitHttpTransport()
{
    return Transport::Get().Start();
}

void ShutdownHttpTransport()
{
    Transport::Get().Stop();
}

HttpRequest::HttpRequest(const std::string& address, const char* body, std::size_t bodyLength,
                         HttpCompletion completion)
    : m_pending(std::make_unique<Pending>())
{
    m_pending->address = address;
    if (body != nullptr && bodyLength > 0) {
        m_pending->body.assign(body, bodyLength);
    }
    m_pending->completion = std::move(completion);
}

HttpRequest::~HttpRequest() = default;

void HttpRequest::AddHeader(const std::string& name, const std::string& value)
{
    if (m_pending != nullptr) {
        m_pending->headerValues.emplace_back(name, value);
    }
}

void HttpRequest::SetTimeout(int milliseconds)
{
    if (m_pending != nullptr && milliseconds > 0) {
        m_pending->timeoutMs = milliseconds;
    }
}

void HttpRequest::SetMethodAsPost()
{
    if (m_pending != nullptr) {
        m_pending->post = true;
    }
}

int HttpRequest::Post()
{
    if (m_pending == nullptr) {
        return 0;
    }
    const int id = Transport::Get().Submit(m_pending);
    if (id == 0) {
        LOG_ERROR << "the HTTP transport does not run url:[" << m_pending->address << "]";
        std::unique_ptr<Pending> refused = std::move(m_pending);
        if (refused->completion) {
            refused->completion(false, 0, std::string());
        }
        return 0;
    }
    return id;
}
