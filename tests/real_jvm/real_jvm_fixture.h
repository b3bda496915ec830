// Helpers for the tests that run the launcher with the real VM and the real application: what the
// application recorded, its error stream, and the jars that are wrong on purpose.
#pragma once

#include <map>
#include <string>

#include "launcher_fixture.h"

namespace real_jvm_tests {

// A JVM start under emulation on a busy machine takes long; waits are bounded by this.
constexpr DWORD kRealVmWait = 600000;

// The system properties the application recorded, by name.
std::map<std::string, std::string> RecordedProperties(const launcher_tests::LauncherInstall& install);

// Waits until the application has recorded this line; false when it has not within the time.
bool WaitForRecordLine(const launcher_tests::LauncherInstall& install, const std::string& line,
                       DWORD milliseconds = kRealVmWait);

// Puts a jar built to be wrong ("no_main_class", "other_signature") in place of the application.
void ReplaceJar(const launcher_tests::LauncherInstall& install, const std::string& name);

// Runs the launcher with these arguments, its standard output and error going to a file; returns the
// exit code and what was written.
DWORD RunCapturingOutput(const launcher_tests::LauncherInstall& install, const std::string& arguments,
                         std::string* output);

}  // namespace real_jvm_tests
