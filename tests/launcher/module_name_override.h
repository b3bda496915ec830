// Gives the test program's own module another full name for as long as the object lives, as the
// platform reports it through GetModuleFileName. Wine does not start a program whose path has 260
// characters or more, so the launcher's answer to such a path is tested in-process under a name
// that only the loader's record holds. Used from the test's main thread; nothing may look up the
// test program's own directory meanwhile.
#pragma once

#include <windows.h>
// After windows.h, which it needs.
#include <winternl.h>

#include <string>

namespace launcher_tests {

class ModuleNameOverride {
 public:
  explicit ModuleNameOverride(std::wstring name);
  ~ModuleNameOverride();
  ModuleNameOverride(const ModuleNameOverride&) = delete;
  ModuleNameOverride& operator=(const ModuleNameOverride&) = delete;

 private:
  std::wstring name_;
  UNICODE_STRING* entry_ = nullptr;
  UNICODE_STRING saved_ = {};
};

}  // namespace launcher_tests
