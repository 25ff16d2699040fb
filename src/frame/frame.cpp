/* Module entry. The library holds no state: loading and unloading allocate and free nothing. */
#include "frame/win32.h"

#ifdef _WIN32
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)instance;
    (void)reason;
    (void)reserved;
    return TRUE;
}
#endif
