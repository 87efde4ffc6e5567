#pragma once

#include <csignal>

// The last resort when the process crashes (SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, or
// std::terminate): a text crash report in the application folder's "dump/" named after the local
// time ("YYYYMMDD_HHMMSS.dmp") with the signal, fault address, registers, the crashing thread's
// frames and the loaded modules; then a new copy of the program is started with the arguments
// "/AppCrash" and the report's path; then the signal's default action ends the process.
// The handler uses only async-signal-safe calls and runs on an alternate stack, so a stack
// overflow is reported too.

// Installs the handlers for the process. Call once, early, on the main thread.
bool InstallCrashHandler();

// The signal handler itself (exposed for the record; it is installed by InstallCrashHandler).
void OnUnhandledException(int signal, siginfo_t* info, void* context);
