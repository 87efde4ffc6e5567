#pragma once

#include <cstdint>
#include <string>

// What the command line sets.
struct ServiceOptions
{
    int httpPort = 18080; // 0: any free port
    int imPort = 18081;
    std::string dbPath;        // empty: the per-user data folder
    std::string updateVersion; // empty: the client's own version, so no update is offered
    std::string updateFile;    // the installer served for download; empty: none is published
    std::string updateKey;     // Ed25519 private key (PEM) that signs it; empty: no signature is served
    std::int64_t smsLifetimeSeconds = 300;
    std::int64_t smsIntervalSeconds = 60; // shortest time between two codes to one number
};
