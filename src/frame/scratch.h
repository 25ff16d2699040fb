/* Scratch memory of a call: movable, zero-filled global memory, locked while in use and always
 * unlocked and freed before the call returns. */
#ifndef TAVLINQX_SCRATCH_H
#define TAVLINQX_SCRATCH_H

#include "frame/win32.h"

/* Allocates (GMEM_MOVEABLE | GMEM_ZEROINIT) and locks size bytes. Returns their address with the
 * block's handle in *block, or NULL with nothing left allocated. */
void *LockScratch(SIZE_T size, HGLOBAL *block);

/* Unlocks and frees a block from LockScratch; a null block (a call that needed none) is ignored. */
void FreeScratch(HGLOBAL block);

#endif
