#pragma once

#include <QString>

#include <sys/types.h>

// The processes of the machine, as /proc lists them.
namespace ProcessList {

// The id of the first process (in ascending id order) whose executable's base name equals the
// given name ignoring case; 0 when none does. Processes whose executable cannot be read (those of
// other users) are skipped. The caller itself is in the list.
[[nodiscard]] pid_t FindProcessIdByName(const QString& baseName,
                                        const QString& procRoot = QStringLiteral("/proc"));

} // namespace ProcessList
