#pragma once

class QWebEngineProfile;

// The process's web engine: a persistent profile (cookies, storage and cache kept between runs
// below the user's data and cache folders) whose pages all get the page bridge's script at
// document creation. InitWebEngine checks first that the engine can run at all; when it cannot
// (its helper program or resources missing), it says so on standard error, in the log at ERROR
// and in a message box, and answers false.
bool InitWebEngine();

// The client's profile, made on first use (the first page); lives until ReleaseClientWebProfile.
[[nodiscard]] QWebEngineProfile* ClientWebProfile();

// Lets the profile go once no page uses it any more, so that the engine writes out what it keeps
// (cookies among them) before the process ends.
void ReleaseClientWebProfile();

// The name under which the bridge object is published on each page's web channel.
inline constexpr char kBridgeObjectName[] = "examora";
