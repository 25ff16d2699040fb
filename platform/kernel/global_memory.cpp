/* Global memory: movable blocks behind handles with a lock count, fixed blocks whose handle is
 * their address, and the live-block counter the tests use to find leaks. */
#include "kernel_private.h"

#include <stdio.h>
#include <stdlib.h>

#include <mutex>

#define GMEM_MAX_BYTES 0x7FFFFFFFu /* a 32-bit Windows process cannot get more in one block */
#define GMEM_MAX_LOCKS 255         /* the lock count saturates here, as on Windows */

namespace {

struct GlobalBlock {
    void *data;         /* NULL for a movable block of 0 bytes, which Windows keeps "discarded" */
    SIZE_T size;
    bool moveable;
    unsigned lockCount; /* movable blocks only */
};

std::mutex g_memLock;
KernelTable g_memTable = KERNEL_TABLE_INIT(KERNEL_TAG_GLOBAL, GlobalBlock);

} /* namespace */

/* The slot of the block h names: a movable block by its handle, a fixed block by its address,
 * found by comparing addresses so that a junk handle is never dereferenced. -1 if none. */
static int gmem_find(HGLOBAL h)
{
    int number = kernel_table_number(&g_memTable, h);
    if (number > 0) {
        GlobalBlock *b = (GlobalBlock *)kernel_table_slot(&g_memTable, number - 1);
        return b->moveable ? number - 1 : -1;
    }
    for (int i = 0; h && i < g_memTable.highWater; i++) {
        GlobalBlock *b = (GlobalBlock *)kernel_table_slot(&g_memTable, i);
        if (b && !b->moveable && b->data == h)
            return i;
    }
    return -1;
}

static GlobalBlock *gmem_block(int slot) { return (GlobalBlock *)kernel_table_slot(&g_memTable, slot); }

/* Traces name(mem#n) for h; call with the lock held. */
static void gmem_trace(const char *name, HGLOBAL h)
{
    if (hooks_tracing())
        hooks_trace(name, "mem#%d", h ? gmem_find(h) + 1 : 0);
}

HGLOBAL WINAPI GlobalAlloc(UINT uFlags, SIZE_T dwBytes)
{
    hooks_trace("GlobalAlloc", "0x%x, %zu", uFlags, (size_t)dwBytes);
    if (hooks_fail("GlobalAlloc") || dwBytes > GMEM_MAX_BYTES) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return NULL;
    }
    bool moveable = (uFlags & GMEM_MOVEABLE) != 0;
    void *data = NULL;
    if (dwBytes > 0 || !moveable) {
        size_t n = dwBytes ? dwBytes : 1;
        data = (uFlags & GMEM_ZEROINIT) ? calloc(1, n) : malloc(n);
        if (!data) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return NULL;
        }
    }
    std::lock_guard<std::mutex> guard(g_memLock);
    HANDLE h;
    GlobalBlock *b = (GlobalBlock *)kernel_table_add(&g_memTable, &h);
    if (!b) {
        free(data);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return NULL;
    }
    b->data = data;
    b->size = dwBytes;
    b->moveable = moveable;
    return moveable ? h : (HGLOBAL)data;
}

LPVOID WINAPI GlobalLock(HGLOBAL hMem)
{
    std::lock_guard<std::mutex> guard(g_memLock);
    gmem_trace("GlobalLock", hMem);
    if (hooks_fail("GlobalLock")) {
        SetLastError(ERROR_DISCARDED);
        return NULL;
    }
    int slot = gmem_find(hMem);
    if (slot < 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return NULL;
    }
    GlobalBlock *b = gmem_block(slot);
    if (!b->data) {
        SetLastError(ERROR_DISCARDED);
        return NULL;
    }
    if (b->moveable && b->lockCount < GMEM_MAX_LOCKS)
        b->lockCount++;
    return b->data;
}

/* TRUE while the block stays locked; FALSE with last error 0 when this call unlocked it, with
 * ERROR_NOT_LOCKED when it was not locked. Fixed blocks have no lock count and answer TRUE. */
BOOL WINAPI GlobalUnlock(HGLOBAL hMem)
{
    std::lock_guard<std::mutex> guard(g_memLock);
    gmem_trace("GlobalUnlock", hMem);
    if (hooks_fail("GlobalUnlock")) {
        SetLastError(ERROR_NOT_LOCKED);
        return FALSE;
    }
    int slot = gmem_find(hMem);
    if (slot < 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    GlobalBlock *b = gmem_block(slot);
    if (b->moveable && b->lockCount == 0) {
        SetLastError(ERROR_NOT_LOCKED);
        return FALSE;
    }
    if (!b->moveable || --b->lockCount > 0)
        return TRUE;
    SetLastError(ERROR_SUCCESS);
    return FALSE;
}

/* NULL when freed (a locked block is freed too), or hMem when it names no block. */
HGLOBAL WINAPI GlobalFree(HGLOBAL hMem)
{
    std::lock_guard<std::mutex> guard(g_memLock);
    gmem_trace("GlobalFree", hMem);
    bool fail = hooks_fail("GlobalFree");
    if (!hMem && !fail)
        return NULL;
    int slot = gmem_find(hMem);
    if (slot < 0 || fail) {
        SetLastError(ERROR_INVALID_HANDLE);
        return hMem;
    }
    free(gmem_block(slot)->data);
    kernel_table_remove(&g_memTable, kernel_table_handle(&g_memTable, slot));
    return NULL;
}

SIZE_T WINAPI GlobalSize(HGLOBAL hMem)
{
    std::lock_guard<std::mutex> guard(g_memLock);
    gmem_trace("GlobalSize", hMem);
    bool fail = hooks_fail("GlobalSize");
    int slot = gmem_find(hMem);
    if (slot < 0 || fail) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return gmem_block(slot)->size;
}

long kernel_live_global_blocks(void)
{
    std::lock_guard<std::mutex> guard(g_memLock);
    return g_memTable.liveCount;
}
