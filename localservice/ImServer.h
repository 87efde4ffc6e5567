#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class QWebSocket;
class QWebSocketServer;

// The IM service: clients connect over WebSocket and sign in with the app key, their account and
// the token the sign-on service issued; the service keeps one signed-in place per account (a new
// sign-in kicks the older session with reason 1), delivers text messages to an account's live
// sessions (queued ones as a batch at the next sign-in) and answers pings.
//
// Frames are JSON objects with a "type": from the client "login" {app_key, account, token},
// "ping", "logout"; from the service "login_result" {code}, "pong", "msg" {msg}, "msgs" {msgs},
// "kickout" {client_type, reason_code}, "logout_result" {code}. A message is {msg_body,
// client_msg_id, from_account, time}.
class ImServer final : public QObject
{
public:
    // Judges a sign-in: 200 to accept, 302 for a bad token, 403 for a refused account.
    using LoginCheck =
        std::function<int(const QString& appKey, const QString& account, const QString& token)>;

    explicit ImServer(LoginCheck check, QObject* parent = nullptr);
    ~ImServer() override;
    ImServer(const ImServer&) = delete;
    ImServer& operator=(const ImServer&) = delete;

    // Listens on 127.0.0.1 (port 0: any free port); false when the port is taken.
    bool Listen(quint16 port = 0);
    [[nodiscard]] quint16 Port() const;
    [[nodiscard]] QString Url() const;

    // A text message to every live session of the account; without one it is queued until the
    // next sign-in, or dropped when queueWhenAbsent is false.
    void SendText(const QString& account, const QString& body, bool queueWhenAbsent = true);
    // Ends the account's live sessions with a kick-out.
    void Kick(const QString& account, int reasonCode);
    // Drops connections without a word, as a network failure does: the account's, or all.
    void Drop(const QString& account);
    void DropAll();
    // Sends a frame as it is to the account's live sessions: clients must survive garbage.
    void SendRawFrame(const QString& account, const QString& frame);
    // The account's next sign-in is answered with these frames, sent as they are, instead of the
    // service's verdict: clients must survive repeated, reordered and stray results.
    void ScriptLogin(const QString& account, const QStringList& frames);
    [[nodiscard]] int LiveSessions(const QString& account) const;
    // Whether pings are answered (a service that stops answering them looks dead to clients).
    void SetAnswerPings(bool answer) { m_answerPings = answer; }
    // False: "logout" frames get no answer and leave the session as it is (a service that hangs).
    void SetAnswerLogouts(bool answer) { m_answerLogouts = answer; }

private:
    void OnConnection();
    void OnFrame(QWebSocket* socket, const QString& frame);
    void OnGone(QWebSocket* socket);

    LoginCheck m_check;
    QWebSocketServer* m_server;
    QHash<QWebSocket*, QString> m_accountOf;
    QHash<QString, QStringList> m_queued;
    QHash<QString, QStringList> m_scripts;
    bool m_answerPings = true;
    bool m_answerLogouts = true;
};
