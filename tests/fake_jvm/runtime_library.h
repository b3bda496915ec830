// The runtime C library stand-in's one export (runtime_library.c).
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

__declspec(dllimport) const char* qmr_runtime_library_path(void);

#ifdef __cplusplus
}
#endif
