// Formats one launcher log line: time stamp, level padded to five characters, text, CR LF.
// Pure function; builds on Windows and natively alike.
#pragma once

#include <cstddef>

namespace launcher {

constexpr size_t kLogLineCapacity = 2048;

struct LogTime {
  int year, month, day, hour, minute, second, millisecond;
};

// A line longer than kLogLineCapacity - 1 characters is cut there, losing its CR LF.
void FormatLogLine(char (&line)[kLogLineCapacity], const LogTime& time, const char* level, const char* text);

}  // namespace launcher
