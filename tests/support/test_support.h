// Helpers for the tests that run under Wine: temporary directories, files, processes with their own
// environment, and message boxes closed the way a user would. Used from the test's main thread.
#pragma once

#include <gmock/gmock.h>
#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace testing_support {

// Directory of the running test program (with a trailing backslash).
std::string ProgramDir();

// A fresh directory under the build tree's scratch area, removed with its contents at the end.
class ScopedTempDir {
 public:
  // label becomes part of the directory name; it may contain blanks or "&".
  explicit ScopedTempDir(const std::string& label = "t");
  ~ScopedTempDir();
  ScopedTempDir(const ScopedTempDir&) = delete;
  ScopedTempDir& operator=(const ScopedTempDir&) = delete;

  // The directory with a trailing backslash.
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + name; }

 private:
  std::string path_;
};

// Text in the ANSI code page, which every std::string path here is in, and back. Ansi fails the
// test when the code page cannot spell the text exactly.
std::wstring Wide(const std::string& text);
std::string Ansi(const std::wstring& text);
// For messages: any text, in UTF-8.
std::string Utf8(const std::wstring& text);
// The short (8.3) form of an existing path, in the ANSI code page; fails the test when there is none.
std::string ShortPath(const std::wstring& path);

// These take paths the ANSI functions cannot: of 260 characters or more.
bool FileExists(const std::string& path);
std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
void CopyFileOrFail(const std::string& from, const std::string& to);
void MakeDirs(const std::string& path);
void RemoveTree(const std::string& path);
void RemoveTree(const std::wstring& path);
// Lines without their CR LF; a last line without a line end is kept as it is.
std::vector<std::string> SplitLines(const std::string& text);

struct ProcessOptions {
  std::string workingDir;                        // empty: the test's own
  std::map<std::string, std::string> env;        // added to or replacing the test's environment
  std::map<std::wstring, std::wstring> wideEnv;  // the same, for values the code page cannot spell
  std::vector<std::string> unsetEnv;             // removed from it
  HANDLE stdoutHandle = nullptr;                 // inherited as standard output when set
};

// A started process; its handles are closed at the end.
class Process {
 public:
  Process(const std::string& commandLine, const ProcessOptions& options);
  Process(const std::wstring& commandLine, const ProcessOptions& options);
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  bool started() const { return info_.hProcess != nullptr; }
  DWORD pid() const { return info_.dwProcessId; }
  HANDLE handle() const { return info_.hProcess; }
  // The full 32-bit exit code, or 0xDEADBEEF when the process did not end within the time.
  DWORD Wait(DWORD milliseconds = 60000);

 private:
  PROCESS_INFORMATION info_ = {};
};

constexpr DWORD kNotEnded = 0xDEADBEEF;

DWORD RunProcess(const std::string& commandLine, const ProcessOptions& options, DWORD milliseconds = 60000);
DWORD RunProcess(const std::wstring& commandLine, const ProcessOptions& options, DWORD milliseconds = 60000);

// Quotes a path for a command line.
std::string Quote(const std::string& text);

// A top-level window with this title that the process or one of the processes it started shows, or
// null. Windows of other processes never count: tests run in parallel.
HWND FindOwnedWindow(const Process& owner, const std::string& title);

// Waits for such a window, reads the text of its static control, and closes it by pressing OK. Returns false when no
// such window appeared in time.
bool CloseMessageBox(const Process& owner, const std::string& title, std::string* text, DWORD milliseconds = 30000);

// Matches a string that std::regex (ECMAScript) matches as a whole; GoogleTest's own regular
// expressions on Windows have no character classes.
::testing::Matcher<std::string> FullMatch(const std::string& pattern);

}  // namespace testing_support
