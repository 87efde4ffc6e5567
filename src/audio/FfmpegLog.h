#pragma once

#include <cstdarg>

// Sends FFmpeg's own messages (the stream summary of an opened input, complaints about damaged
// data) to our log instead of a standard error stream nobody reads. Safe to call more than once.
namespace FfmpegLog {

void RouteOnce();

// The callback FFmpeg calls for each piece of a message.
void Forward(void* context, int level, const char* format, va_list arguments);

} // namespace FfmpegLog
