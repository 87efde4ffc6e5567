#pragma once

#include "ImServer.h"

#include <QMetaObject>

// The HTTP threads' way to the IM service, which lives on the main thread: each call is queued
// there and returns at once.
class ImChannel
{
public:
    explicit ImChannel(ImServer* server)
        : m_server(server)
    {
    }

    void SendText(const std::string& imAccount, const std::string& body, bool queueWhenAbsent)
    {
        Queue([account = QString::fromStdString(imAccount), text = QString::fromStdString(body),
               queueWhenAbsent](ImServer& server) { server.SendText(account, text, queueWhenAbsent); });
    }
    void Drop(const std::string& imAccount)
    {
        Queue([account = QString::fromStdString(imAccount)](ImServer& server) { server.Drop(account); });
    }
    void IgnoreNextLogin(const std::string& imAccount)
    {
        Queue([account = QString::fromStdString(imAccount)](ImServer& server) {
            server.ScriptLogin(account, {});
        });
    }
    void DropAll()
    {
        Queue([](ImServer& server) { server.DropAll(); });
    }

private:
    template <typename Action>
    void Queue(Action action)
    {
        // The server is the call's context: once it is gone, queued calls are dropped.
        QMetaObject::invokeMethod(
            m_server, [server = m_server, action = std::move(action)] { action(*server); },
            Qt::QueuedConnection);
    }

    ImServer* m_server;
};
