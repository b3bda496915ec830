#include "property_text.h"

#include <wchar.h>

HRESULT ReadTextProperty(IPropertyBag* bag, const wchar_t* name, ScopedVariant* value) {
  value->Clear();
  HRESULT hr = bag->Read(name, value->get(), nullptr);
  if (FAILED(hr)) return hr;
  if (value->get()->vt != VT_BSTR) {
    value->Clear();
    return DISP_E_TYPEMISMATCH;
  }
  return hr;
}

void CopyToField(wchar_t* field, size_t units, const wchar_t* text) {
  for (size_t i = 0; i < units && text[i] != L'\0'; ++i) field[i] = text[i];
}

size_t FieldLength(const wchar_t* field, size_t units) {
  size_t length = 0;
  while (length < units && field[length] != L'\0') ++length;
  return length;
}

bool FieldEquals(const wchar_t* field, size_t units, const wchar_t* text) {
  const size_t length = FieldLength(field, units);
  return wcslen(text) == length && wmemcmp(field, text, length) == 0;
}
