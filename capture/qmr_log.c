#define __USE_MINGW_ANSI_STDIO 0
#include "qmr_log.h"

#include <stdio.h>

#include "library_state.h"
#include "log_format.h"

void log_row(int level, const char* format, ...) {
  char text[LOG_MESSAGE_BUFFER];
  va_list args;
  va_start(args, format);
  log_format_message(text, format, args);
  va_end(args);

  // A record without a function would crash the caller's process; the stdout line still follows.
  ds_log_callback* logger = ds_logger;
  if (logger != NULL && logger->callback != NULL) logger->callback(level, text);

  char line[LOG_LINE_BUFFER];
  log_format_line(line, log_level_tag(level), text);
  fputs(line, stdout);
  fflush(stdout);
}
