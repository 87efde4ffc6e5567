#include "diag/CrashHandler.h"

#include "environment/Environment.h"
#include "platform/AppFolder.h"

#define UNW_LOCAL_ONLY
#include <libunwind.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <ucontext.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <ctime>
#include <exception>
#include <string>

namespace {

constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
constexpr int kMaxFrames = 64;

// Everything the handler needs is prepared at install time: it may not allocate.
std::string g_dumpFolder; // ends with "/"
std::string g_executable;
std::string g_version;
std::string g_historyPath; // the times of the last crashes
// The offsets from UTC of the local time zone from install time on: each applies from its start
// until the next one's (daylight-saving changes), so the handler finds the one of the crash
// without the time zone machinery.
struct ZoneOffset
{
    std::time_t start;
    long offset;
};
constexpr int kMaxZoneOffsets = 16;
ZoneOffset g_zoneOffsets[kMaxZoneOffsets] = {};
int g_zoneOffsetCount = 0;
// The thread that is writing the report, 0 while none is.
std::atomic<long> g_handlingThread{0};
char g_terminateReason[512] = {};
alignas(16) char g_alternateStack[256 * 1024];

// A report line builder on a fixed buffer that writes itself out when full.
class Writer
{
public:
    explicit Writer(int fd)
        : m_fd(fd)
    {
    }
    ~Writer() { Flush(); }
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    Writer& Text(const char* text)
    {
        for (; *text != '\0'; ++text) {
            Char(*text);
        }
        return *this;
    }
    Writer& Char(char c)
    {
        if (m_size == sizeof m_buffer) {
            Flush();
        }
        m_buffer[m_size++] = c;
        return *this;
    }
    Writer& Decimal(unsigned long long value, int minDigits = 1)
    {
        char digits[24];
        int count = 0;
        do {
            digits[count++] = static_cast<char>('0' + value % 10);
            value /= 10;
        } while (value != 0);
        for (int i = count; i < minDigits; ++i) {
            Char('0');
        }
        while (count > 0) {
            Char(digits[--count]);
        }
        return *this;
    }
    Writer& Signed(long long value)
    {
        if (value < 0) {
            Char('-');
            return Decimal(0ULL - static_cast<unsigned long long>(value));
        }
        return Decimal(static_cast<unsigned long long>(value));
    }
    Writer& Hex(unsigned long long value)
    {
        Text("0x");
        for (int shift = 60; shift >= 0; shift -= 4) {
            Char("0123456789abcdef"[(value >> shift) & 0xF]);
        }
        return *this;
    }
    void Flush()
    {
        std::size_t done = 0;
        while (done < m_size) {
            const ssize_t n = ::write(m_fd, m_buffer + done, m_size - done);
            if (n <= 0) {
                break;
            }
            done += static_cast<std::size_t>(n);
        }
        m_size = 0;
    }

private:
    int m_fd;
    char m_buffer[1024];
    std::size_t m_size = 0;
};

const char* SignalName(int signal)
{
    switch (signal) {
    case SIGSEGV:
        return "SIGSEGV";
    case SIGBUS:
        return "SIGBUS";
    case SIGFPE:
        return "SIGFPE";
    case SIGILL:
        return "SIGILL";
    case SIGABRT:
        return "SIGABRT";
    default:
        return "signal";
    }
}

struct CivilTime
{
    long long year;
    unsigned month, day, hour, minute, second;
};

// Seconds since the epoch (already shifted to local time) as a calendar date, without the time
// zone machinery of localtime, which may lock.
CivilTime ToCivil(long long seconds)
{
    long long days = seconds / 86400;
    long long rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    days += 719468;
    const long long era = (days >= 0 ? days : days - 146096) / 146097;
    const auto dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned mp = (5 * dayOfYear + 2) / 153;
    const unsigned day = dayOfYear - (153 * mp + 2) / 5 + 1;
    const unsigned month = mp < 10 ? mp + 3 : mp - 9;
    const long long year = static_cast<long long>(yearOfEra) + era * 400 + (month <= 2 ? 1 : 0);
    return {year,
            month,
            day,
            static_cast<unsigned>(rest / 3600),
            static_cast<unsigned>(rest / 60 % 60),
            static_cast<unsigned>(rest % 60)};
}

// Writes "YYYYMMDD_HHMMSS.dmp" after the folder into path (size bytes); false when it does not fit.
long OffsetAt(std::time_t when)
{
    long offset = g_zoneOffsetCount > 0 ? g_zoneOffsets[0].offset : 0;
    for (int i = 1; i < g_zoneOffsetCount && g_zoneOffsets[i].start <= when; ++i) {
        offset = g_zoneOffsets[i].offset;
    }
    return offset;
}

long LocalOffset(std::time_t when)
{
    std::tm local{};
    localtime_r(&when, &local);
    return local.tm_gmtoff;
}

// The offsets from now to a few years ahead: a look each day, and the second of each change found
// by halving.
void PrepareZoneOffsets(std::time_t now)
{
    constexpr std::time_t kDay = 86400;
    constexpr int kDays = 3 * 366;
    g_zoneOffsetCount = 0;
    g_zoneOffsets[g_zoneOffsetCount++] = {now, LocalOffset(now)};
    std::time_t previous = now;
    for (int day = 1; day <= kDays && g_zoneOffsetCount < kMaxZoneOffsets; ++day) {
        const std::time_t next = now + day * kDay;
        if (LocalOffset(next) == g_zoneOffsets[g_zoneOffsetCount - 1].offset) {
            previous = next;
            continue;
        }
        std::time_t low = previous;
        std::time_t high = next;
        while (high - low > 1) {
            const std::time_t middle = low + (high - low) / 2;
            (LocalOffset(middle) == g_zoneOffsets[g_zoneOffsetCount - 1].offset ? low : high) = middle;
        }
        g_zoneOffsets[g_zoneOffsetCount++] = {high, LocalOffset(high)};
        previous = next;
    }
}

// "YYYYMMDD_HHMMSS.dmp" for a moment, in the local time of that moment (name: 20 bytes).
void ReportName(std::time_t when, char* name)
{
    const CivilTime t = ToCivil(static_cast<long long>(when) + OffsetAt(when));
    int n = 0;
    auto put = [&](unsigned long long value, int digits) {
        for (int i = digits - 1; i >= 0; --i) {
            name[n + i] = static_cast<char>('0' + value % 10);
            value /= 10;
        }
        n += digits;
    };
    put(static_cast<unsigned long long>(t.year), 4);
    put(t.month, 2);
    put(t.day, 2);
    name[n++] = '_';
    put(t.hour, 2);
    put(t.minute, 2);
    put(t.second, 2);
    std::memcpy(name + n, ".dmp", 5);
}

// Writes the folder and the report's name into path (size bytes); false when it does not fit.
bool BuildReportPath(char* path, std::size_t size)
{
    char name[32];
    ReportName(::time(nullptr), name);
    if (g_dumpFolder.size() + std::strlen(name) + 1 > size) {
        return false;
    }
    std::memcpy(path, g_dumpFolder.c_str(), g_dumpFolder.size());
    std::memcpy(path + g_dumpFolder.size(), name, std::strlen(name) + 1);
    return true;
}

// mkdir of the folder and every missing parent.
void MakeFolders(const std::string& folder)
{
    char prefix[4096];
    if (folder.size() >= sizeof prefix) {
        return;
    }
    for (std::size_t i = 1; i <= folder.size(); ++i) {
        if (i == folder.size() || folder[i] == '/') {
            std::memcpy(prefix, folder.c_str(), i);
            prefix[i] = '\0';
            ::mkdir(prefix, 0700);
        }
    }
}

void WriteRegisters(Writer& out, const void* context)
{
    if (context == nullptr) {
        return;
    }
    out.Text("\nregisters:\n");
#if defined(__x86_64__)
    const auto& gregs = static_cast<const ucontext_t*>(context)->uc_mcontext.gregs;
    static constexpr std::pair<const char*, int> kRegisters[] = {
        {"rip", REG_RIP}, {"rsp", REG_RSP}, {"rbp", REG_RBP},   {"rax", REG_RAX}, {"rbx", REG_RBX},
        {"rcx", REG_RCX}, {"rdx", REG_RDX}, {"rsi", REG_RSI},   {"rdi", REG_RDI}, {"r8", REG_R8},
        {"r9", REG_R9},   {"r10", REG_R10}, {"r11", REG_R11},   {"r12", REG_R12}, {"r13", REG_R13},
        {"r14", REG_R14}, {"r15", REG_R15}, {"eflags", REG_EFL}};
    for (const auto& [name, index] : kRegisters) {
        out.Text("  ").Text(name).Text(" ").Hex(static_cast<unsigned long long>(gregs[index])).Char('\n');
    }
#elif defined(__aarch64__)
    const auto& mcontext = static_cast<const ucontext_t*>(context)->uc_mcontext;
    out.Text("  pc ").Hex(mcontext.pc).Text("\n  sp ").Hex(mcontext.sp).Char('\n');
    for (int i = 0; i < 31; ++i) {
        out.Text("  x").Decimal(static_cast<unsigned>(i)).Char(' ').Hex(mcontext.regs[i]).Char('\n');
    }
#else
    out.Text("  (not recorded on this architecture)\n");
#endif
}

// The instruction the signal interrupted, or 0 when the architecture is not known here.
unw_word_t InterruptedPc(const void* context)
{
    if (context == nullptr) {
        return 0;
    }
#if defined(__x86_64__)
    return static_cast<unw_word_t>(static_cast<const ucontext_t*>(context)->uc_mcontext.gregs[REG_RIP]);
#elif defined(__aarch64__)
    return static_cast<const ucontext_t*>(context)->uc_mcontext.pc;
#else
    return 0;
#endif
}

// The crashing thread's frames from the interrupted one on (all of them, the handler's own too,
// when that one is not found). Two walks, so that no cursor has to be kept: a cursor is a
// kilobyte of the small alternate stack.
void WriteFrames(Writer& out, unw_word_t interruptedPc)
{
    out.Text("\nframes:\n");
    unw_context_t context;
    unw_cursor_t cursor;
    if (unw_getcontext(&context) != 0 || unw_init_local(&cursor, &context) != 0) {
        out.Text("  (unwinding failed)\n");
        return;
    }
    int first = 0;
    int index = 0;
    do {
        unw_word_t ip = 0;
        if (interruptedPc != 0 && unw_get_reg(&cursor, UNW_REG_IP, &ip) == 0 && ip == interruptedPc) {
            first = index;
            break;
        }
    } while (++index < kMaxFrames && unw_step(&cursor) > 0);

    unw_init_local(&cursor, &context);
    index = 0;
    do {
        if (index < first) {
            continue;
        }
        // Addresses only: naming a frame reads symbol tables with the allocator, whose lock the
        // crashing thread may hold. The modules below turn them into names afterwards
        // (addr2line -f -e <module> <address - module start + offset>).
        unw_word_t ip = 0;
        unw_get_reg(&cursor, UNW_REG_IP, &ip);
        out.Text("  #").Decimal(static_cast<unsigned>(index - first)).Char(' ').Hex(ip).Char('\n');
    } while (++index < kMaxFrames && unw_step(&cursor) > 0);
}

void WriteModules(Writer& out)
{
    out.Text("\nmodules:\n");
    out.Flush();
    const int maps = ::open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
    if (maps < 0) {
        return;
    }
    char buffer[4096];
    ssize_t n = 0;
    while ((n = ::read(maps, buffer, sizeof buffer)) > 0) {
        for (ssize_t i = 0; i < n; ++i) {
            out.Char(buffer[i]);
        }
    }
    ::close(maps);
}

// A client that crashes again and again right after its restart would restart for ever: the third
// crash within a minute writes its report but starts nothing.
constexpr int kCrashLoopCrashes = 3;
constexpr std::time_t kCrashLoopSeconds = 60;

// Records this crash in the history file (decimal seconds, one line per crash, the last few only)
// and tells whether it completes a crash loop. Only system calls: it runs in the handler.
bool RecordCrashAndCheckForLoop(std::time_t now)
{
    std::time_t times[kCrashLoopCrashes] = {};
    int count = 0;
    char buffer[256];
    ssize_t length = 0;
    if (const int fd = ::open(g_historyPath.c_str(), O_RDONLY | O_CLOEXEC); fd >= 0) {
        length = ::read(fd, buffer, sizeof buffer);
        ::close(fd);
    }
    // Keeps the newest kCrashLoopCrashes - 1 times of the file, oldest first; garbage reads as 0.
    std::time_t value = 0;
    for (ssize_t i = 0; i < length; ++i) {
        if (buffer[i] >= '0' && buffer[i] <= '9' && value < std::time_t{1} << 40) {
            value = value * 10 + (buffer[i] - '0');
        } else if (buffer[i] == '\n') {
            if (count == kCrashLoopCrashes - 1) {
                for (int k = 1; k < count; ++k) {
                    times[k - 1] = times[k];
                }
                --count;
            }
            times[count++] = value;
            value = 0;
        }
    }
    times[count++] = now;

    int recent = 0;
    if (const int fd = ::open(g_historyPath.c_str(), O_CREAT | O_TRUNC | O_WRONLY | O_CLOEXEC, 0600);
        fd >= 0) {
        {
            Writer out(fd); // writes itself out when it goes
            for (int i = 0; i < count; ++i) {
                out.Decimal(static_cast<unsigned long long>(times[i] < 0 ? 0 : times[i])).Char('\n');
            }
        }
        ::close(fd);
    }
    for (int i = 0; i < count; ++i) {
        if (times[i] <= now && now - times[i] < kCrashLoopSeconds) {
            ++recent;
        }
    }
    return recent >= kCrashLoopCrashes;
}

// Creates the report file: the name of path, or when a report of that second exists (crashes in
// quick succession) the same name with "-2" to "-9" before ".dmp". path is changed to the name
// used; -1 when none could be made.
int CreateReportFile(char* path, std::size_t size)
{
    const std::size_t length = std::strlen(path);
    int fd = ::open(path, O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600);
    constexpr std::size_t kExtension = 4; // ".dmp"
    for (char n = '2'; fd < 0 && errno == EEXIST && n <= '9' && length + 3 <= size && length > kExtension;
         ++n) {
        char* const dot = path + length - kExtension;
        if (n == '2') {
            std::memmove(dot + 2, dot, kExtension + 1);
            dot[0] = '-';
        }
        dot[1] = n;
        fd = ::open(path, O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600);
    }
    return fd;
}

void WriteReport(char* path, std::size_t size, int signal, const siginfo_t* info, const void* context,
                 bool restart)
{
    const int fd = CreateReportFile(path, size);
    if (fd < 0) {
        return;
    }
    {
        Writer out(fd);
        out.Text("Examora crash report\nversion: ").Text(g_version.c_str()).Char('\n');
        out.Text("signal: ").Signed(signal).Text(" (").Text(SignalName(signal)).Text(")\n");
        if (info != nullptr) {
            out.Text("code: ").Signed(info->si_code).Char('\n');
            out.Text("fault address: ").Hex(reinterpret_cast<unsigned long long>(info->si_addr)).Char('\n');
        }
        out.Text("process: ").Signed(::getpid()).Text("\nthread: ").Signed(::syscall(SYS_gettid)).Char('\n');
        if (g_terminateReason[0] != '\0') {
            out.Text("reason: ").Text(g_terminateReason).Char('\n');
        }
        out.Text(restart ? "restart: yes\n" : "restart: no, the third crash within a minute\n");
        WriteRegisters(out, context);
        WriteFrames(out, InterruptedPc(context));
        WriteModules(out);
    }
    ::close(fd);
}

// Starts the new process without fork(): in a process with threads, glibc's fork takes the
// allocator's locks, which the crashing thread may hold. The child of vfork shares our memory
// until it calls execve, so it only clears its signal mask (the handler's mask would otherwise
// block the crashing signal in the new process) and calls execve.
void Restart(const char* reportPath)
{
    char* const argv[] = {const_cast<char*>(g_executable.c_str()), const_cast<char*>("/AppCrash"),
                          const_cast<char*>(reportPath), nullptr};
    sigset_t none;
    sigemptyset(&none);
    const pid_t child = ::vfork();
    if (child == 0) {
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::execve(g_executable.c_str(), argv, environ);
        ::_exit(127);
    }
}

void OnTerminate()
{
    const char* what = "std::terminate called";
    std::string text;
    if (const auto current = std::current_exception()) {
        try {
            std::rethrow_exception(current);
        } catch (const std::exception& exception) {
            text = std::string("uncaught exception: ") + exception.what();
            what = text.c_str();
        } catch (...) {
            what = "uncaught exception of unknown type";
        }
    }
    std::strncpy(g_terminateReason, what, sizeof g_terminateReason - 1);
    std::abort();
}

} // namespace

