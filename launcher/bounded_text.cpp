#include "bounded_text.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace launcher {

namespace {

bool ValidCapacity(size_t capacity) { return capacity != 0 && capacity <= kMaxTextCapacity; }

}  // namespace

int32_t FormatBounded(char* buffer, size_t capacity, const char* format, ...) {
  if (!ValidCapacity(capacity)) {
    if (capacity != 0) buffer[0] = '\0';
    return kTextInvalidArgument;
  }
  va_list args;
  va_start(args, format);
  const int written = std::vsnprintf(buffer, capacity, format, args);
  va_end(args);
  if (written < 0) {
    buffer[0] = '\0';
    return kTextInvalidArgument;
  }
  return static_cast<size_t>(written) < capacity ? kTextOk : kTextInsufficientBuffer;
}

int32_t AppendBounded(char* buffer, size_t capacity, const char* text) {
  if (!ValidCapacity(capacity)) return kTextInvalidArgument;
  const size_t used = strnlen(buffer, capacity);
  if (used == capacity) return kTextInvalidArgument;
  const size_t room = capacity - 1 - used;
  const size_t wanted = std::strlen(text);
  const size_t taken = wanted < room ? wanted : room;
  std::memcpy(buffer + used, text, taken);
  buffer[used + taken] = '\0';
  return taken == wanted ? kTextOk : kTextInsufficientBuffer;
}

int32_t MeasureBounded(const char* text, size_t* length) {
  *length = 0;
  if (text == nullptr) return kTextInvalidArgument;
  const size_t measured = strnlen(text, kMeasureLimit);
  if (measured == kMeasureLimit) return kTextInvalidArgument;
  *length = measured;
  return kTextOk;
}

int FormatStrict(char* buffer, size_t capacity, const char* format, ...) {
  if (!ValidCapacity(capacity)) {
    if (capacity != 0) buffer[0] = '\0';
    return -1;
  }
  va_list args;
  va_start(args, format);
  const int written = std::vsnprintf(buffer, capacity, format, args);
  va_end(args);
  if (written < 0 || static_cast<size_t>(written) >= capacity) {
    buffer[0] = '\0';
    return -1;
  }
  return written;
}

int FormatCounted(char* buffer, size_t capacity, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const int written = std::vsnprintf(buffer, capacity, format, args);
  va_end(args);
  return written;
}

}  // namespace launcher
