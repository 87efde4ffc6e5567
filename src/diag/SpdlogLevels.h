#pragma once

#include "diag/LogSeverity.h"

#include <spdlog/common.h>

#include <algorithm>

// Our severities on spdlog's levels: VERB is trace, FATAL is critical, a configured level of 0
// (or less) is off.
namespace SpdlogLevels {

[[nodiscard]] inline spdlog::level::level_enum FromConfigured(int level)
{
    constexpr spdlog::level::level_enum kLevels[] = {
        spdlog::level::off,  spdlog::level::critical, spdlog::level::err,  spdlog::level::warn,
        spdlog::level::info, spdlog::level::debug,    spdlog::level::trace};
    return kLevels[std::clamp(level, 0, 6)];
}

[[nodiscard]] inline spdlog::level::level_enum FromSeverity(LogSeverity severity)
{
    return FromConfigured(static_cast<int>(severity));
}

[[nodiscard]] inline LogSeverity ToSeverity(spdlog::level::level_enum level)
{
    for (int severity = 1; severity <= 6; ++severity) {
        if (FromConfigured(severity) == level) {
            return static_cast<LogSeverity>(severity);
        }
    }
    return LogSeverity::None;
}

} // namespace SpdlogLevels
