// The library's log: every message goes to the installed logger, then to standard output. Runs on the
// thread of the operation that logs; frame delivery never logs.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

// printf-style in msvcrt's dialect: %S is a UTF-16 string, %s a single-byte one.
void log_row(int level, const char* format, ...) __attribute__((format(ms_printf, 2, 3)));

#ifdef __cplusplus
}
#endif
