#pragma once

#include <QString>

// The application folder: where the executable lives and where the files that ship beside it
// (skin/, resources/, OrvaLogConf.ini) and the files the client writes (orva.ini, Log/, dump/,
// updatebox/) are found.
namespace AppFolder {

// The folder of the running executable, ending in "/". An override, when set, wins.
[[nodiscard]] QString Path();

// The full path of the running executable.
[[nodiscard]] QString ExecutablePath();

// Replaces the folder for this process (an empty text restores the real one). For tests and for
// hosts that embed the client's core.
void Override(const QString& folder);

} // namespace AppFolder
