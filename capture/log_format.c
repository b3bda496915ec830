// The platform's own formatter must do the work: %S is a UTF-16 string only in msvcrt's printf family.
#define __USE_MINGW_ANSI_STDIO 0
#include "log_format.h"

#include <stdio.h>
#include <string.h>

const char* log_level_tag(int level) {
  static const char* const tags[] = {"TRACE", "DEBUG", " INFO", " WARN", "ERROR"};
  if (level < 1 || level > 5) return " UNKN";
  return tags[level - 1];
}

void log_format_message(char* buffer, const char* format, va_list args) {
  memset(buffer, 0, LOG_MESSAGE_BUFFER);
#ifdef _WIN32
  // Writes no terminator once the text reaches 254 characters; the cleared last byte ends it.
  _vsnprintf(buffer, LOG_MESSAGE_MAX, format, args);
#else
  vsnprintf(buffer, LOG_MESSAGE_BUFFER, format, args);
#endif
}

static char* append(char* out, const char* text, size_t limit) {
  size_t length = strnlen(text, limit);
  memcpy(out, text, length);
  return out + length;
}

size_t log_format_line(char* out, const char* tag, const char* message) {
  char* end = out;
  end = append(end, "qmr_dshow.dll >>> ", 18);
  end = append(end, tag, 5);
  end = append(end, " => ", 4);
  end = append(end, message, LOG_MESSAGE_MAX);
  *end++ = '\n';
  *end = '\0';
  return (size_t)(end - out);
}
