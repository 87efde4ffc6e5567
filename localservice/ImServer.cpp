#include "ImServer.h"

#include "platform/JsonReader.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUuid>
#include <QWebSocket>
#include <QWebSocketServer>

namespace {

void Send(QWebSocket* socket, const QJsonObject& frame)
{
    socket->sendTextMessage(QString::fromUtf8(QJsonDocument(frame).toJson(QJsonDocument::Compact)));
}

QJsonObject Message(const QString& body)
{
    return {{"msg_body", body},
            {"client_msg_id", QUuid::createUuid().toString(QUuid::WithoutBraces)},
            {"from_account", "system"},
            {"time", QDateTime::currentMSecsSinceEpoch()}};
}

} // namespace

ImServer::ImServer(LoginCheck check, QObject* parent)
    : QObject(parent)
    , m_check(std::move(check))
    , m_server(new QWebSocketServer(QStringLiteral("Examora IM"), QWebSocketServer::NonSecureMode, this))
{
    connect(m_server, &QWebSocketServer::newConnection, this, &ImServer::OnConnection);
}

ImServer::~ImServer()
{
    DropAll();
}

bool ImServer::Listen(quint16 port)
{
    return m_server->listen(QHostAddress::LocalHost, port);
}

quint16 ImServer::Port() const
{
    return m_server->serverPort();
}

QString ImServer::Url() const
{
    return QStringLiteral("ws://127.0.0.1:%1/").arg(Port());
}

void ImServer::OnConnection()
{
    while (QWebSocket* socket = m_server->nextPendingConnection()) {
        socket->setParent(this);
        connect(socket, &QWebSocket::textMessageReceived, this,
                [this, socket](const QString& frame) { OnFrame(socket, frame); });
        connect(socket, &QWebSocket::disconnected, this, [this, socket] { OnGone(socket); });
    }
}

void ImServer::OnFrame(QWebSocket* socket, const QString& frame)
{
    const Json::Value message = JsonReader::Parse(frame.toStdString()).value_or(Json::Value());
    const auto text = [&message](const char* key) {
        return QString::fromStdString(JsonReader::TextOf(message, key));
    };
    const QString type = text("type");
    if (type == QLatin1String("ping")) {
        if (m_answerPings) {
            Send(socket, {{"type", "pong"}});
        }
    } else if (type == QLatin1String("login")) {
        const QString account = text("account");
        if (m_scripts.contains(account)) {
            m_accountOf.insert(socket, account);
            for (const QString& scripted : m_scripts.take(account)) {
                socket->sendTextMessage(scripted);
            }
            return;
        }
        const int code = m_check(text("app_key"), account, text("token"));
        if (code != 200) {
            Send(socket, {{"type", "login_result"}, {"code", code}});
            return;
        }
        // One signed-in place per account: the older session goes.
        for (auto it = m_accountOf.begin(); it != m_accountOf.end(); ++it) {
            if (it.value() == account && it.key() != socket) {
                Send(it.key(), {{"type", "kickout"}, {"client_type", 1}, {"reason_code", 1}});
                it.value().clear();
                it.key()->close();
            }
        }
        m_accountOf.insert(socket, account);
        Send(socket, {{"type", "login_result"}, {"code", 200}});
        const QStringList queued = m_queued.take(account);
        if (!queued.isEmpty()) {
            QJsonArray batch;
            for (const QString& body : queued) {
                batch.append(Message(body));
            }
            Send(socket, {{"type", "msgs"}, {"msgs", batch}});
        }
    } else if (type == QLatin1String("logout") && m_answerLogouts) {
        m_accountOf.remove(socket);
        Send(socket, {{"type", "logout_result"}, {"code", 200}});
        socket->close();
    }
}

void ImServer::OnGone(QWebSocket* socket)
{
    m_accountOf.remove(socket);
    socket->deleteLater();
}

void ImServer::SendText(const QString& account, const QString& body, bool queueWhenAbsent)
{
    bool delivered = false;
    for (auto it = m_accountOf.cbegin(); it != m_accountOf.cend(); ++it) {
        if (it.value() == account) {
            Send(it.key(), {{"type", "msg"}, {"msg", Message(body)}});
            delivered = true;
        }
    }
    if (!delivered && queueWhenAbsent) {
        m_queued[account].append(body);
    }
}

void ImServer::Kick(const QString& account, int reasonCode)
{
    for (auto it = m_accountOf.begin(); it != m_accountOf.end(); ++it) {
        if (it.value() == account) {
            Send(it.key(), {{"type", "kickout"}, {"client_type", 1}, {"reason_code", reasonCode}});
            it.value().clear();
            it.key()->close();
        }
    }
}

void ImServer::Drop(const QString& account)
{
    const QList<QWebSocket*> sockets = m_accountOf.keys(account);
    for (QWebSocket* socket : sockets) {
        m_accountOf.remove(socket);
        socket->abort();
    }
}

void ImServer::DropAll()
{
    m_accountOf.clear();
    for (QWebSocket* socket : findChildren<QWebSocket*>()) {
        socket->abort();
    }
}

void ImServer::SendRawFrame(const QString& account, const QString& frame)
{
    for (auto it = m_accountOf.cbegin(); it != m_accountOf.cend(); ++it) {
        if (it.value() == account) {
            it.key()->sendTextMessage(frame);
        }
    }
}

void ImServer::ScriptLogin(const QString& account, const QStringList& frames)
{
    m_scripts.insert(account, frames);
}

int ImServer::LiveSessions(const QString& account) const
{
    int count = 0;
    for (auto it = m_accountOf.cbegin(); it != m_accountOf.cend(); ++it) {
        count += it.value() == account ? 1 : 0;
    }
    return count;
}
