#pragma once

#include "im/NimTypes.h"

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <tuple>
#include <vector>

// The client's side of the IM library (libnim.so): loads it from the application folder, finds
// each function by name once, and turns the library's C callbacks and JSON results into callables
// and records. Callables run on the library's thread. A function the library lacks is reported on
// standard output and its call does nothing.
namespace nim {

using LoginCallback = std::function<void(const LoginRes&)>;
using LogoutCallback = std::function<void(int code)>;
using DisconnectCallback = std::function<void()>;
using KickoutCallback = std::function<void(const KickoutRes&)>;
using ReceiveCallback = std::function<void(const IMMessage&)>;
using ReceiveMessagesCallback = std::function<void(const std::vector<IMMessage>&)>;

class SDKInstance
{
public:
    // The one instance of the process.
    static SDKInstance& Get();

    // Loads installFolder + libraryName (the application folder when installFolder is empty) and
    // initialises the library with the JSON configuration; false when either fails.
    bool Init(const std::string& installFolder, const std::string& dataFolder, const std::string& configJson,
              const std::string& libraryName = "libnim.so");

    // False (and no call) for an empty app key, account or token.
    bool Login(const std::string& appKey, const std::string& account, const std::string& token,
               LoginCallback callback);
    void Logout(int logoutType, LogoutCallback callback);
    // Each replaces the callable registered before for its event.
    void RegDisconnectCb(DisconnectCallback callback);
    void RegKickoutCb(KickoutCallback callback);
    void RegAutoReloginCb(LoginCallback callback);
    void RegReceiveCb(ReceiveCallback callback);
    void RegReceiveMessagesCb(ReceiveMessagesCallback callback);
    [[nodiscard]] std::string GetUuid();

    // The library's function of that name, looked up once; null (after a line on standard output)
    // when the library lacks it.
    void* Function(const char* name);

    // The registered callables, for the library's callbacks.
    struct Registered
    {
        DisconnectCallback disconnect;
        KickoutCallback kickout;
        LoginCallback relogin;
        ReceiveCallback receive;
        ReceiveMessagesCallback receiveMany;
    };
    [[nodiscard]] Registered Callbacks() const;

    // The one-shot callable (login or logout) that the library's user data stands for: a copy
    // while more results are to come, taken out with the last one; empty once it is gone.
    template <typename Callable>
    Callable TakePending(const void* user, bool last);

private:
    SDKInstance() = default;
    // Keeps a one-shot callable and returns the number the library carries as its user data.
    template <typename Callable>
    const void* Park(Callable callback);
    // Stores the callable for an event and hands the library the event's trampoline.
    template <typename Callable, typename RegisterFunctionType, typename Trampoline>
    void Register(Callable Registered::*slot, Callable callback, const char* function, Trampoline trampoline);

    mutable std::mutex m_mutex;
    void* m_library = nullptr;
    std::map<std::string, void*> m_functions;
    Registered m_registered;
    std::tuple<std::map<std::uintptr_t, LoginCallback>, std::map<std::uintptr_t, LogoutCallback>> m_pending;
    std::uintptr_t m_lastPending = 0;
};

} // namespace nim
