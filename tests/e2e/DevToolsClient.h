#pragma once

#include <QJsonValue>
#include <QString>

#include <functional>

// The Chrome DevTools protocol of a Qt WebEngine process started with
// QTWEBENGINE_REMOTE_DEBUGGING=127.0.0.1:<port>: the page's address, and script run in it.
class DevToolsClient
{
public:
    explicit DevToolsClient(int port)
        : m_port(port)
    {
    }

    // A free port on the loopback address, for a process about to be started.
    [[nodiscard]] static int FreePort();
    [[nodiscard]] int Port() const { return m_port; }

    // The page's address, or an empty text while there is no page.
    QString PageUrl();
    // Runs script in the page and gives its value (returned by value, promises awaited).
    QJsonValue Evaluate(const QString& expression);
    // Waits until the page's address is accepted and its document complete.
    bool WaitForPage(const std::function<bool(const QString& url)>& accept, int timeoutMs = 30000,
                     int pollMs = 100);

private:
    // The page's WebSocket address and its address, or empty texts.
    std::pair<QString, QString> Page();

    int m_port;
};
