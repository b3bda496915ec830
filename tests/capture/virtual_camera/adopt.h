// Takes over a reference that is already counted. mingw-w64's ComPtr::Attach adds a reference of its
// own (unlike the platform SDK's), which would keep every adopted object alive for ever.
#pragma once

#include <wrl/client.h>

namespace virtual_camera {

template <typename T>
Microsoft::WRL::ComPtr<T> Adopt(T* counted) {
  Microsoft::WRL::ComPtr<T> owner;
  *owner.GetAddressOf() = counted;
  return owner;
}

}  // namespace virtual_camera
