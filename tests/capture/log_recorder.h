// Records what the capture library logs through its logger (the in-process core, not the DLL), for
// tests that check log sequences. Used from the test's main thread.
#pragma once

#include <string>
#include <vector>

#include "qmr_dshow.h"

namespace capture_tests {

struct LogEntry {
  int level;
  std::string text;
  bool operator==(const LogEntry& other) const { return level == other.level && text == other.text; }
};
void PrintTo(const LogEntry& entry, std::ostream* out);

// Installs itself as the library's logger for its lifetime; one at a time.
class LogRecorder {
 public:
  LogRecorder();
  ~LogRecorder();
  LogRecorder(const LogRecorder&) = delete;
  LogRecorder& operator=(const LogRecorder&) = delete;

  const std::vector<LogEntry>& entries() const;
  std::vector<std::string> texts() const;
  void Clear();
  bool Contains(int level, const std::string& text) const;
  int Count(const std::string& text) const;

 private:
  ds_log_callback record_;
};

// COM initialised on the calling thread for a test's lifetime.
class ScopedCom {
 public:
  ScopedCom();
  ~ScopedCom();
  ScopedCom(const ScopedCom&) = delete;
  ScopedCom& operator=(const ScopedCom&) = delete;
};

}  // namespace capture_tests
