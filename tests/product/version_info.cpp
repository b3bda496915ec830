#include "version_info.h"

#include <cstdio>
#include <vector>

namespace product_tests {

namespace {

std::string Quad(DWORD ms, DWORD ls) {
  char text[64];
  std::snprintf(text, sizeof text, "%lu.%lu.%lu.%lu", static_cast<unsigned long>(HIWORD(ms)),
                static_cast<unsigned long>(LOWORD(ms)), static_cast<unsigned long>(HIWORD(ls)),
                static_cast<unsigned long>(LOWORD(ls)));
  return text;
}

}  // namespace

VersionInfo ReadVersionInfo(const std::string& path) {
  VersionInfo info;
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
  if (size == 0) return info;
  std::vector<char> block(size);
  if (!GetFileVersionInfoA(path.c_str(), 0, size, block.data())) return info;
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length) || length < sizeof *fixed) {
    return info;
  }
  info.found = true;
  info.fileVersion = Quad(fixed->dwFileVersionMS, fixed->dwFileVersionLS);
  info.productVersion = Quad(fixed->dwProductVersionMS, fixed->dwProductVersionLS);
  info.fileType = fixed->dwFileType;

  struct Translation {
    WORD language, codePage;
  }* translations = nullptr;
  if (!VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translations), &length) ||
      length < sizeof *translations) {
    return info;
  }
  for (const char* name : {"CompanyName", "FileDescription", "FileVersion", "InternalName", "LegalCopyright",
                           "OriginalFilename", "ProductName", "ProductVersion"}) {
    char query[96];
    std::snprintf(query, sizeof query, "\\StringFileInfo\\%04x%04x\\%s", translations->language, translations->codePage,
                  name);
    char* value = nullptr;
    if (VerQueryValueA(block.data(), query, reinterpret_cast<void**>(&value), &length) && value != nullptr) {
      info.strings[name] = value;
    }
  }
  return info;
}

std::string FourPartVersion(const std::string& version) { return version + ".0"; }

}  // namespace product_tests
