#include "test_support.h"

#include <gtest/gtest.h>
// After windows.h (through test_support.h), which it needs.
#include <tlhelp32.h>

#include <atomic>
#include <cwchar>
#include <cwctype>
#include <map>
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

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  std::string utf8(WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), size, utf8.data(), static_cast<int>(utf8.size()), nullptr, nullptr);
  return utf8;
}

std::wstring Wide(const std::string& text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  std::wstring wide(MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), size, wide.data(), static_cast<int>(wide.size()));
  return wide;
}

std::string Ansi(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  BOOL usedDefault = FALSE;
  std::string ansi(
      WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), size, nullptr, 0, nullptr, &usedDefault), '\0');
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), size, ansi.data(), static_cast<int>(ansi.size()),
                      nullptr, nullptr);
  if (usedDefault) ADD_FAILURE() << "code page " << GetACP() << " cannot spell " << ansi << " exactly";
  return ansi;
}

std::string ShortPath(const std::wstring& path) {
  std::vector<wchar_t> shortForm(32768);
  const DWORD length = GetShortPathNameW(path.c_str(), shortForm.data(), static_cast<DWORD>(shortForm.size()));
  if (length == 0 || length >= shortForm.size()) {
    ADD_FAILURE() << "no short form for a path of " << path.size() << " characters, error " << GetLastError();
    return {};
  }
  return Ansi(std::wstring(shortForm.data(), length));
}

bool FileExists(const std::string& path) { return GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string ReadFileBytes(const std::string& path) {
  HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string bytes;
  char chunk[65536];
  DWORD read = 0;
  while (ReadFile(file, chunk, sizeof chunk, &read, nullptr) && read != 0) bytes.append(chunk, read);
  CloseHandle(file);
  return bytes;
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  HANDLE file =
      CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD written = 0;
  const bool ok = file != INVALID_HANDLE_VALUE &&
                  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                  written == bytes.size();
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  if (!ok) ADD_FAILURE() << "cannot write " << path;
}

void CopyFileOrFail(const std::string& from, const std::string& to) {
  if (!CopyFileW(Wide(from).c_str(), Wide(to).c_str(), FALSE)) {
    ADD_FAILURE() << "cannot copy " << from << " to " << to << " error " << GetLastError();
  }
}

void MakeDirs(const std::string& path) {
  const std::wstring wide = Wide(path);
  std::wstring sofar;
  for (size_t i = 0; i < wide.size(); ++i) {
    sofar += wide[i];
    if ((wide[i] == L'\\' || i + 1 == wide.size()) && sofar.size() > 3) CreateDirectoryW(sofar.c_str(), nullptr);
  }
}

void RemoveTree(const std::string& path) { RemoveTree(Wide(path)); }

void RemoveTree(const std::wstring& path) {
  std::wstring dir = path;
  if (!dir.empty() && dir.back() != L'\\') dir += L'\\';
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((dir + L"*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring child = dir + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(child);
      } else {
        SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(child.c_str());
      }
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(dir.c_str());
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

std::wstring UpperName(std::wstring name) {
  for (wchar_t& c : name) c = static_cast<wchar_t>(towupper(c));
  return name;
}

// Builds a sorted environment block from the test's own environment and the overrides.
std::wstring EnvironmentBlock(const ProcessOptions& options) {
  std::map<std::wstring, std::pair<std::wstring, std::wstring>> vars;  // upper name -> (name, value)
  wchar_t* block = GetEnvironmentStringsW();
  for (const wchar_t* p = block; *p != L'\0'; p += wcslen(p) + 1) {
    const std::wstring entry(p);
    const size_t eq = entry.find(L'=', 1);
    if (eq == std::wstring::npos) continue;
    vars[UpperName(entry.substr(0, eq))] = {entry.substr(0, eq), entry.substr(eq + 1)};
  }
  FreeEnvironmentStringsW(block);
  for (const auto& name : options.unsetEnv) vars.erase(UpperName(Wide(name)));
  for (const auto& [name, value] : options.env) vars[UpperName(Wide(name))] = {Wide(name), Wide(value)};
  for (const auto& [name, value] : options.wideEnv) vars[UpperName(name)] = {name, value};
  std::wstring result;
  for (const auto& [upper, entry] : vars) {
    result += entry.first + L"=" + entry.second;
    result += L'\0';
  }
  result += L'\0';
  return result;
}

}  // namespace

Process::Process(const std::string& commandLine, const ProcessOptions& options) : Process(Wide(commandLine), options) {}

Process::Process(const std::wstring& commandLine, const ProcessOptions& options) {
  std::wstring env = EnvironmentBlock(options);
  std::vector<wchar_t> command(commandLine.begin(), commandLine.end());
  command.push_back(L'\0');
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  BOOL inherit = FALSE;
  if (options.stdoutHandle != nullptr) {
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = options.stdoutHandle;
    startup.hStdError = options.stdoutHandle;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    inherit = TRUE;
  }
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, inherit, CREATE_UNICODE_ENVIRONMENT, env.data(),
                      options.workingDir.empty() ? nullptr : Wide(options.workingDir).c_str(), &startup, &info_)) {
    ADD_FAILURE() << "cannot start a program (error " << GetLastError() << "): " << Utf8(commandLine);
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
  return RunProcess(Wide(commandLine), options, milliseconds);
}

DWORD RunProcess(const std::wstring& commandLine, const ProcessOptions& options, DWORD milliseconds) {
  Process process(commandLine, options);
  return process.Wait(milliseconds);
}

std::string Quote(const std::string& text) { return "\"" + text + "\""; }

namespace {

// Whether the process is the ancestor or one of its descendants, as the system's process table shows.
bool DescendsFrom(DWORD pid, DWORD ancestor) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return false;
  std::map<DWORD, DWORD> parents;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
    parents[entry.th32ProcessID] = entry.th32ParentProcessID;
  }
  CloseHandle(snapshot);
  // Bounded: ids are reused, and a reused id can make the chain a loop.
  for (int depth = 0; depth < 16 && pid != 0; ++depth) {
    if (pid == ancestor) return true;
    const auto parent = parents.find(pid);
    if (parent == parents.end()) return false;
    pid = parent->second;
  }
  return false;
}

