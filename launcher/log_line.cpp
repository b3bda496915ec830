#include "log_line.h"

#include "bounded_text.h"

namespace launcher {

void FormatLogLine(char (&line)[kLogLineCapacity], const LogTime& time, const char* level, const char* text) {
  // A cut line is still written: the result is deliberately not tested.
  FormatBounded(line, kLogLineCapacity, "%02d-%02d-%02d %02d:%02d:%02d.%03d | %-5s | %s\r\n", time.year, time.month,
                time.day, time.hour, time.minute, time.second, time.millisecond, level, text);
}

}  // namespace launcher
