/* Handle tables: slots with generations behind opaque handles, shared by the kernel's tables. */
#include "kernel_private.h"

#include <stdlib.h>
#include <string.h>

/* The native flavour runs on 64-bit hosts: the generation lives in the upper half of a handle. */
static_assert(sizeof(uintptr_t) == 8, "handles need 64 bits");

#define TABLE_MAX_SLOTS 0xFFFFFE /* the slot number must fit in 24 bits */

static HANDLE table_make_handle(const KernelTable *t, int slot)
{
    uintptr_t v = ((uintptr_t)t->generation[slot] << 32) | ((uintptr_t)t->tag << 24) | (uintptr_t)(slot + 1);
    return (HANDLE)v;
}

/* The slot h names if it carries this table's tag and the slot's current generation, else -1. */
static int table_slot_of(const KernelTable *t, HANDLE h)
{
    uintptr_t v = (uintptr_t)h;
    if (((v >> 24) & 0xFF) != t->tag)
        return -1;
    int slot = (int)(v & 0xFFFFFF) - 1;
    if (slot < 0 || slot >= t->highWater || !t->live[slot] || t->generation[slot] != (uint32_t)(v >> 32))
        return -1;
    return slot;
}

static bool table_grow(KernelTable *t)
{
    int cap = t->capacity ? t->capacity * 2 : 16;
    if (cap > TABLE_MAX_SLOTS)
        cap = TABLE_MAX_SLOTS;
    if (cap <= t->capacity)
        return false;
    unsigned char *entries = (unsigned char *)realloc(t->entries, (size_t)cap * t->entrySize);
    if (!entries)
        return false;
    t->entries = entries;
    uint32_t *generation = (uint32_t *)realloc(t->generation, (size_t)cap * sizeof *generation);
    if (!generation)
        return false;
    t->generation = generation;
    unsigned char *live = (unsigned char *)realloc(t->live, (size_t)cap);
    if (!live)
        return false;
    t->live = live;
    t->capacity = cap;
    return true;
}

/* The lowest free slot is reused, so the same sequence of calls yields the same slot numbers
 * (and trace entries) whatever ran before it in the process. */
void *kernel_table_add(KernelTable *t, HANDLE *handle)
{
    int slot = t->firstFree;
    while (slot < t->highWater && t->live[slot])
        slot++;
    if (slot == t->highWater) {
        if (t->highWater == t->capacity && !table_grow(t))
            return NULL;
        t->generation[slot] = 0;
        t->highWater++;
    }
    t->firstFree = slot + 1;
    t->live[slot] = 1;
    t->liveCount++;
    void *entry = t->entries + (size_t)slot * t->entrySize;
    memset(entry, 0, t->entrySize);
    *handle = table_make_handle(t, slot);
    return entry;
}

void *kernel_table_get(const KernelTable *t, HANDLE h)
{
    int slot = table_slot_of(t, h);
    return slot < 0 ? NULL : t->entries + (size_t)slot * t->entrySize;
}

bool kernel_table_remove(KernelTable *t, HANDLE h)
{
    int slot = table_slot_of(t, h);
    if (slot < 0)
        return false;
    t->live[slot] = 0;
    t->generation[slot]++;
    if (slot < t->firstFree)
        t->firstFree = slot;
    t->liveCount--;
    return true;
}

int kernel_table_number(const KernelTable *t, HANDLE h) { return table_slot_of(t, h) + 1; }

void *kernel_table_slot(const KernelTable *t, int i)
{
    return i >= 0 && i < t->highWater && t->live[i] ? t->entries + (size_t)i * t->entrySize : NULL;
}

HANDLE kernel_table_handle(const KernelTable *t, int i) { return table_make_handle(t, i); }
