#include "audio/FfmpegLog.h"

#include "diag/Log.h"

extern "C" {
#include <libavutil/log.h>
}

#include <cstdarg>
#include <mutex>
#include <string>

namespace FfmpegLog {

// FFmpeg writes a line in pieces; each thread gathers its pieces until the line ends.
void Forward(void* context, int level, const char* format, va_list arguments)
{
    if (level > AV_LOG_INFO) {
        return;
    }
    thread_local std::string pending;
    thread_local int printPrefix = 1;
    char piece[1024];
    av_log_format_line2(context, level, format, arguments, piece, sizeof(piece), &printPrefix);
    pending += piece;
    const bool lineEnded = !pending.empty() && pending.back() == '\n';
    if (!lineEnded && pending.size() < 4096) {
        return;
    }
    if (lineEnded) {
        pending.pop_back();
    }
    if (level <= AV_LOG_WARNING) {
        LOG_WARN << pending;
    } else {
        LOG_DEBUG << pending;
    }
    pending.clear();
}

void RouteOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_callback(&Forward); });
}

} // namespace FfmpegLog
