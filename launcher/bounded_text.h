// Bounded text operations: every launcher text is put together in a fixed buffer through these.
// Pure functions, usable from any thread; they build on Windows and natively alike.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(__MINGW32__)
#define QMR_PRINTF_LIKE(fmt, args) __attribute__((format(gnu_printf, fmt, args)))
#else
#define QMR_PRINTF_LIKE(fmt, args) __attribute__((format(printf, fmt, args)))
#endif

namespace launcher {

// The buffer of a path or a command line, unless a text needs more.
constexpr size_t kPathCapacity = 260;

// Results as the platform's HRESULT values; callers test only for a negative result.
constexpr int32_t kTextOk = 0;
constexpr int32_t kTextInsufficientBuffer = static_cast<int32_t>(0x8007007Au);
constexpr int32_t kTextInvalidArgument = static_cast<int32_t>(0x80070057u);

// Largest capacity the operations accept; anything above is treated as a corrupted size.
constexpr size_t kMaxTextCapacity = 2147483647u;
// MeasureBounded's fixed limit: the length of a Windows path buffer.
constexpr size_t kMeasureLimit = 260;

// printf into buffer; a text that does not fit is cut to capacity - 1 characters.
int32_t FormatBounded(char* buffer, size_t capacity, const char* format, ...) QMR_PRINTF_LIKE(3, 4);

// Appends text to the terminated string in buffer; capacity is that of the whole buffer.
int32_t AppendBounded(char* buffer, size_t capacity, const char* text);

// Length of text, which must be shorter than kMeasureLimit.
int32_t MeasureBounded(const char* text, size_t* length);

// printf into buffer; returns the characters written, or empties the buffer and returns -1.
int FormatStrict(char* buffer, size_t capacity, const char* format, ...) QMR_PRINTF_LIKE(3, 4);

// Standard snprintf: returns the length of the complete output, negative when formatting fails.
int FormatCounted(char* buffer, size_t capacity, const char* format, ...) QMR_PRINTF_LIKE(3, 4);

}  // namespace launcher
