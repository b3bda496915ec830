// Platform-free pieces of the library's log: level tags, the 254-character cut and the standard-output
// line. Pure functions, safe on any thread.
#pragma once

#include <stdarg.h>
#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

enum { LOG_MESSAGE_BUFFER = 255, LOG_MESSAGE_MAX = 254 };
// "qmr_dshow.dll >>> " + tag + " => " + message + "\n" + terminator.
enum { LOG_LINE_BUFFER = 18 + 5 + 4 + LOG_MESSAGE_MAX + 2 };

// The five-character tag of a level; " UNKN" for any level outside 1 to 5.
const char* log_level_tag(int level);

// Formats into a buffer of LOG_MESSAGE_BUFFER bytes; longer texts are cut to their first 254 characters.
void log_format_message(char* buffer, const char* format, va_list args);

// Writes the standard-output line for a tag and a message (at most 254 characters) into out, which holds
// at least LOG_LINE_BUFFER bytes; returns its length.
size_t log_format_line(char* out, const char* tag, const char* message);

#ifdef __cplusplus
}
#endif
