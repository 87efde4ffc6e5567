#pragma once

#include <QString>

// The per-user folders of the XDG base directory rules.
namespace XdgPaths {

// $XDG_CONFIG_HOME when it is an absolute path, else ~/.config; no trailing "/".
[[nodiscard]] QString ConfigHome();

// $XDG_RUNTIME_DIR when it is an absolute path, else an empty text.
[[nodiscard]] QString RuntimeDir();

} // namespace XdgPaths
