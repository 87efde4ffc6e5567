#pragma once

#include <QString>

// The desktop's keyring (the Secret Service of GNOME Keyring or KWallet, through QtKeychain) for
// the client's credentials, under the service name "Examora". Each call waits for the keyring's
// answer, at most kTimeoutMs. Without a session bus, or with no keyring behind it, calls answer
// NoKeyring at once and callers keep their secrets where they kept them before.
namespace Keyring {

inline constexpr int kTimeoutMs = 5000;

enum class Status
{
    Ok,
    NotFound,  // the keyring answers but holds no such entry
    NoKeyring, // no session bus, or no keyring behind it
    Failed,    // the keyring refused or did not answer in time; error says why
};

struct Result
{
    Status status = Status::NoKeyring;
    QString secret; // Read only
    QString error;  // never holds a secret
};

[[nodiscard]] Result Read(const QString& key);
[[nodiscard]] Result Write(const QString& key, const QString& secret);
// Ok also when there was no such entry.
[[nodiscard]] Result Remove(const QString& key);

} // namespace Keyring
