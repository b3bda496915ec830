// Reading device properties as text and copying them into the records' fixed UTF-16 fields.
// Caller's thread, COM initialised.
#pragma once

#include <oaidl.h>
#include <ocidl.h>
#include <stddef.h>

// A VARIANT cleared on every path out of a scope.
class ScopedVariant {
 public:
  ScopedVariant() { VariantInit(&value_); }
  ~ScopedVariant() { VariantClear(&value_); }
  ScopedVariant(const ScopedVariant&) = delete;
  ScopedVariant& operator=(const ScopedVariant&) = delete;

  VARIANT* get() { return &value_; }
  // The string value; empty for a null BSTR.
  const wchar_t* text() const { return value_.bstrVal != nullptr ? value_.bstrVal : L""; }
  HRESULT Clear() { return VariantClear(&value_); }

 private:
  VARIANT value_;
};

// Reads one property; a value that is not a string counts as unreadable (its bits are no text).
HRESULT ReadTextProperty(IPropertyBag* bag, const wchar_t* name, ScopedVariant* value);

// Copies at most units code units; a shorter text leaves the rest of the field as it was (zero).
void CopyToField(wchar_t* field, size_t units, const wchar_t* text);

// The text of a field: up to its first zero unit or its end.
size_t FieldLength(const wchar_t* field, size_t units);

// Whether a field's text equals a zero-terminated text, unit by unit.
bool FieldEquals(const wchar_t* field, size_t units, const wchar_t* text);
