#include "system_paths.h"

#include <cstring>

namespace launcher {

namespace {

// Longer than any path the launcher can use, so that a longer one is seen as cut rather than lost.
constexpr DWORD kWidePathCapacity = 1024;

// Bytes the exact spelling needs with its terminator, or 0 when the code page lacks a letter.
int ExactLength(const wchar_t* path) {
  // A UTF-8 code page spells everything, and refuses the best-fit flag and the used-default flag.
  if (GetACP() == CP_UTF8)
    return WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, path, -1, nullptr, 0, nullptr, nullptr);
  BOOL usedDefault = FALSE;
  const int needed = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, path, -1, nullptr, 0, nullptr, &usedDefault);
  return usedDefault ? 0 : needed;
}

bool SpellExactly(const wchar_t* path, int needed, char* buffer) {
  // WC_ERR_INVALID_CHARS is documented for CP_UTF8 itself, not for CP_ACP naming it.
  if (GetACP() == CP_UTF8)
    return WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, path, -1, buffer, needed, nullptr, nullptr) == needed;
  return WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, path, -1, buffer, needed, nullptr, nullptr) == needed;
}

}  // namespace

Spelling SpellPath(const wchar_t* path, char* buffer, size_t capacity, size_t* length) {
  *length = 0;
  if (capacity == 0) return Spelling::kUnspellable;
  buffer[0] = '\0';
  const int needed = ExactLength(path);
  if (needed > 0) {
    if (static_cast<size_t>(needed) <= capacity) {
      if (!SpellExactly(path, needed, buffer)) {
        buffer[0] = '\0';
        return Spelling::kUnspellable;
      }
      *length = static_cast<size_t>(needed) - 1;
      return Spelling::kExact;
    }
    // Cut as the ANSI functions cut: the first capacity - 1 characters, terminated.
    char whole[3 * kWidePathCapacity + 1];
    if (static_cast<size_t>(needed) > sizeof whole || !SpellExactly(path, needed, whole)) {
      return Spelling::kUnspellable;
    }
    std::memcpy(buffer, whole, capacity - 1);
    buffer[capacity - 1] = '\0';
    *length = capacity - 1;
    return Spelling::kTooLong;
  }
  // Where the volume keeps no short names the long form comes back, and fails below again.
  wchar_t shortForm[kWidePathCapacity];
  const DWORD shortLength = GetShortPathNameW(path, shortForm, kWidePathCapacity);
  if (shortLength == 0 || shortLength >= kWidePathCapacity) return Spelling::kUnspellable;
  const int shortNeeded = ExactLength(shortForm);
  if (shortNeeded <= 0 || static_cast<size_t>(shortNeeded) > capacity ||
      !SpellExactly(shortForm, shortNeeded, buffer)) {
    buffer[0] = '\0';
    return Spelling::kUnspellable;
  }
  *length = static_cast<size_t>(shortNeeded) - 1;
  return Spelling::kShortForm;
}

DWORD GetProgramPath(char* buffer, DWORD capacity) {
  if (capacity == 0) return 0;
  buffer[0] = '\0';
  wchar_t wide[kWidePathCapacity];
  const DWORD wideLength = GetModuleFileNameW(nullptr, wide, kWidePathCapacity);
  if (wideLength == 0) return 0;
  // A wide path that did not fit comes back cut and terminated: as long as it is, it is too long.
  wide[kWidePathCapacity - 1] = L'\0';
  size_t length = 0;
  switch (SpellPath(wide, buffer, capacity, &length)) {
    case Spelling::kExact:
    case Spelling::kShortForm:
      return static_cast<DWORD>(length);
    case Spelling::kTooLong:
      SetLastError(ERROR_INSUFFICIENT_BUFFER);
      return capacity;
    case Spelling::kUnspellable:
      break;
  }
  SetLastError(ERROR_NO_UNICODE_TRANSLATION);
  return 0;
}

DWORD GetTempDirectory(DWORD capacity, char* buffer) {
  if (capacity != 0) buffer[0] = '\0';
  wchar_t wide[kWidePathCapacity];
  const DWORD wideLength = GetTempPathW(kWidePathCapacity, wide);
  if (wideLength == 0) return 0;
  if (wideLength >= kWidePathCapacity) return wideLength;
  size_t length = 0;
  switch (SpellPath(wide, buffer, capacity, &length)) {
    case Spelling::kExact:
    case Spelling::kShortForm:
      return static_cast<DWORD>(length);
    case Spelling::kTooLong:
      buffer[0] = '\0';
      return static_cast<DWORD>(ExactLength(wide));
    case Spelling::kUnspellable:
      break;
  }
  SetLastError(ERROR_NO_UNICODE_TRANSLATION);
  return 0;
}

bool GetSystemDirectoryPath(char* buffer, size_t capacity) {
  if (capacity != 0) buffer[0] = '\0';
  wchar_t wide[kWidePathCapacity];
  const UINT wideLength = GetSystemDirectoryW(wide, kWidePathCapacity);
  if (wideLength == 0 || wideLength >= kWidePathCapacity) return false;
  size_t length = 0;
  const Spelling spelling = SpellPath(wide, buffer, capacity, &length);
  if (spelling == Spelling::kExact || spelling == Spelling::kShortForm) return true;
  if (capacity != 0) buffer[0] = '\0';
  return false;
}

}  // namespace launcher