void OnUnhandledException(int signal, siginfo_t* info, void* context)
{
    const long thread = ::syscall(SYS_gettid);
    long none = 0;
    if (g_handlingThread.compare_exchange_strong(none, thread)) {
        char path[4096];
        if (BuildReportPath(path, sizeof path)) {
            MakeFolders(g_dumpFolder);
            const bool restart = !RecordCrashAndCheckForLoop(std::time(nullptr));
            WriteReport(path, sizeof path, signal, info, context, restart);
            if (restart) {
                Restart(path);
            }
        }
    } else if (none != thread) {
        // Another thread crashed too and is writing the report: wait for it to end the process.
        for (;;) {
            ::pause();
        }
    }
    // The default action ends the process once the handler returns: a fault re-runs the faulting
    // instruction, a raised signal is delivered again.
    struct sigaction action
    {
    };
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
    if (info == nullptr || info->si_code <= 0) {
        ::raise(signal);
    }
}

bool InstallCrashHandler()
{
    g_dumpFolder = AppFolder::Path().toStdString() + "dump/";
    g_executable = AppFolder::ExecutablePath().toStdString();
    g_version = GetFileVersionString();
    g_historyPath = g_dumpFolder + "crash-history";
    tzset();
    PrepareZoneOffsets(std::time(nullptr));

    // Resolve the unwinder's lazy parts now rather than inside the handler.
    unw_context_t context;
    unw_getcontext(&context);

    stack_t stack{};
    stack.ss_sp = g_alternateStack;
    stack.ss_size = sizeof g_alternateStack;
    bool ok = ::sigaltstack(&stack, nullptr) == 0;

    struct sigaction action
    {
    };
    action.sa_sigaction = &OnUnhandledException;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    for (const int signal : kSignals) {
        ok = ::sigaction(signal, &action, nullptr) == 0 && ok;
    }
    std::set_terminate(&OnTerminate);
    return ok;
}

