// A launcher object in the test process, with a log file and a temporary directory of its own that
// holds the two stage files, for calling the upgrade operations directly. Used from one thread.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "launcher_log.h"
#include "test_support.h"

namespace upgrade_tests {

class InProcessLauncher {
 public:
  // tempLabel becomes part of the temporary directory's name; it may hold blanks, "&" or "%".
  explicit InProcessLauncher(const std::string& tempLabel = "upgrade-temp");
  ~InProcessLauncher();
  InProcessLauncher(const InProcessLauncher&) = delete;
  InProcessLauncher& operator=(const InProcessLauncher&) = delete;

  bool InstallUpgrade();
  bool VerifyInstaller();
  bool RemoveUsedInstaller();

  const std::string& pendingPath() const { return pending_; }
  const std::string& installerPath() const { return installer_; }

  // Closes the log (the launcher holds it without read sharing) and returns its lines as
  // "LEVEL | text". The operations above cannot be called afterwards.
  std::vector<std::string> Lines();

 private:
  launcher::LauncherLog& Log();
  void CloseLog();

  testing_support::ScopedTempDir temp_;
  std::string pending_;
  std::string installer_;
  std::string logPath_;
  std::unique_ptr<launcher::LauncherLog> log_;
};

}  // namespace upgrade_tests
