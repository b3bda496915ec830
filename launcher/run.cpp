#include <cstring>

#include "bounded_text.h"
#include "launcher_log.h"
#include "stage_files.h"

namespace launcher {

namespace {

constexpr size_t kBrandingCapacity = 64;
constexpr size_t kBrandingLineCapacity = 96;
constexpr size_t kExitLineCapacity = 256;

}  // namespace

int LauncherLog::Run(const char* argumentText) {
  char pendingPath[kPathCapacity] = {};
  char installerPath[kPathCapacity] = {};
  char logPath[kPathCapacity] = {};
  const bool childMode = std::strcmp(argumentText, "forked") == 0;

  // The log is not open yet, so whatever these report is lost.
  if (!GetStageFile(pendingPath, kPendingPackageName)) pendingPath[0] = '\0';
  if (pendingPath[0] != '\0' && !GetStageFile(installerPath, kInstallerPackageName)) installerPath[0] = '\0';
  bool childLogFits = false;
  if (GetStageFile(logPath, kLogFileName)) {
    childLogFits = std::strlen(logPath) + 1 < kPathCapacity;
    // A name cut back to the parent's would have the child write into the parent's log: no log then.
    if (!childMode || AppendBounded(logPath, kPathCapacity, "2") >= 0) OpenLog(logPath);
  }

  WriteLog("INFO", "====================================== [ STARTING ] ==");
  if (!childMode && !childLogFits) WriteLog("WARN", "No room for the child's log file name: the child keeps no log");
  int result = 0;
  if (childMode) {
    char branding[kBrandingCapacity] = {};
    char logoPath[kPathCapacity] = {};
    if (!GetBranding(branding)) {
      branding[0] = '\0';
      WriteLog("WARN", "Failed to get branding");
    } else {
      char line[kBrandingLineCapacity] = {};
      const int length = FormatCounted(line, sizeof line, "Branding: %s", branding);
      if (length < 0 || static_cast<size_t>(length) >= sizeof line) {
        WriteLog("WARN", "Failed to log branding");
      } else {
        WriteLog("INFO", line);
      }
    }
    if (!GetLogoFilePath(logoPath)) {
      logoPath[0] = '\0';
      WriteLog("WARN", "Failed to get logo file path");
    }
    LaunchJvm(pendingPath, branding, logoPath);
    result = 0;
  } else if (pendingPath[0] == '\0') {
    result = static_cast<int>(RunJvmProcess());
  } else if (InstallUpgrade(pendingPath, installerPath)) {
    WriteLog("INFO", "Installing upgrade and triggering boot");
    result = 0;
  } else {
    if (RemoveUsedInstaller(installerPath)) WriteLog("INFO", "Removed old installer");
    result = static_cast<int>(RunJvmProcess());
    if (static_cast<unsigned long>(result) == kMagicRestartCode) {
      WriteLog("INFO", "JVM terminated with magic restart code. Starting automatic upgrade.");
      InstallUpgrade(pendingPath, installerPath);
    } else {
      char line[kExitLineCapacity] = {};
      FormatStrict(line, sizeof line, "JVM terminated with exit code: %d", result);
      WriteLog("INFO", line);
    }
  }
  WriteLog("INFO", "====================================== [ STOPPING ] ==");
  return result;
}

}  // namespace launcher
