#include "im/SDKInstance.h"

#include "diag/Log.h"
#include "environment/Environment.h"

#include <dlfcn.h>

#include <cstdio>
#include <memory>

namespace nim {

namespace {

using JsonCallback = void (*)(const char* json, const void* user);
using TalkCallback = void (*)(const char* content, const char* extension, const void* user);

using InitFunction = bool (*)(const char*, const char*, const char*);
using LoginFunction = void (*)(const char*, const char*, const char*, const char*, JsonCallback, const void*);
using LogoutFunction = void (*)(int, const char*, JsonCallback, const void*);
using RegisterFunction = void (*)(const char*, JsonCallback, const void*);
using RegisterTalkFunction = void (*)(const char*, TalkCallback, const void*);
using UuidFunction = char* (*)();
using FreeFunction = void (*)(void*);

// One-shot callables stay with the wrapper; the library gets a number standing for them, so a
// result that arrives after the last one (a library or service that repeats itself) finds nothing
// to call instead of a freed callable.
void OnLogin(const char* json, const void* user)
{
    const LoginRes result = ParseLoginRes(json);
    const bool last = result.login_step_ >= 3 || result.res_code_ != 200;
    if (const LoginCallback callback = SDKInstance::Get().TakePending<LoginCallback>(user, last)) {
        callback(result);
    }
}

void OnLogout(const char* json, const void* user)
{
    if (const LogoutCallback callback = SDKInstance::Get().TakePending<LogoutCallback>(user, true)) {
        callback(ParseLogoutCode(json));
    }
}

void OnDisconnect(const char*, const void*)
{
    if (const auto callback = SDKInstance::Get().Callbacks().disconnect) {
        callback();
    }
}

void OnKickout(const char* json, const void*)
{
    if (const auto callback = SDKInstance::Get().Callbacks().kickout) {
        callback(ParseKickoutRes(json));
    }
}

void OnRelogin(const char* json, const void*)
{
    if (const auto callback = SDKInstance::Get().Callbacks().relogin) {
        callback(ParseLoginRes(json));
    }
}

void OnReceive(const char* content, const char*, const void*)
{
    if (const auto callback = SDKInstance::Get().Callbacks().receive) {
        callback(ParseMessage(content));
    }
}

void OnReceiveMany(const char* content, const char*, const void*)
{
    if (const auto callback = SDKInstance::Get().Callbacks().receiveMany) {
        callback(ParseMessages(content));
    }
}

} // namespace

SDKInstance& SDKInstance::Get()
{
    static SDKInstance instance;
    return instance;
}

bool SDKInstance::Init(const std::string& installFolder, const std::string& dataFolder,
                       const std::string& configJson, const std::string& libraryName)
{
    {
        const std::lock_guard lock(m_mutex);
        if (m_library == nullptr) {
            const std::string folder = installFolder.empty() ? GetExeDir().toStdString() : installFolder;
            m_library = dlopen((folder + libraryName).c_str(), RTLD_NOW | RTLD_LOCAL);
            if (m_library == nullptr) {
                LOG_ERROR << "cannot load the IM library:[" << dlerror() << "]";
                return false;
            }
        }
    }
    const auto init = reinterpret_cast<InitFunction>(Function("nim_client_init"));
    return init != nullptr && init(dataFolder.c_str(), installFolder.c_str(), configJson.c_str());
}

void* SDKInstance::Function(const char* name)
{
    const std::lock_guard lock(m_mutex);
    const auto found = m_functions.find(name);
    if (found != m_functions.end()) {
        return found->second;
    }
    void* address = m_library != nullptr ? dlsym(m_library, name) : nullptr;
    if (address == nullptr) {
        std::printf("function [ %s ] not found \n", name);
        std::fflush(stdout);
        return nullptr;
    }
    m_functions.emplace(name, address);
    return address;
}

bool SDKInstance::Login(const std::string& appKey, const std::string& account, const std::string& token,
                        LoginCallback callback)
{
    if (appKey.empty() || account.empty() || token.empty()) {
        return false;
    }
    const auto login = reinterpret_cast<LoginFunction>(Function("nim_client_login"));
    if (login == nullptr) {
        return false;
    }
    login(appKey.c_str(), account.c_str(), token.c_str(), "", &OnLogin, Park(std::move(callback)));
    return true;
}

void SDKInstance::Logout(int logoutType, LogoutCallback callback)
{
    if (const auto logout = reinterpret_cast<LogoutFunction>(Function("nim_client_logout"))) {
        logout(logoutType, "", &OnLogout, Park(std::move(callback)));
    }
}

template <typename Callable>
const void* SDKInstance::Park(Callable callback)
{
    const std::lock_guard lock(m_mutex);
    const std::uintptr_t key = ++m_lastPending;
    std::get<std::map<std::uintptr_t, Callable>>(m_pending).emplace(key, std::move(callback));
    // A number, never an address: a result that comes after its callable is gone finds no entry,
    // and a new callable never takes an old one's number.
    return reinterpret_cast<const void*>(key); // NOLINT(performance-no-int-to-ptr)
}

template <typename Callable>
Callable SDKInstance::TakePending(const void* user, bool last)
{
    const std::lock_guard lock(m_mutex);
    auto& parked = std::get<std::map<std::uintptr_t, Callable>>(m_pending);
    const auto found = parked.find(reinterpret_cast<std::uintptr_t>(user));
    if (found == parked.end()) {
        return {};
    }
    if (!last) {
        return found->second;
    }
    Callable callback = std::move(found->second);
    parked.erase(found);
    return callback;
}

template LoginCallback SDKInstance::TakePending<LoginCallback>(const void*, bool);
template LogoutCallback SDKInstance::TakePending<LogoutCallback>(const void*, bool);

template <typename Callable, typename RegisterFunctionType, typename Trampoline>
void SDKInstance::Register(Callable Registered::*slot, Callable callback, const char* function,
                           Trampoline trampoline)
{
    {
        const std::lock_guard lock(m_mutex);
        m_registered.*slot = std::move(callback);
    }
    if (const auto reg = reinterpret_cast<RegisterFunctionType>(Function(function))) {
        reg("", trampoline, nullptr);
    }
}

void SDKInstance::RegDisconnectCb(DisconnectCallback callback)
{
    Register<DisconnectCallback, RegisterFunction>(&Registered::disconnect, std::move(callback),
                                                   "nim_client_reg_disconnect_cb", &OnDisconnect);
}

void SDKInstance::RegKickoutCb(KickoutCallback callback)
{
    Register<KickoutCallback, RegisterFunction>(&Registered::kickout, std::move(callback),
                                                "nim_client_reg_kickout_cb", &OnKickout);
}

void SDKInstance::RegAutoReloginCb(LoginCallback callback)
{
    Register<LoginCallback, RegisterFunction>(&Registered::relogin, std::move(callback),
                                              "nim_client_reg_auto_relogin_cb", &OnRelogin);
}

void SDKInstance::RegReceiveCb(ReceiveCallback callback)
{
    Register<ReceiveCallback, RegisterTalkFunction>(&Registered::receive, std::move(callback),
                                                    "nim_talk_reg_receive_cb", &OnReceive);
}

void SDKInstance::RegReceiveMessagesCb(ReceiveMessagesCallback callback)
{
    Register<ReceiveMessagesCallback, RegisterTalkFunction>(&Registered::receiveMany, std::move(callback),
                                                            "nim_talk_reg_receive_msgs_cb", &OnReceiveMany);
}

SDKInstance::Registered SDKInstance::Callbacks() const
{
    const std::lock_guard lock(m_mutex);
    return m_registered;
}

std::string SDKInstance::GetUuid()
{
    const auto uuid = reinterpret_cast<UuidFunction>(Function("nim_tool_get_uuid"));
    const auto release = reinterpret_cast<FreeFunction>(Function("nim_global_free_buf"));
    if (uuid == nullptr) {
        return {};
    }
    char* text = uuid();
    std::string copy = text != nullptr ? text : "";
    if (release != nullptr && text != nullptr) {
        release(text);
    }
    return copy;
}

} // namespace nim
