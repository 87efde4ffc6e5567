// libnim.so: signs in to the IM service over WebSocket, keeps the link alive, signs in again by
// itself after a drop, and reports everything through the registered C callbacks, on its own thread.

#include "NimFrame.h"
#include "nim_client.h"
#include "platform/JsonReader.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QThread>

#include <QTimer>
#include <QUrl>
#include <QUuid>
#include <QWebSocket>
#include <csignal>
#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <utility>

namespace {

struct Callback
{
    nim_json_transport_cb_func function = nullptr;
    const void* user = nullptr;
};

struct TalkCallback
{
    nim_talk_receive_cb_func function = nullptr;
    const void* user = nullptr;
};

// The callbacks registered for later events; set from any thread, read on the library's.
struct Registered
{
    std::mutex mutex;
    Callback disconnect;
    Callback kickout;
    Callback relogin;
    TalkCallback receive;
    TalkCallback receiveMany;
};

Registered& Callbacks()
{
    static Registered registered;
    return registered;
}

template <typename T>
T Copy(T Registered::*member)
{
    const std::lock_guard lock(Callbacks().mutex);
    return Callbacks().*member;
}

template <typename T>
void Store(T Registered::*member, T callback)
{
    const std::lock_guard lock(Callbacks().mutex);
    Callbacks().*member = callback;
}

QByteArray Json(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

void Call(const Callback& callback, const QJsonObject& result)
{
    if (callback.function != nullptr) {
        callback.function(Json(result).constData(), callback.user);
    }
}

QJsonObject LoginResult(int code, int step, bool relogin, bool retrying)
{
    return {{"err_code", code}, {"login_step", step}, {"relogin", relogin}, {"retrying", retrying}};
}

// The IM session, living on the library's thread.
class Session final : public QObject
{
public:
    Session(QString server, int pingIntervalMs, int firstRetryMs)
        : m_server(std::move(server))
        , m_pingIntervalMs(pingIntervalMs)
        , m_firstRetryMs(firstRetryMs)
    {
    }

    void Login(const QString& appKey, const QString& account, const QString& token, Callback callback)
    {
        CancelPendingLogin();
        // A logout still waiting for the service ends here: the new link replaces the old one.
        SettleLogout();
        m_appKey = appKey;
        m_account = account;
        m_token = token;
        m_loginCallback = callback;
        m_reconnecting = false;
        m_retryMs = m_firstRetryMs;
        Connect();
    }

    void Logout(Callback callback)
    {
        CancelPendingLogin();
        Retry()->stop();
        m_reconnecting = false;
        if (m_state != State::Online) {
            Close(State::Idle);
            Call(callback, {{"err_code", 200}});
            return;
        }
        m_state = State::LoggingOut;
        m_logoutCallback = callback;
        Send({{"type", "logout"}});
        // A service that does not answer does not hold the logout.
        QTimer::singleShot(3000, this, [this] {
            if (m_state == State::LoggingOut) {
                Socket()->abort();
            }
        });
    }

private:
    static constexpr int kCancelled = 1000;
    // The service's refusal code, for a sign-in that a kick-out ended before its result.
    static constexpr int kKickedDuringLogin = 403;

    enum class State
    {
        Idle,
        Connecting,
        Online,
        LoggingOut,
        Kicked
    };

    // A login still waiting for its result gets one, so its caller is never left waiting.
    void CancelPendingLogin()
    {
        if (m_state == State::Connecting && !m_reconnecting) {
            ReportLogin(kCancelled, 3);
            m_state = State::Idle;
        }
    }

    QWebSocket* Socket()
    {
        if (m_socket == nullptr) {
            m_socket = new QWebSocket(QString(), QWebSocketProtocol::VersionLatest, this);
            connect(m_socket, &QWebSocket::connected, this, [this] {
                Send({{"type", "login"}, {"app_key", m_appKey}, {"account", m_account}, {"token", m_token}});
            });
            connect(m_socket, &QWebSocket::connected, this, [this] { ReportLogin(200, 2); });
            connect(m_socket, &QWebSocket::textMessageReceived, this, &Session::OnFrame);
            connect(m_socket, &QWebSocket::disconnected, this, &Session::OnDisconnected);
        }
        return m_socket;
    }

    QTimer* Retry()
    {
        if (m_retry == nullptr) {
            m_retry = new QTimer(this);
            m_retry->setSingleShot(true);
            connect(m_retry, &QTimer::timeout, this, &Session::Connect);
        }
        return m_retry;
    }

    QTimer* Ping()
    {
        if (m_ping == nullptr) {
            m_ping = new QTimer(this);
            connect(m_ping, &QTimer::timeout, this, [this] {
                // Two intervals without an answer: the link is dead even if nobody closed it.
                if (m_awaitingPongs >= 2) {
                    Socket()->abort();
                    return;
                }
                ++m_awaitingPongs;
                Send({{"type", "ping"}});
            });
        }
        return m_ping;
    }

    void Connect()
    {
        // An old link goes quietly before the new one is opened.
        m_state = State::Idle;
        Ping()->stop();
        Socket()->abort();
        m_state = State::Connecting;
        if (!m_reconnecting) {
            ReportLogin(200, 1);
        }
        Socket()->open(QUrl(m_server));
    }

    void Send(const QJsonObject& frame) { Socket()->sendTextMessage(QString::fromUtf8(Json(frame))); }

    // The caller's login callback hears its steps and then one result; after the result it is
    // forgotten, so nothing the service sends later (a repeated or late result) can reach it.
    void ReportLogin(int code, int step)
    {
        if (m_reconnecting) {
            return;
        }
        const Callback callback = step >= 3 ? std::exchange(m_loginCallback, Callback{}) : m_loginCallback;
        Call(callback, LoginResult(code, step, false, false));
    }

    // Ends the link. Whatever still waits for an end gets one, whatever ended the link: a login its
    // final result (loginCode), a logout its end.
    void Close(State next, int loginCode = kCancelled)
    {
        m_state = next;
        Ping()->stop();
        if (m_socket != nullptr) {
            m_socket->abort();
        }
        if (m_loginCallback.function != nullptr && !m_reconnecting) {
            ReportLogin(loginCode, 3);
        }
        SettleLogout();
    }

    void SettleLogout()
    {
        const Callback done = std::exchange(m_logoutCallback, Callback{});
        Call(done, {{"err_code", 200}});
    }

    void OnFrame(const QString& text)
    {
        const NimFrame frame = ReadNimFrame(text.toStdString());
        switch (frame.type) {
        case NimFrame::Type::LoginResult:
            OnLoginResult(frame.code);
            break;
        case NimFrame::Type::Pong:
            m_awaitingPongs = 0;
            break;
        case NimFrame::Type::Message:
        case NimFrame::Type::Messages: {
            const TalkCallback receive =
                Copy(frame.type == NimFrame::Type::Message ? &Registered::receive : &Registered::receiveMany);
            if (receive.function != nullptr) {
                receive.function(frame.payload.c_str(), "", receive.user);
            }
            break;
        }
        case NimFrame::Type::Kickout:
            // A sign-in still waiting for its result is refused by the kick-out.
            Close(State::Kicked, kKickedDuringLogin);
            Call(Copy(&Registered::kickout),
                 {{"client_type", frame.clientType}, {"reason_code", frame.reasonCode}});
            break;
        case NimFrame::Type::LogoutResult:
            if (m_state == State::LoggingOut) {
                FinishLogout();
            }
            break;
        case NimFrame::Type::Unknown:
            break;
        }
    }

    void OnLoginResult(int code)
    {
        // Only a sign-in waiting on the link has a result to hear; any other is a repeat or a stray.
        if (m_state != State::Connecting) {
            return;
        }
        const bool relogin = m_reconnecting;
        m_reconnecting = false;
        if (code == 200) {
            m_state = State::Online;
            m_retryMs = m_firstRetryMs;
            m_awaitingPongs = 0;
            Ping()->start(m_pingIntervalMs);
            if (relogin) {
                Call(Copy(&Registered::relogin), LoginResult(200, 3, true, false));
            } else {
                ReportLogin(200, 3);
            }
            return;
        }
        if (relogin) {
            Close(State::Idle);
            Call(Copy(&Registered::relogin), LoginResult(code, 3, true, false));
        } else {
            Close(State::Idle, code);
        }
    }

    void FinishLogout() { Close(State::Idle); }

    void OnDisconnected()
    {
        switch (m_state) {
        case State::LoggingOut:
            FinishLogout();
            break;
        case State::Online:
            Close(State::Connecting);
            Call(Copy(&Registered::disconnect), {{"err_code", 200}});
            ScheduleRetry();
            break;
        case State::Connecting:
            if (m_reconnecting) {
                ScheduleRetry();
            } else {
                Close(State::Idle, 408);
            }
            break;
        case State::Idle:
        case State::Kicked:
            break;
        }
    }

    void ScheduleRetry()
    {
        m_reconnecting = true;
        Retry()->start(m_retryMs);
        m_retryMs = std::min(m_retryMs * 2, 30000);
    }

    QString m_server;
    int m_pingIntervalMs;
    int m_firstRetryMs;
    int m_retryMs = 1000;
    QString m_appKey;
    QString m_account;
    QString m_token;
    Callback m_loginCallback;
    Callback m_logoutCallback;
    State m_state = State::Idle;
    bool m_reconnecting = false;
    int m_awaitingPongs = 0;
    QWebSocket* m_socket = nullptr;
    QTimer* m_retry = nullptr;
    QTimer* m_ping = nullptr;
};

// The library's thread and its session; made by the first successful initialisation and kept
// until the process ends.
struct Library
{
    QThread* thread = nullptr;
    QPointer<Session> session;
};

std::mutex g_libraryMutex;
Library* g_library = nullptr;

Session* TheSession()
{
    const std::lock_guard lock(g_libraryMutex);
    return g_library != nullptr ? g_library->session.data() : nullptr;
}

template <typename Work>
bool OnLibraryThread(Work work)
{
    Session* session = TheSession();
    if (session == nullptr) {
        return false;
    }
    return QMetaObject::invokeMethod(
        session, [session, work] { work(session); }, Qt::QueuedConnection);
}

void GiveThreadASignalStack()
{
    constexpr std::size_t kSize = std::size_t{128} * 1024;
    void* memory = ::mmap(nullptr, kSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) {
        return;
    }
    stack_t stack{};
    stack.ss_sp = memory;
    stack.ss_size = kSize;
    if (::sigaltstack(&stack, nullptr) != 0) {
        ::munmap(memory, kSize);
    }
}

QString Text(const char* text)
{
    return text != nullptr ? QString::fromUtf8(text) : QString();
}

} // namespace

extern "C" {

bool nim_client_init(const char* /*app_data_dir*/, const char* /*app_install_dir*/,
                     const char* json_extension)
{
    const Json::Value config =
        JsonReader::Parse(json_extension != nullptr ? json_extension : "").value_or(Json::Value());
    const QString server = QString::fromStdString(JsonReader::TextOf(config, "server_address"));
    if (JsonReader::TextOf(config, "app_key").empty() || !QUrl(server).isValid() || server.isEmpty()) {
        return false;
    }
    const Json::Value& global = JsonReader::MemberOf(config, "global_config");
    const std::lock_guard lock(g_libraryMutex);
    if (g_library != nullptr) {
        return true;
    }
    g_library = new Library;
    g_library->thread = new QThread;
    g_library->thread->setObjectName(QStringLiteral("nim"));
    // An alternate signal stack of the thread's own, so that the client's crash handler can report
    // a stack overflow here too.
    QObject::connect(
        g_library->thread, &QThread::started, g_library->thread, [] { GiveThreadASignalStack(); },
        Qt::DirectConnection);
    auto* session = new Session(server, JsonReader::IntOf(global, "ping_interval_ms", 10000),
                                JsonReader::IntOf(global, "relogin_first_delay_ms", 1000));
    session->moveToThread(g_library->thread);
    g_library->session = session;
    g_library->thread->start();
    return true;
}

void nim_client_login(const char* app_key, const char* account, const char* token,
                      const char* /*json_extension*/, nim_json_transport_cb_func cb, const void* user_data)
{
    const Callback callback{cb, user_data};
    const QString key = Text(app_key);
    const QString name = Text(account);
    const QString secret = Text(token);
    if (!OnLibraryThread([=](Session* session) { session->Login(key, name, secret, callback); })) {
        Call(callback, LoginResult(1000, 3, false, false));
    }
}

void nim_client_logout(int /*logout_type*/, const char* /*json_extension*/, nim_json_transport_cb_func cb,
                       const void* user_data)
{
    const Callback callback{cb, user_data};
    if (!OnLibraryThread([=](Session* session) { session->Logout(callback); })) {
        Call(callback, {{"err_code", 200}});
    }
}

void nim_client_reg_disconnect_cb(const char*, nim_json_transport_cb_func cb, const void* user_data)
{
    Store(&Registered::disconnect, Callback{cb, user_data});
}

void nim_client_reg_kickout_cb(const char*, nim_json_transport_cb_func cb, const void* user_data)
{
    Store(&Registered::kickout, Callback{cb, user_data});
}

void nim_client_reg_auto_relogin_cb(const char*, nim_json_transport_cb_func cb, const void* user_data)
{
    Store(&Registered::relogin, Callback{cb, user_data});
}

void nim_talk_reg_receive_cb(const char*, nim_talk_receive_cb_func cb, const void* user_data)
{
    Store(&Registered::receive, TalkCallback{cb, user_data});
}

void nim_talk_reg_receive_msgs_cb(const char*, nim_talk_receive_cb_func cb, const void* user_data)
{
    Store(&Registered::receiveMany, TalkCallback{cb, user_data});
}

char* nim_tool_get_uuid(void)
{
    return strdup(QUuid::createUuid().toString(QUuid::WithoutBraces).toUtf8().constData());
}

void nim_global_free_buf(void* data)
{
    std::free(data);
}

} // extern "C"
