// A binary's version resource read back through the platform's version API. Used from the test's
// main thread.
#pragma once

#include <windows.h>

#include <map>
#include <string>

namespace product_tests {

struct VersionInfo {
  bool found = false;
  std::string fileVersion;     // from the fixed part, "a.b.c.d"
  std::string productVersion;  // from the fixed part, "a.b.c.d"
  DWORD fileType = 0;
  std::map<std::string, std::string> strings;  // StringFileInfo of the first listed translation
};

VersionInfo ReadVersionInfo(const std::string& path);

// The product's version "x.y.z" as the fixed part of a version resource shows it.
std::string FourPartVersion(const std::string& version);

}  // namespace product_tests
