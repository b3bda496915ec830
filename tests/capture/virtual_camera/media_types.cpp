#include "media_types.h"

#include <dvdmedia.h>
#include <string.h>

#include <algorithm>

namespace virtual_camera {
namespace {

int HeaderSize(const GUID& format_type) {
  if (format_type == FORMAT_VideoInfo) return sizeof(VIDEOINFOHEADER);
  if (format_type == FORMAT_VideoInfo2) return sizeof(VIDEOINFOHEADER2);
  return 0;
}

int BlockSize(const Capability& cap) { return cap.blockSize >= 0 ? cap.blockSize : HeaderSize(cap.formatType); }

const BITMAPINFOHEADER* BitmapHeader(const AM_MEDIA_TYPE& type) {
  if (type.pbFormat == nullptr) return nullptr;
  if (type.formattype == FORMAT_VideoInfo && type.cbFormat >= sizeof(VIDEOINFOHEADER)) {
    return &reinterpret_cast<const VIDEOINFOHEADER*>(type.pbFormat)->bmiHeader;
  }
  if (type.formattype == FORMAT_VideoInfo2 && type.cbFormat >= sizeof(VIDEOINFOHEADER2)) {
    return &reinterpret_cast<const VIDEOINFOHEADER2*>(type.pbFormat)->bmiHeader;
  }
  return nullptr;
}

}  // namespace

GUID SubtypeOf(const Capability& cap) {
  if (cap.compression == 0) {
    switch (cap.bitCount) {
      case 24:
        return MEDIASUBTYPE_RGB24;
      case 16:
        return MEDIASUBTYPE_RGB565;
      default:
        return MEDIASUBTYPE_RGB32;
    }
  }
  // The FourCC media subtypes share one base GUID.
  GUID subtype = {cap.compression, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
  return subtype;
}

DWORD ImageSize(const Capability& cap) {
  const DWORD height = static_cast<DWORD>(cap.height < 0 ? -cap.height : cap.height);
  if (cap.compression == FourCC('I', '4', '2', '0') || cap.compression == FourCC('N', 'V', '1', '2')) {
    return static_cast<DWORD>(cap.width) * height * 3 / 2;
  }
  return static_cast<DWORD>(cap.width) * height * cap.bitCount / 8;
}

bool Connectable(const Capability& cap) {
  return !cap.nullBlock && HeaderSize(cap.formatType) > 0 && BlockSize(cap) >= HeaderSize(cap.formatType);
}

void FillMediaType(const Capability& cap, AM_MEDIA_TYPE* type) {
  memset(type, 0, sizeof *type);
  type->majortype = MEDIATYPE_Video;
  type->subtype = SubtypeOf(cap);
  type->bFixedSizeSamples = cap.compression == 0;
  type->bTemporalCompression = FALSE;
  type->lSampleSize = static_cast<ULONG>(ImageSize(cap));
  type->formattype = cap.formatType;

  // The larger of the two headers; a block states what it holds and gets the bytes that fit.
  VIDEOINFOHEADER2 header = {};
  BITMAPINFOHEADER* bitmap = nullptr;
  if (cap.formatType == FORMAT_VideoInfo2) {
    header.rcSource = {0, 0, cap.width, cap.height};
    header.rcTarget = header.rcSource;
    header.AvgTimePerFrame = cap.frameInterval;
    bitmap = &header.bmiHeader;
  } else {
    auto* info = reinterpret_cast<VIDEOINFOHEADER*>(&header);
    info->rcSource = {0, 0, cap.width, cap.height};
    info->rcTarget = info->rcSource;
    info->AvgTimePerFrame = cap.frameInterval;
    bitmap = &info->bmiHeader;
  }
  bitmap->biSize = sizeof(BITMAPINFOHEADER);
  bitmap->biWidth = cap.width;
  bitmap->biHeight = cap.height;
  bitmap->biPlanes = 1;
  bitmap->biBitCount = cap.bitCount;
  bitmap->biCompression = cap.compression;
  bitmap->biSizeImage = ImageSize(cap);

  const int size = BlockSize(cap);
  type->cbFormat = static_cast<ULONG>(size);
  if (cap.nullBlock || size == 0) return;
  type->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(size));
  memset(type->pbFormat, 0, size);
  memcpy(type->pbFormat, &header, std::min<size_t>(size, sizeof header));
}

AM_MEDIA_TYPE* NewMediaType(const Capability& cap) {
  auto* type = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
  if (type != nullptr) FillMediaType(cap, type);
  return type;
}

void FreeMediaTypeContents(AM_MEDIA_TYPE* type) {
  CoTaskMemFree(type->pbFormat);
  type->pbFormat = nullptr;
  type->cbFormat = 0;
  if (type->pUnk != nullptr) {
    type->pUnk->Release();
    type->pUnk = nullptr;
  }
}

void DeleteMediaTypeBlock(AM_MEDIA_TYPE* type) {
  if (type == nullptr) return;
  FreeMediaTypeContents(type);
  CoTaskMemFree(type);
}

HRESULT CopyMediaTypeInto(const AM_MEDIA_TYPE& from, AM_MEDIA_TYPE* to) {
  *to = from;
  to->pUnk = nullptr;
  if (from.cbFormat == 0 || from.pbFormat == nullptr) {
    to->cbFormat = 0;
    to->pbFormat = nullptr;
    return S_OK;
  }
  to->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(from.cbFormat));
  if (to->pbFormat == nullptr) return E_OUTOFMEMORY;
  memcpy(to->pbFormat, from.pbFormat, from.cbFormat);
  return S_OK;
}

bool DescribesCapability(const AM_MEDIA_TYPE& type, const Capability& cap) {
  const BITMAPINFOHEADER* bitmap = BitmapHeader(type);
  return bitmap != nullptr && type.subtype == SubtypeOf(cap) && bitmap->biWidth == cap.width &&
         bitmap->biHeight == cap.height;
}

bool Admits(const AM_MEDIA_TYPE& partial, const AM_MEDIA_TYPE& full) {
  return (partial.majortype == GUID_NULL || partial.majortype == full.majortype) &&
         (partial.subtype == GUID_NULL || partial.subtype == full.subtype) &&
         (partial.formattype == GUID_NULL || partial.formattype == full.formattype);
}

}  // namespace virtual_camera
