/* The job's spool metafile: a unique name in the Windows directory's temp folder, the metafile
 * device context on it, and its completion. */
#include "frame/win32.h"

#include <string.h>

/* Name of the spool folder below the Windows directory. */
static const char kSpoolFolder[] = "\\temp";

INT TAVLINQX_API GetEmfFilePath32(LPSTR path)
{
    CHAR folder[MAX_PATH];
    memset(folder, 0, sizeof folder);

    /* A Windows directory too long to take "\temp" (over 254 characters) is not used: the caller's
     * buffer then holds an empty string rather than a truncated or unterminated one. */
    UINT length = GetWindowsDirectoryA(folder, MAX_PATH);
    if (length >= MAX_PATH - (sizeof kSpoolFolder - 1)) {
        path[0] = '\0';
        return 0;
    }
    lstrcatA(folder, kSpoolFolder);
    if (GetTempFileNameA(folder, "EMF", 0, path) == 0)
        path[0] = '\0';
    return 0;
}

INT TAVLINQX_API GetEmfFileDC32(const DEVMODEA *devMode, LPCSTR deviceName, LPCSTR path,
                                const RECT *frame, const void *unused5, const void *unused6,
                                HDC *dcSlot)
{
    (void)unused5;
    (void)unused6;
    HDC reference = CreateDCA("WINSPL16", deviceName, NULL, devMode);
    if (reference == NULL)
        return -1;

    HDC metafile = CreateEnhMetaFileA(reference, path, frame, NULL);
    if (metafile == NULL) {
        DeleteDC(reference);
        return -1;
    }
    *dcSlot = metafile;
    DeleteDC(reference);
    return 0;
}

INT TAVLINQX_API CloseEmfFile32(HDC *dcSlot)
{
    HENHMETAFILE metafile = CloseEnhMetaFile(*dcSlot);
    DeleteEnhMetaFile(metafile);
    return 0;
}
