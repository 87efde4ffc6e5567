#include "platform/ShellOpen.h"

#include <QFileInfo>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

// Starts program (looked up in PATH) with one argument; the process id, or -1.
pid_t Spawn(const std::string& program, const std::string& argument)
{
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    if (!argument.empty()) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) {
        return -1;
    }
    return pid;
}

// Starts a program of its own: a session of its own, nothing of ours on its standard streams, so
// that it outlives us and whatever read our output (the installer that the client starts before it
// ends). The process id, or -1.
pid_t SpawnDetached(const std::string& program)
{
    posix_spawn_file_actions_t files;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&files);
    posix_spawnattr_init(&attributes);
    posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&files, 2, "/dev/null", O_WRONLY, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    char* const argv[] = {const_cast<char*>(program.c_str()), nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), &files, &attributes, argv, environ) != 0) {
        pid = -1;
    }
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&files);
    return pid;
}

bool Succeeded(pid_t pid)
{
    int status = 0;
    pid_t waited = 0;
    do {
        waited = waitpid(pid, &status, 0);
    } while (waited < 0 && errno == EINTR);
    return waited == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A started program that nobody waits for would stay a zombie: reap it in the background.
void ReapInBackground(pid_t pid)
{
    std::thread([pid] { Succeeded(pid); }).detach();
}

bool IsExecutableFile(const QString& target)
{
    const QFileInfo info(target);
    return target.startsWith(QLatin1Char('/')) && info.isFile() && info.isExecutable();
}

} // namespace

namespace ShellOpen {

std::future<bool> Open(const QString& target, Mode mode)
{
    std::promise<bool> promise;
    auto result = promise.get_future();
    const std::string bytes = target.toLocal8Bit().toStdString();

    if (mode == Mode::AllowExecute && IsExecutableFile(target)) {
        const pid_t pid = SpawnDetached(bytes);
        if (pid > 0) {
            ReapInBackground(pid);
        }
        promise.set_value(pid > 0);
        return result;
    }

    const pid_t first = Spawn("xdg-open", bytes);
    std::thread([first, bytes, promise = std::move(promise)]() mutable {
        if (first > 0 && Succeeded(first)) {
            promise.set_value(true);
            return;
        }
        for (const char* browser : {"x-www-browser", "sensible-browser"}) {
            const pid_t pid = Spawn(browser, bytes);
            if (pid > 0 && Succeeded(pid)) {
                promise.set_value(true);
                return;
            }
        }
        promise.set_value(false);
    }).detach();
    return result;
}

} // namespace ShellOpen
