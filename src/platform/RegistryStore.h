#pragma once

#include <QString>

#include <optional>

// The current user's registry as the client uses it: string values under key paths. Realised as
// one INI file per user, $XDG_CONFIG_HOME/Examora/registry.ini, where a key path is a section and a
// value name a key.
namespace RegistryStore {

// The registry's limit for the values the client reads: a 512-byte buffer of UTF-16 text with its
// terminator, so longer values are not found.
constexpr int kMaxValueUnits = 255;

[[nodiscard]] QString FilePath();

// False when the key path is empty or begins with a backslash, as the registry refuses those.
[[nodiscard]] bool IsValidKeyPath(const QString& keyPath);

[[nodiscard]] std::optional<QString> ReadString(const QString& keyPath, const QString& valueName);
// False with *error (when given) saying why when the value could not be stored.
[[nodiscard]] bool WriteString(const QString& keyPath, const QString& valueName, const QString& text,
                               QString* error = nullptr);
// False when the value did not exist.
[[nodiscard]] bool DeleteValue(const QString& keyPath, const QString& valueName);

} // namespace RegistryStore
