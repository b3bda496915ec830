#include "in_process_launcher.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "launcher_fixture.h"
#include "stage_files.h"

namespace upgrade_tests {

InProcessLauncher::InProcessLauncher(const std::string& tempLabel)
    : temp_(tempLabel),
      pending_(temp_ / launcher::kPendingPackageName),
      installer_(temp_ / launcher::kInstallerPackageName),
      logPath_(temp_ / "upgrade-test.log"),
      log_(std::make_unique<launcher::LauncherLog>()) {
  EXPECT_TRUE(log_->OpenLog(logPath_.c_str())) << logPath_;
}

// Closed before the directory that holds the file is removed.
InProcessLauncher::~InProcessLauncher() { CloseLog(); }

void InProcessLauncher::CloseLog() {
  if (log_ != nullptr && log_->LogHandle() != INVALID_HANDLE_VALUE) CloseHandle(log_->LogHandle());
  log_.reset();
}

launcher::LauncherLog& InProcessLauncher::Log() {
  // A test that reads the lines and goes on calling is wrong: fail at once rather than write
  // through a closed handle.
  if (log_ == nullptr) {
    ADD_FAILURE() << "the launcher's log was already closed";
    std::abort();
  }
  return *log_;
}

bool InProcessLauncher::InstallUpgrade() { return Log().InstallUpgrade(pending_.c_str(), installer_.c_str()); }

bool InProcessLauncher::VerifyInstaller() { return Log().VerifyInstaller(installer_.c_str()); }

bool InProcessLauncher::RemoveUsedInstaller() { return Log().RemoveUsedInstaller(installer_.c_str()); }

std::vector<std::string> InProcessLauncher::Lines() {
  CloseLog();
  return launcher_tests::LogEntries(testing_support::ReadFileBytes(logPath_));
}

}  // namespace upgrade_tests
