// Media types of the virtual camera's capabilities, allocated the way a capture pin hands them out
// (the structure and its format block from the COM task allocator).
#pragma once

#include <dshow.h>

#include "camera_config.h"

namespace virtual_camera {

GUID SubtypeOf(const Capability& cap);
DWORD ImageSize(const Capability& cap);
// Whether the capability has a whole header that a connection can use.
bool Connectable(const Capability& cap);

// Fills a media type whose format block this call allocates.
void FillMediaType(const Capability& cap, AM_MEDIA_TYPE* type);
AM_MEDIA_TYPE* NewMediaType(const Capability& cap);
void FreeMediaTypeContents(AM_MEDIA_TYPE* type);
void DeleteMediaTypeBlock(AM_MEDIA_TYPE* type);
HRESULT CopyMediaTypeInto(const AM_MEDIA_TYPE& from, AM_MEDIA_TYPE* to);

// Whether a media type names this capability: subtype, width and height from its header.
bool DescribesCapability(const AM_MEDIA_TYPE& type, const Capability& cap);
// Whether a partial media type (GUID_NULL fields match anything) admits a full one.
bool Admits(const AM_MEDIA_TYPE& partial, const AM_MEDIA_TYPE& full);

}  // namespace virtual_camera
