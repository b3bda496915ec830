#include "test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <regex>
#include <sstream>

namespace testing_support {

std::string ProgramDir() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string dir(path);
  return dir.substr(0, dir.find_last_of('\\') + 1);
}

namespace {

std::string ScratchRoot() {
  const std::string root = ProgramDir() + "scratch\\";
  CreateDirectoryA(root.c_str(), nullptr);
  return root;
}

}  // namespace

ScopedTempDir::ScopedTempDir(const std::string& label) {
  static std::atomic<unsigned> counter{0};
  for (;;) {
    std::ostringstream name;
    name << ScratchRoot() << label << "-" << GetCurrentProcessId() << "-" << counter++;
    if (CreateDirectoryA(name.str().c_str(), nullptr)) {
      path_ = name.str() + "\\";
      return;
    }
    if (GetLastError() != ERROR_ALREADY_EXISTS) {
      ADD_FAILURE() << "cannot create " << name.str() << " error " << GetLastError();
      path_ = name.str() + "\\";
      return;
    }
  }
}

ScopedTempDir::~ScopedTempDir() { RemoveTree(path_); }

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  if (!out) ADD_FAILURE() << "cannot write " << path;
}

void CopyFileOrFail(const std::string& from, const std::string& to) {
  if (!CopyFileA(from.c_str(), to.c_str(), FALSE)) {
    ADD_FAILURE() << "cannot copy " << from << " to " << to << " error " << GetLastError();
  }
}

void MakeDirs(const std::string& path) {
  std::string sofar;
  for (size_t i = 0; i < path.size(); ++i) {
    sofar += path[i];
    if ((path[i] == '\\' || i + 1 == path.size()) && sofar.size() > 3) CreateDirectoryA(sofar.c_str(), nullptr);
  }
}

void RemoveTree(const std::string& path) {
  std::string dir = path;
  if (!dir.empty() && dir.back() != '\\') dir += '\\';
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((dir + "*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      const std::string child = dir + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(child);
      } else {
        SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(child.c_str());
      }
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  RemoveDirectoryA(dir.c_str());
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

namespace {

std::string UpperName(std::string name) {
  for (char& c : name) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  return name;
}

// Builds a sorted environment block from the test's own environment and the overrides.
std::string EnvironmentBlock(const ProcessOptions& options) {
  std::map<std::string, std::pair<std::string, std::string>> vars;  // upper name -> (name, value)
  char* block = GetEnvironmentStringsA();
  for (const char* p = block; *p != '\0'; p += strlen(p) + 1) {
    const std::string entry(p);
    const size_t eq = entry.find('=', 1);
    if (eq == std::string::npos) continue;
    vars[UpperName(entry.substr(0, eq))] = {entry.substr(0, eq), entry.substr(eq + 1)};
  }
  FreeEnvironmentStringsA(block);
  for (const auto& name : options.unsetEnv) vars.erase(UpperName(name));
  for (const auto& [name, value] : options.env) vars[UpperName(name)] = {name, value};
  std::string result;
  for (const auto& [upper, entry] : vars) {
    result += entry.first + "=" + entry.second;
    result += '\0';
  }
  result += '\0';
  return result;
}

}  // namespace

Process::Process(const std::string& commandLine, const ProcessOptions& options) {
  std::string env = EnvironmentBlock(options);
  std::vector<char> command(commandLine.begin(), commandLine.end());
  command.push_back('\0');
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  BOOL inherit = FALSE;
  if (options.stdoutHandle != nullptr) {
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = options.stdoutHandle;
    startup.hStdError = options.stdoutHandle;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    inherit = TRUE;
  }
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, inherit, 0, env.data(),
                      options.workingDir.empty() ? nullptr : options.workingDir.c_str(), &startup, &info_)) {
    ADD_FAILURE() << "cannot start " << commandLine << " error " << GetLastError();
    info_ = {};
  }
}

Process::~Process() {
  if (info_.hProcess != nullptr) {
    if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(info_.hProcess, 1);
    CloseHandle(info_.hProcess);
    CloseHandle(info_.hThread);
  }
}

DWORD Process::Wait(DWORD milliseconds) {
  if (info_.hProcess == nullptr) return kNotEnded;
  if (WaitForSingleObject(info_.hProcess, milliseconds) != WAIT_OBJECT_0) return kNotEnded;
  DWORD code = kNotEnded;
  GetExitCodeProcess(info_.hProcess, &code);
  return code;
}

DWORD RunProcess(const std::string& commandLine, const ProcessOptions& options, DWORD milliseconds) {
  Process process(commandLine, options);
  return process.Wait(milliseconds);
}

std::string Quote(const std::string& text) { return "\"" + text + "\""; }

bool CloseMessageBox(const std::string& title, std::string* text, DWORD milliseconds) {
  const DWORD deadline = GetTickCount() + milliseconds;
  while (static_cast<LONG>(deadline - GetTickCount()) > 0) {
    HWND box = FindWindowA(nullptr, title.c_str());
    if (box != nullptr) {
      if (text != nullptr) {
        text->clear();
        HWND child = nullptr;
        while ((child = FindWindowExA(box, child, "Static", nullptr)) != nullptr) {
          char buffer[1024] = {};
          GetWindowTextA(child, buffer, sizeof buffer);
          if (buffer[0] != '\0') *text = buffer;
        }
      }
      PostMessageA(box, WM_COMMAND, IDOK, 0);
      // Gone before the next test looks for a box of the same title, or it would read this one again.
      while (IsWindow(box) && static_cast<LONG>(deadline - GetTickCount()) > 0) Sleep(20);
      return true;
    }
    Sleep(50);
  }
  return false;
}

namespace {

class FullMatcher : public ::testing::MatcherInterface<const std::string&> {
 public:
  explicit FullMatcher(std::string pattern) : pattern_(std::move(pattern)), regex_(pattern_) {}
  bool MatchAndExplain(const std::string& text, ::testing::MatchResultListener*) const override {
    return std::regex_match(text, regex_);
  }
  void DescribeTo(std::ostream* os) const override { *os << "fully matches /" << pattern_ << "/"; }
  void DescribeNegationTo(std::ostream* os) const override { *os << "does not fully match /" << pattern_ << "/"; }

 private:
  std::string pattern_;
  std::regex regex_;
};

}  // namespace

::testing::Matcher<std::string> FullMatch(const std::string& pattern) {
  return ::testing::Matcher<std::string>(new FullMatcher(pattern));
}

}  // namespace testing_support
