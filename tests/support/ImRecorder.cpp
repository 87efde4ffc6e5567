#include "ImRecorder.h"

ImRecorder::ImRecorder()
{
    auto& sdk = nim::SDKInstance::Get();
    sdk.RegDisconnectCb([this] {
        const std::lock_guard lock(mutex);
        ++disconnects;
    });
    sdk.RegKickoutCb([this](const nim::KickoutRes& kickout) {
        const std::lock_guard lock(mutex);
        kickouts.push_back(kickout);
    });
    sdk.RegAutoReloginCb([this](const nim::LoginRes& result) {
        const std::lock_guard lock(mutex);
        relogins.push_back(result);
    });
    sdk.RegReceiveCb([this](const nim::IMMessage& message) {
        const std::lock_guard lock(mutex);
        messages.push_back(message.content_);
    });
    sdk.RegReceiveMessagesCb([this](const std::vector<nim::IMMessage>& batch) {
        const std::lock_guard lock(mutex);
        std::vector<std::string> bodies;
        for (const auto& message : batch) {
            bodies.push_back(message.content_);
        }
        batches.push_back(bodies);
    });
}

ImRecorder::~ImRecorder()
{
    auto& sdk = nim::SDKInstance::Get();
    sdk.RegDisconnectCb({});
    sdk.RegKickoutCb({});
    sdk.RegAutoReloginCb({});
    sdk.RegReceiveCb({});
    sdk.RegReceiveMessagesCb({});
}

bool ImRecorder::StartLogin(const std::string& appKey, const std::string& account, const std::string& token)
{
    {
        const std::lock_guard lock(mutex);
        logins.clear();
    }
    return nim::SDKInstance::Get().Login(appKey, account, token, [this](const nim::LoginRes& result) {
        const std::lock_guard lock(mutex);
        logins.push_back(result);
    });
}

int ImRecorder::FinalLoginCode()
{
    Until([&] { return !logins.empty() && logins.back().login_step_ == 3; });
    const std::lock_guard lock(mutex);
    return logins.empty() || logins.back().login_step_ != 3 ? -1 : logins.back().res_code_;
}

int ImRecorder::Logout(int type)
{
    std::size_t before = 0;
    {
        const std::lock_guard lock(mutex);
        before = logouts.size();
    }
    nim::SDKInstance::Get().Logout(type, [this](int code) {
        const std::lock_guard lock(mutex);
        logouts.push_back(code);
    });
    if (!Until([&] { return logouts.size() > before; })) {
        return -1;
    }
    const std::lock_guard lock(mutex);
    return logouts.back();
}
