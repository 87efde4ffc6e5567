#include "platform/Keyring.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>

#include <qt6keychain/keychain.h>

namespace Keyring {

namespace {

const QString kService = QStringLiteral("Examora");

// A session bus to ask: named by the environment or at its standard place. Without one, the
// keyring library would try to launch a bus of its own, which takes time and helps nobody.
bool HasSessionBus()
{
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
        return true;
    }
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo(runtime + QStringLiteral("/bus")).exists();
}

// Runs the job on a loop of its own until it finishes or the time is up.
Result Run(QKeychain::Job* job)
{
    job->setAutoDelete(true);
    job->setInsecureFallback(false);
    Result result;
    QEventLoop loop;
    bool finished = false;
    QObject::connect(job, &QKeychain::Job::finished, &loop, [&](QKeychain::Job* done) {
        finished = true;
        switch (done->error()) {
        case QKeychain::NoError:
            result.status = Status::Ok;
            if (auto* read = qobject_cast<QKeychain::ReadPasswordJob*>(done)) {
                result.secret = read->textData();
            }
            break;
        case QKeychain::EntryNotFound:
            result.status = Status::NotFound;
            break;
        case QKeychain::NoBackendAvailable:
            result.status = Status::NoKeyring;
            result.error = done->errorString();
            break;
        default:
            result.status = Status::Failed;
            result.error = done->errorString();
            break;
        }
        loop.quit();
    });
    QTimer::singleShot(kTimeoutMs, &loop, &QEventLoop::quit);
    job->start();
    if (!finished) {
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    if (!finished) {
        result.status = Status::Failed;
        result.error = QStringLiteral("the keyring did not answer within %1 ms").arg(kTimeoutMs);
    }
    return result;
}

// Null when no keyring can be asked from here.
template <typename Job>
Job* MakeJob(const QString& key, Result& refusal)
{
    if (QCoreApplication::instance() == nullptr) {
        refusal.error = QStringLiteral("no application object to wait for the keyring on");
        return nullptr;
    }
    if (!HasSessionBus()) {
        refusal.error = QStringLiteral("no session bus");
        return nullptr;
    }
    auto* job = new Job(kService);
    job->setKey(key);
    return job;
}

} // namespace

Result Read(const QString& key)
{
    Result refusal;
    auto* job = MakeJob<QKeychain::ReadPasswordJob>(key, refusal);
    return job != nullptr ? Run(job) : refusal;
}

Result Write(const QString& key, const QString& secret)
{
    Result refusal;
    auto* job = MakeJob<QKeychain::WritePasswordJob>(key, refusal);
    if (job == nullptr) {
        return refusal;
    }
    job->setTextData(secret);
    return Run(job);
}

Result Remove(const QString& key)
{
    Result refusal;
    auto* job = MakeJob<QKeychain::DeletePasswordJob>(key, refusal);
    if (job == nullptr) {
        return refusal;
    }
    Result result = Run(job);
    if (result.status == Status::NotFound) {
        result.status = Status::Ok;
    }
    return result;
}

} // namespace Keyring
