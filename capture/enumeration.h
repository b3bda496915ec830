// Device enumeration through the system device enumerator. Caller's thread, COM initialised.
#pragma once

#include <strmif.h>

// S_OK with the enumerator stored; a failure code with nothing stored; VFW_E_NOT_FOUND for no device.
HRESULT EnumerateDevices(REFCLSID category, IEnumMoniker** devices);
