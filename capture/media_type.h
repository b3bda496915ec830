// Freeing the media types that a capture pin hands out (GetStreamCaps), by the published rule.
#pragma once

#include <strmif.h>

void FreeMediaType(AM_MEDIA_TYPE& type);
// Nothing for a null pointer.
void DeleteMediaType(AM_MEDIA_TYPE* type);

// Frees a media type on every path out of a scope.
class ScopedMediaType {
 public:
  // Takes ownership of a media type that a successful call returned.
  explicit ScopedMediaType(AM_MEDIA_TYPE* type) : type_(type) {}
  ~ScopedMediaType() { DeleteMediaType(type_); }
  ScopedMediaType(const ScopedMediaType&) = delete;
  ScopedMediaType& operator=(const ScopedMediaType&) = delete;

  AM_MEDIA_TYPE* get() const { return type_; }

 private:
  AM_MEDIA_TYPE* type_ = nullptr;
};
