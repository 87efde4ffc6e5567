#pragma once

#include <csignal>
#include <ctime>
#include <string>

// The last resort when the process crashes (SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, or
// std::terminate): a text crash report in the application folder's "dump/" named after the local
// time ("YYYYMMDD_HHMMSS.dmp") with the signal, fault address, registers, the crashing thread's
// frames and the loaded modules; then a new copy of the program is started with the arguments
// "/AppCrash" and the report's path, unless this is the third crash within a minute (a crash loop,
// counted in "dump/crash-history"); then the signal's default action ends the process. Reports of
// the same second are named "..._HHMMSS-2.dmp" and so on.
// The handler uses only async-signal-safe calls and runs on an alternate stack, so a stack
// overflow is reported too.

// Installs the handlers for the process. Call once, early, on the main thread.
bool InstallCrashHandler();

// Gives the calling thread its own alternate signal stack (the main thread has one from
// InstallCrashHandler), so that a stack overflow on it is reported too. Every thread the client
// starts calls it first; the stack goes with the thread.
bool InstallThreadCrashStack();

// The report's file name for a crash at that moment, in the local time of that moment (the time
// zone's changes from install time on are prepared by InstallCrashHandler).
[[nodiscard]] std::string CrashReportName(std::time_t when);

// The signal handler itself (exposed for the record; it is installed by InstallCrashHandler).
void OnUnhandledException(int signal, siginfo_t* info, void* context);