namespace {

// A thread's own alternate stack, released when the thread ends.
class ThreadCrashStack
{
public:
    static constexpr std::size_t kSize = std::size_t{128} * 1024;

    ThreadCrashStack()
    {
        void* memory = ::mmap(nullptr, kSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (memory == MAP_FAILED) {
            return;
        }
        stack_t stack{};
        stack.ss_sp = memory;
        stack.ss_size = kSize;
        if (::sigaltstack(&stack, nullptr) != 0) {
            ::munmap(memory, kSize);
            return;
        }
        m_memory = memory;
    }
    ~ThreadCrashStack()
    {
        if (m_memory == nullptr) {
            return;
        }
        stack_t off{};
        off.ss_flags = SS_DISABLE;
        ::sigaltstack(&off, nullptr);
        ::munmap(m_memory, kSize);
    }
    ThreadCrashStack(const ThreadCrashStack&) = delete;
    ThreadCrashStack& operator=(const ThreadCrashStack&) = delete;
    [[nodiscard]] bool Ready() const { return m_memory != nullptr; }

private:
    void* m_memory = nullptr;
};

} // namespace

bool InstallThreadCrashStack()
{
    thread_local const ThreadCrashStack stack;
    return stack.Ready();
}

std::string CrashReportName(std::time_t when)
{
    char name[32];
    ReportName(when, name);
    return name;
}
