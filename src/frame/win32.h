/* The Win32 API as the library's own code calls it: <windows.h> on Windows, the stand-in's
 * declarations of the same names elsewhere, and the exports with their records. */
#ifndef TAVLINQX_FRAME_WIN32_H
#define TAVLINQX_FRAME_WIN32_H

#ifdef _WIN32
#include <windows.h>
#else
#include <winapi.h>
#endif

#include "tavlinqx.h"

#endif
