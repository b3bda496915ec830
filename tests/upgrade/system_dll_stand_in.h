// Puts a stand-in DLL into the prefix's system directory in place of the platform's copy, and puts
// the platform's back at the end. Wine then loads it only in processes started with a DLL override
// for it. Used from the test's main thread.
#pragma once

#include <string>

#include "test_support.h"

namespace upgrade_tests {

class SystemDllStandIn {
 public:
  SystemDllStandIn(const std::string& standIn, const std::string& name);
  ~SystemDllStandIn();
  SystemDllStandIn(const SystemDllStandIn&) = delete;
  SystemDllStandIn& operator=(const SystemDllStandIn&) = delete;

 private:
  testing_support::ScopedTempDir saved_;
  std::string target_;
  std::string backup_;
};

}  // namespace upgrade_tests
