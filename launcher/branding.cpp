#include <windows.h>

#include <cstring>

#include "bounded_text.h"
#include "launcher_log.h"
#include "stage_files.h"
#include "system_functions.h"
#include "system_paths.h"
#include "unique_handle.h"

namespace launcher {

namespace {

// At most 63 bytes are read, so the caller's cleared 64th byte always terminates the text.
constexpr DWORD kBrandingReadLimit = 63;

const char* EditionOf(const char* mainClass) {
  if (std::strcmp(mainClass, "se/quillon/orvo/Orvo") == 0) return "Personal";
  if (std::strcmp(mainClass, "se/quillon/varn/Varn") == 0) return "Attendant";
  return nullptr;
}

}  // namespace

bool LauncherLog::GetBranding(char* buffer) {
  const char* edition = EditionOf(kMainClass);
  if (edition == nullptr) return false;
  char subKey[kPathCapacity] = {};
  const int length = FormatCounted(subKey, sizeof subKey, "%s %s", "Software\\Quillon\\Quillon", edition);
  if (length < 0 || static_cast<size_t>(length) >= sizeof subKey) return false;
  return ReadBrandingKey(subKey, buffer);
}

bool LauncherLog::ReadBrandingKey(const char* subKey, char* buffer) {
  HKEY opened = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, subKey, 0, KEY_READ, &opened) != ERROR_SUCCESS) {
    WriteLog("ERROR", "Could not open registry key");
    return false;
  }
  UniqueRegKey key(opened);
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExA(opened, "BrandingKey", nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
    key.reset();
    WriteLog("ERROR", "Could not read registry value");
    return false;
  }
  if (type != REG_SZ) {
    key.reset();
    WriteLog("ERROR", "Incorrect registry value type");
    return false;
  }
  if (size > kBrandingReadLimit) size = kBrandingReadLimit;
  if (RegQueryValueExA(opened, "BrandingKey", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size) !=
      ERROR_SUCCESS) {
    key.reset();
    WriteLog("ERROR", "Could not read registry value");
    return false;
  }
  return true;
}

bool LauncherLog::GetLogoFilePath(char* buffer) {
  char programPath[kPathCapacity] = {};
  const DWORD length = GetProgramPath(programPath, kPathCapacity);
  if (length == 0 || length == kPathCapacity) {
    WriteLog("ERROR", "Failed to get current path while constructing the logo file path");
    return false;
  }
  RemoveFileSpec(programPath);
  const int formatted = FormatCounted(buffer, kPathCapacity, "%s\\%s", programPath, "logo.png");
  if (formatted < 0 || static_cast<size_t>(formatted) >= kPathCapacity) {
    WriteLog("ERROR", "Failed to construct the logo file path");
    return false;
  }
  return true;
}

}  // namespace launcher
