#include "system_dll_stand_in.h"

#include <gtest/gtest.h>

namespace upgrade_tests {

SystemDllStandIn::SystemDllStandIn(const std::string& standIn, const std::string& name) : saved_("system-dll") {
  char system[MAX_PATH] = {};
  GetSystemDirectoryA(system, MAX_PATH);
  target_ = std::string(system) + "\\" + name;
  backup_ = saved_ / name;
  testing_support::CopyFileOrFail(target_, backup_);
  testing_support::CopyFileOrFail(standIn, target_);
}

SystemDllStandIn::~SystemDllStandIn() { testing_support::CopyFileOrFail(backup_, target_); }

}  // namespace upgrade_tests
