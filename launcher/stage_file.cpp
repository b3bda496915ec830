#include <cstring>

#include "bounded_text.h"
#include "launcher_log.h"
#include "system_paths.h"

namespace launcher {

bool LauncherLog::GetStageFile(char* pathBuffer, const char* name) {
  size_t nameLength = 0;
  if (MeasureBounded(name, &nameLength) < 0) {
    WriteLog("ERROR", "GetStageFile failed (1)");
    return false;
  }
  if (nameLength == 0) return false;

  char tempDir[kPathCapacity] = {};
  const DWORD tempLength = GetTempDirectory(kPathCapacity, tempDir);
  if (tempLength == 0 || tempLength > kPathCapacity) {
    WriteLog("ERROR", "GetStageFile failed (2)");
    return false;
  }
  // Both appends may use the whole buffer, so any path that fits in it is accepted.
  if (AppendBounded(pathBuffer, kPathCapacity, tempDir) < 0) {
    WriteLog("ERROR", "GetStageFile failed (3)");
    return false;
  }
  if (AppendBounded(pathBuffer, kPathCapacity, name) < 0) {
    WriteLog("ERROR", "GetStageFile failed (4)");
    return false;
  }
  return true;
}

}  // namespace launcher
