/* Scratch memory of a call, taken from movable global memory. */
#include "frame/scratch.h"

void *LockScratch(SIZE_T size, HGLOBAL *block)
{
    *block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    if (*block == NULL)
        return NULL;
    void *bytes = GlobalLock(*block);
    if (bytes == NULL) {
        GlobalFree(*block);
        *block = NULL;
    }
    return bytes;
}

void FreeScratch(HGLOBAL block)
{
    if (block == NULL)
        return;
    GlobalUnlock(block);
    GlobalFree(block);
}
