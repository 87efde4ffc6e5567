#pragma once

#include <QString>

// Start with the desktop session: the XDG autostart entry
// $XDG_CONFIG_HOME/autostart/orvaExamora.desktop whose Exec= names the executable.
namespace Autostart {

[[nodiscard]] QString EntryPath();

// True when the entry exists and its Exec= is not empty.
[[nodiscard]] bool IsEnabled();

// Writes (atomically) an entry that starts the given executable. On failure an entry there was is
// untouched and *error (when given) says why.
[[nodiscard]] bool Enable(const QString& executablePath, QString* error = nullptr);

// Deletes the entry; false when there was none or it could not be removed.
[[nodiscard]] bool Disable();

// The Exec= value for a program path, quoted and escaped by the desktop entry rules.
[[nodiscard]] QString ExecValue(const QString& executablePath);

} // namespace Autostart
