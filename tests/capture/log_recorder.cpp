#include "log_recorder.h"

#include <objbase.h>

#include <algorithm>
#include <ostream>

namespace capture_tests {
namespace {

std::vector<LogEntry>& Recorded() {
  static std::vector<LogEntry> entries;
  return entries;
}

void QMR_CDECL Record(int level, const char* message) { Recorded().push_back({level, message}); }

}  // namespace

void PrintTo(const LogEntry& entry, std::ostream* out) { *out << "(" << entry.level << ", \"" << entry.text << "\")"; }

LogRecorder::LogRecorder() : record_{&Record} {
  Recorded().clear();
  ds_set_logger(&record_);
}

LogRecorder::~LogRecorder() {
  ds_set_logger(nullptr);
  Recorded().clear();
}

const std::vector<LogEntry>& LogRecorder::entries() const { return Recorded(); }

std::vector<std::string> LogRecorder::texts() const {
  std::vector<std::string> texts;
  for (const LogEntry& entry : Recorded()) texts.push_back(entry.text);
  return texts;
}

void LogRecorder::Clear() { Recorded().clear(); }

bool LogRecorder::Contains(int level, const std::string& text) const {
  return std::find(Recorded().begin(), Recorded().end(), LogEntry{level, text}) != Recorded().end();
}

int LogRecorder::Count(const std::string& text) const {
  return static_cast<int>(
      std::count_if(Recorded().begin(), Recorded().end(), [&](const LogEntry& entry) { return entry.text == text; }));
}

ScopedCom::ScopedCom() { CoInitialize(nullptr); }
ScopedCom::~ScopedCom() { CoUninitialize(); }

}  // namespace capture_tests