struct BoxSearch {
  DWORD owner;
  const std::string* title;
  HWND found;
};

BOOL CALLBACK ConsiderWindow(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<BoxSearch*>(context);
  char title[256] = {};
  GetWindowTextA(window, title, sizeof title);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (*search->title != title || !DescendsFrom(pid, search->owner)) return TRUE;
  search->found = window;
  return FALSE;
}

}  // namespace

HWND FindOwnedWindow(const Process& owner, const std::string& title) {
  BoxSearch search = {owner.pid(), &title, nullptr};
  EnumWindows(&ConsiderWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

bool CloseMessageBox(const Process& owner, const std::string& title, std::string* text, DWORD milliseconds) {
  const DWORD deadline = GetTickCount() + milliseconds;
  while (static_cast<LONG>(deadline - GetTickCount()) > 0) {
    HWND box = FindOwnedWindow(owner, title);
    if (box != nullptr) {
      if (text != nullptr) {
        text->clear();
        HWND child = nullptr;
        while ((child = FindWindowExA(box, child, "Static", nullptr)) != nullptr) {
          char buffer[1024] = {};
          GetWindowTextA(child, buffer, sizeof buffer);
          if (buffer[0] != '\0') *text = buffer;
        }
        // The box can be found before its text is set: read it again until it is there.
        if (text->empty() && static_cast<LONG>(deadline - GetTickCount()) > 0) {
          Sleep(20);
          continue;
        }
      }
      PostMessageA(box, WM_COMMAND, IDOK, 0);
      // Gone before the next look for a box of the same title, or it would read this one again.
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
