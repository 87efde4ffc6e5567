#include "app/SingleInstance.h"

#include "diag/Log.h"
#include "platform/InstanceLock.h"

#include <QLocalServer>
#include <QLocalSocket>

#include <unistd.h>

namespace {

constexpr int kConnectTimeoutMs = 1000;
constexpr int kAnswerTimeoutMs = 3000;
const QByteArray kRaiseRequest = "raise\n";
const QByteArray kRaiseAnswer = "ok\n";

SingleInstance& ProcessInstance()
{
    static SingleInstance instance(InstanceLock::DefaultPath(), SingleInstance::DefaultServerName());
    return instance;
}

} // namespace

QString SingleInstance::DefaultServerName()
{
    return QStringLiteral("Examora-%1").arg(getuid());
}

SingleInstance::SingleInstance(const QString& lockPath, QString serverName)
    : m_lock(std::make_unique<InstanceLock>(lockPath))
    , m_serverName(std::move(serverName))
{
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::Check()
{
    switch (m_lock->TryAcquire()) {
    case InstanceLock::Result::Acquired:
        return true;
    case InstanceLock::Result::Unavailable:
        LOG_WARN << "lock file unusable, starting without the single-instance rule:[" << m_lock->Path()
                 << "]";
        return true;
    case InstanceLock::Result::HeldByAnother:
        break;
    }
    QLocalSocket socket;
    socket.connectToServer(m_serverName);
    if (!socket.waitForConnected(kConnectTimeoutMs)) {
        LOG_INFO << "another instance holds the lock but shows no window; starting anyway";
        return true;
    }
    socket.write(kRaiseRequest);
    socket.waitForBytesWritten(kAnswerTimeoutMs);
    while (!socket.canReadLine() && socket.waitForReadyRead(kAnswerTimeoutMs)) { }
    if (socket.readLine() != kRaiseAnswer) {
        LOG_WARN << "the running instance did not answer; starting anyway";
        return true;
    }
    LOG_INFO << "brought the running instance forward; leaving";
    return false;
}

bool SingleInstance::Listen(std::function<void()> raiseWindow)
{
    m_server = std::make_unique<QLocalServer>();
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // A socket file left by a crashed instance would make listen() fail; we hold the lock, so no
    // live first instance owns it.
    QLocalServer::removeServer(m_serverName);
    if (!m_server->listen(m_serverName)) {
        LOG_ERROR << "cannot listen for later starts:[" << m_server->errorString() << "]";
        m_server.reset();
        return false;
    }
    QObject::connect(m_server.get(), &QLocalServer::newConnection, m_server.get(),
                     [server = m_server.get(), raise = std::move(raiseWindow)] {
                         while (QLocalSocket* socket = server->nextPendingConnection()) {
                             QObject::connect(socket, &QLocalSocket::disconnected, socket,
                                              &QObject::deleteLater);
                             QObject::connect(socket, &QLocalSocket::readyRead, socket, [socket, raise] {
                                 if (!socket->canReadLine()) {
                                     return;
                                 }
                                 if (socket->readLine(64) == kRaiseRequest) {
                                     raise();
                                     socket->write(kRaiseAnswer);
                                     socket->flush();
                                 }
                                 socket->disconnectFromServer();
                             });
                         }
                     });
    return true;
}

bool CheckSingleInstance()
{
    return ProcessInstance().Check();
}

bool StartInstanceListener(std::function<void()> raiseWindow)
{
    return ProcessInstance().Listen(std::move(raiseWindow));
}
