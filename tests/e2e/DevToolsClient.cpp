#include "DevToolsClient.h"

#include "TestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTcpServer>
#include <QWebSocket>

using TestSupport::WaitFor;
using namespace std::chrono_literals;

int DevToolsClient::FreePort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort();
}

std::pair<QString, QString> DevToolsClient::Page()
{
    QNetworkAccessManager network;
    QNetworkReply* reply =
        network.get(QNetworkRequest(QUrl(QStringLiteral("http://127.0.0.1:%1/json").arg(m_port))));
    reply->setParent(&network);
    WaitFor([&] { return reply->isFinished(); }, 5s);
    if (reply->error() != QNetworkReply::NoError) {
        return {};
    }
    for (const QJsonValue& page : QJsonDocument::fromJson(reply->readAll()).array()) {
        if (page[QLatin1String("type")].toString() == QLatin1String("page")) {
            return {page[QLatin1String("webSocketDebuggerUrl")].toString(),
                    page[QLatin1String("url")].toString()};
        }
    }
    return {};
}

QString DevToolsClient::PageUrl()
{
    return Page().second;
}

QJsonValue DevToolsClient::Evaluate(const QString& expression)
{
    const QString socketUrl = Page().first;
    if (socketUrl.isEmpty()) {
        return {};
    }
    QWebSocket socket;
    QJsonValue result;
    bool answered = false;
    QObject::connect(&socket, &QWebSocket::textMessageReceived, [&](const QString& text) {
        const QJsonObject message = QJsonDocument::fromJson(text.toUtf8()).object();
        if (message[QLatin1String("id")].toInt() == 1) {
            result = message[QLatin1String("result")][QLatin1String("result")][QLatin1String("value")];
            answered = true;
        }
    });
    socket.open(QUrl(socketUrl));
    if (!WaitFor([&] { return socket.state() == QAbstractSocket::ConnectedState; }, 5s)) {
        return {};
    }
    const QJsonObject call{
        {"id", 1},
        {"method", "Runtime.evaluate"},
        {"params", QJsonObject{{"expression", expression}, {"returnByValue", true}, {"awaitPromise", true}}}};
    socket.sendTextMessage(QString::fromUtf8(QJsonDocument(call).toJson(QJsonDocument::Compact)));
    WaitFor([&] { return answered; }, 10s);
    socket.close();
    return result;
}

bool DevToolsClient::WaitForPage(const std::function<bool(const QString&)>& accept, int timeoutMs, int pollMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
        const QString url = PageUrl();
        if (!url.isEmpty() && accept(url) &&
            Evaluate(QStringLiteral("document.readyState")).toString() == QLatin1String("complete")) {
            return true;
        }
        WaitFor([] { return false; }, std::chrono::milliseconds(pollMs));
    }
    return false;
}
