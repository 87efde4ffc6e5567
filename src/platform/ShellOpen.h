#pragma once

#include <QString>

#include <future>

// Hands an address or a file to the desktop: the user's default handler through xdg-open, then
// the browsers Debian registers (x-www-browser, sensible-browser) when that fails. Programs are
// started without a shell, so no character of the address is interpreted.
namespace ShellOpen {

enum class Mode
{
    // Addresses and documents only: an executable file is opened like any other file.
    OpenOnly,
    // A local file with the execute bit is started directly, detached (the downloaded installer).
    AllowExecute,
};

// Starts the first handler at once and returns without waiting for it; the fallbacks run on a
// background thread when a handler cannot be started or exits with a failure. The future tells
// whether some handler accepted the target; nobody has to wait for it.
std::future<bool> Open(const QString& target, Mode mode = Mode::OpenOnly);

} // namespace ShellOpen
