#pragma once

#include <QString>

#include <string>

// The service addresses and keys the client uses, filled once at start-up from the compiled-in
// values and the environment profile of OrvaLogConf.ini, and only read afterwards. UTF-8.
struct EnvironmentSettings
{
    std::string offcieDomain; // sign-on API root
    std::string homePageUrl;  // question-bank web host root
    std::string tikuDomain;   // analytics API root
    std::string updateUrl;    // version-check address; empty: no check
    std::string imServer;     // IM server address (WebSocket)
    std::string imAppKey;
    std::string signSecret;
};

// The process-wide record.
[[nodiscard]] const EnvironmentSettings& GetEnvironmentSettings();

// The compiled-in values, before any profile.
[[nodiscard]] EnvironmentSettings CompiledInEnvironmentSettings();

// Resets the record to the compiled-in values, then replaces the address fields from the profile
// that "envIndex" of section "global" selects (0 local, 1 test, 2 rd, 3 pro; no key or any other
// value: no profile). Writes no log lines: it runs before the log starts.
void LoadEnvironmentSettings();

// The profile name for an envIndex, or an empty text.
[[nodiscard]] QString ProfileName(int envIndex);

// The application folder, ending in "/".
[[nodiscard]] QString GetExeDir();

// GetExeDir() + "OrvaLogConf.ini".
[[nodiscard]] QString GetLogConfPath();

// Readers of OrvaLogConf.ini with the profile functions' rules (strings at most 259 units).
[[nodiscard]] int GetLogConfInt(const QString& section, const QString& key, int defaultValue);
[[nodiscard]] QString GetLogConfString(const QString& section, const QString& key,
                                       const QString& defaultValue);

// The program's version, "%d.%d.%d.%d", compiled in from the build's project version.
[[nodiscard]] std::string GetFileVersionString();
[[nodiscard]] std::string GetProductVersionString();
