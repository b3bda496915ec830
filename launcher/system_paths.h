// Paths the launcher takes from the system, spelled in the ANSI code page that all launcher text
// uses: exactly as they are where the code page has every letter, else in their short (8.3) form,
// which is ASCII. The ANSI functions would best-fit such a letter and name another directory.
// Called from the launcher's one thread.
#pragma once

#include <windows.h>

#include <cstddef>

namespace launcher {

enum class Spelling {
  kExact,        // the path itself
  kShortForm,    // its short form, since the code page lacks a letter of it
  kTooLong,      // spelled exactly, but longer than the buffer: the buffer holds what fits
  kUnspellable,  // neither form can be spelled within the buffer: the buffer is empty
};

// Spells a terminated wide path into buffer; length receives the characters written.
Spelling SpellPath(const wchar_t* path, char* buffer, size_t capacity, size_t* length);

// As GetModuleFileNameA for the program's own file: its length; capacity when it was cut to
// capacity - 1 characters (last error ERROR_INSUFFICIENT_BUFFER); 0 when there is none or it cannot
// be spelled (last error ERROR_NO_UNICODE_TRANSLATION). The buffer is always terminated.
DWORD GetProgramPath(char* buffer, DWORD capacity);

// As GetTempPathA: the directory's length with its trailing backslash; the size it needs when that
// is more than capacity; 0 when there is none or it cannot be spelled.
DWORD GetTempDirectory(DWORD capacity, char* buffer);

// The system directory without a trailing backslash; false when it cannot be had or spelled.
bool GetSystemDirectoryPath(char* buffer, size_t capacity);

}  // namespace launcher
