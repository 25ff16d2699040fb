/* The GDI lock and the handle table behind every pen, brush, bitmap, DC and metafile handle the
 * stand-in gives out, with the stock objects, stale-handle detection and the live counters. */
#include "gdi_private.h"

#include <linux/futex.h>
#include <linux/membarrier.h>
#include <pthread.h>
#include <sched.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

namespace {

/* Handle value: tag (bits 28-31), slot generation (18-27), OBJ_* type (14-17), slot (0-13). The tag
 * keeps kernel handles and small integers from ever naming a GDI object; the generation makes a
 * handle stale once its slot is freed, even if the slot is reused. */
enum : uint32_t {
    HANDLE_TAG = 0x3u << 28,
    HANDLE_TAG_MASK = 0xFu << 28,
    GEN_SHIFT = 18,
    GEN_MASK = 0x3FF,
    TYPE_SHIFT = 14,
    TYPE_MASK = 0xF,
    SLOT_MASK = 0x3FFF,
    FIRST_DYNAMIC_SLOT = GDI_STOCK_COUNT + 1, /* slot 0 is never used; stock object i is slot i+1 */
};
static_assert(SLOT_MASK + 1 == GDI_HANDLE_SLOTS && GEN_MASK == 1023, "gdi_handle_entry and HandleEntry know the layout");

/* The GDI lock, recursive: 0 free, 1 taken, 2 taken with a thread asleep on it. Uncontended it
 * costs one atomic exchange to take and one to give back. */
std::atomic<int> g_lockState{0};
std::atomic<pthread_t> g_lockOwner{0};
int g_lockDepth; /* the owner's */

} /* namespace */

HandleEntry g_entries[GDI_HANDLE_SLOTS];

/* The lone thread's road (gdi_private.h). The barrier is what makes its plain stores and loads
 * safe: once lock_share's barrier has run, the lone thread's next entry sees g_shared and takes the
 * lock, and its being inside, stored before it looked at g_shared, is seen by lock_share. Where the
 * kernel lacks the barrier, nobody takes the lone road. */
std::atomic<bool> g_shared{false};
std::atomic<uintptr_t> g_loneThread{0};
std::atomic<int> g_loneDepth{0};

namespace {

bool lock_barrier(int command) { return syscall(SYS_membarrier, command, 0, 0) == 0; }

const bool g_barrierReady = lock_barrier(MEMBARRIER_CMD_REGISTER_PRIVATE_EXPEDITED);

/* Closes the lone road; with the lock held. */
void lock_share(void)
{
    g_shared.store(true, std::memory_order_relaxed);
    if (!g_barrierReady)
        return;
    lock_barrier(MEMBARRIER_CMD_PRIVATE_EXPEDITED);
    while (g_loneDepth.load(std::memory_order_acquire) != 0)
        sched_yield();
}

uint32_t g_firstFree = FIRST_DYNAMIC_SLOT; /* no free dynamic slot below this one */
long g_liveObjects, g_liveDCs;

/* Type of each stock object, by GetStockObject index; 0 where the index names none (9). */
const uint8_t kStockTypes[GDI_STOCK_COUNT] = {
    OBJ_BRUSH, OBJ_BRUSH, OBJ_BRUSH, OBJ_BRUSH, OBJ_BRUSH, OBJ_BRUSH, /* WHITE..NULL_BRUSH */
    OBJ_PEN,   OBJ_PEN,   OBJ_PEN,                                    /* WHITE, BLACK, NULL_PEN */
    0,
    OBJ_FONT,  OBJ_FONT,  OBJ_FONT,  OBJ_FONT,  OBJ_FONT,             /* OEM_FIXED..DEVICE_DEFAULT */
    OBJ_PAL,                                                          /* DEFAULT_PALETTE */
    OBJ_FONT,  OBJ_FONT,                                              /* SYSTEM_FIXED, DEFAULT_GUI */
    OBJ_BRUSH, OBJ_PEN,                                               /* DC_BRUSH, DC_PEN */
    OBJ_BITMAP,                                                       /* the 1x1 monochrome bitmap */
};

const char *const kStockNames[GDI_STOCK_COUNT] = {
    "WHITE_BRUSH", "LTGRAY_BRUSH", "GRAY_BRUSH", "DKGRAY_BRUSH", "BLACK_BRUSH", "NULL_BRUSH",
    "WHITE_PEN", "BLACK_PEN", "NULL_PEN", NULL, "OEM_FIXED_FONT", "ANSI_FIXED_FONT",
    "ANSI_VAR_FONT", "SYSTEM_FONT", "DEVICE_DEFAULT_FONT", "DEFAULT_PALETTE", "SYSTEM_FIXED_FONT",
    "DEFAULT_GUI_FONT", "DC_BRUSH", "DC_PEN", "STOCK_BITMAP",
};

uint32_t handles_make(uint32_t slot, uint32_t type, uint32_t generation)
{
    return HANDLE_TAG | (generation << GEN_SHIFT) | (type << TYPE_SHIFT) | slot;
}

bool handles_is_dc_type(uint32_t type)
{
    return type == OBJ_DC || type == OBJ_MEMDC || type == OBJ_ENHMETADC;
}

void handles_count(uint32_t type, int delta)
{
    if (handles_is_dc_type(type))
        g_liveDCs += delta;
    else
        g_liveObjects += delta;
}

void *handles_stock_payload(int i)
{
    switch (kStockTypes[i]) {
    case OBJ_PEN: return pen_stock(i);
    case OBJ_BRUSH: return brush_stock(i);
    case OBJ_BITMAP: return bitmap_stock();
    default: return NULL; /* fonts and the palette carry no data of their own here */
    }
}

/* Lays out the stock objects in their slots, once; slot 0 gets a value no handle names. */
bool handles_lay_out_stock(void)
{
    if (g_entries[0].handle != 0)
        return true;
    g_entries[0].handle = 1;
    for (int i = 0; i < GDI_STOCK_COUNT; i++) {
        g_entries[i + 1].type = kStockTypes[i];
        g_entries[i + 1].generation = 1;
        g_entries[i + 1].handle = kStockTypes[i] ? handles_make((uint32_t)i + 1, kStockTypes[i], 1) : 0;
        g_entries[i + 1].payload = handles_stock_payload(i);
    }
    return true;
}

/* The stock objects are laid out when the library loads, so a lookup is an index and a generation
 * check; a handle made before that (by another library's loading) lays them out first. */
const bool g_stockLaidOut = handles_lay_out_stock();

void handles_release_slot(HandleEntry *e)
{
    uint32_t slot = (uint32_t)(e - g_entries);
    handles_count(e->type, -1);
    e->type = 0;
    e->handle = 0;
    e->payload = NULL;
    e->deletePending = false;
    e->inMetafile = false;
    e->selected = 0;
    e->generation = (uint16_t)(e->generation + 1u < GEN_MASK ? e->generation + 1u : 0);
    if (slot < g_firstFree)
        g_firstFree = slot;
}

} /* namespace */

bool gdi_lock_claim(void)
{
    uintptr_t none = 0;
    return g_barrierReady && !g_shared.load(std::memory_order_relaxed) &&
           g_loneThread.compare_exchange_strong(none, gdi_thread_self(), std::memory_order_relaxed);
}

void gdi_lock_shared(void)
{
    pthread_t self = pthread_self();
    /* Only this thread ever stores its own id here, so a stale value never equals it. */
    if (g_lockOwner.load(std::memory_order_relaxed) == self) {
        g_lockDepth++;
        return;
    }
    int expected = 0;
    if (!g_lockState.compare_exchange_strong(expected, 1, std::memory_order_acquire)) {
        while (g_lockState.exchange(2, std::memory_order_acquire) != 0)
            syscall(SYS_futex, &g_lockState, FUTEX_WAIT_PRIVATE, 2, NULL, NULL, 0);
    }
    g_lockOwner.store(self, std::memory_order_relaxed);
    g_lockDepth = 1;
    if (!g_shared.load(std::memory_order_relaxed))
        lock_share();
}

void gdi_unlock_shared(void)
{
    if (--g_lockDepth > 0)
        return;
    g_lockOwner.store(0, std::memory_order_relaxed);
    if (g_lockState.exchange(0, std::memory_order_release) == 2)
        syscall(SYS_futex, &g_lockState, FUTEX_WAKE_PRIVATE, 1, NULL, NULL, 0);
}

bool gdi_enter_hooked(const char *name, const char *argsFormat, ...)
{
    if (hooks_tracing()) {
        char args[256];
        va_list ap;
        va_start(ap, argsFormat);
        vsnprintf(args, sizeof args, argsFormat, ap);
        va_end(ap);
        hooks_trace(name, "%s", args);
    }
    if (!hooks_fail(name))
        return true;
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    gdi_unlock();
    return false;
}

HGDIOBJ gdi_handle_alloc(DWORD objType, void *payload)
{
    handles_lay_out_stock();
    uint32_t slot = g_firstFree;
    while (slot < GDI_HANDLE_SLOTS && g_entries[slot].type != 0)
        slot++;
    if (slot == GDI_HANDLE_SLOTS)
        return NULL;
    HandleEntry *e = &g_entries[slot];
    e->type = (uint8_t)objType;
    e->handle = handles_make(slot, objType, e->generation);
    e->payload = payload;
    g_firstFree = slot + 1;
    handles_count(objType, +1);
    return (HGDIOBJ)(uintptr_t)e->handle;
}

int gdi_stock_index(HGDIOBJ h)
{
    uintptr_t value = (uintptr_t)h;
    uint32_t slot = (uint32_t)value & SLOT_MASK;
    if (slot == 0 || slot > GDI_STOCK_COUNT || kStockTypes[slot - 1] == 0)
        return -1;
    return value == handles_make(slot, kStockTypes[slot - 1], 1) ? (int)slot - 1 : -1;
}

HGDIOBJ gdi_stock_handle(int i)
{
    if (i < 0 || i >= GDI_STOCK_COUNT || kStockTypes[i] == 0)
        return NULL;
    return (HGDIOBJ)(uintptr_t)handles_make((uint32_t)i + 1, kStockTypes[i], 1);
}

void gdi_handle_free(HGDIOBJ h)
{
    HandleEntry *e = gdi_handle_entry(h);
    if (e && gdi_stock_index(h) < 0)
        handles_release_slot(e);
}

int gdi_object_holders(HGDIOBJ h)
{
    HandleEntry *e = gdi_handle_entry(h);
    return e ? e->selected : 0;
}

void gdi_object_release(HandleEntry *e)
{
    gdi_object_free(e->type, e->payload);
    handles_release_slot(e);
}

const char *gdi_handle_name(HGDIOBJ h, char *buf)
{
    /* Names exist for the trace only: every entry point asks, so stay cheap when it is off. */
    if (!hooks_tracing())
        return "";
    if (!h)
        return "null";
    int stock = gdi_stock_index(h);
    if (stock >= 0)
        return kStockNames[stock];
    uintptr_t value = (uintptr_t)h;
    const char *kind = NULL;
    switch (((uint32_t)value >> TYPE_SHIFT) & TYPE_MASK) {
    case OBJ_PEN: case OBJ_EXTPEN: kind = "pen"; break;
    case OBJ_BRUSH: kind = "brush"; break;
    case OBJ_DC: case OBJ_MEMDC: case OBJ_ENHMETADC: kind = "dc"; break;
    case OBJ_PAL: kind = "palette"; break;
    case OBJ_FONT: kind = "font"; break;
    case OBJ_BITMAP: kind = "bitmap"; break;
    case OBJ_REGION: kind = "region"; break;
    case OBJ_ENHMETAFILE: kind = "emf"; break;
    }
    uint32_t slot = (uint32_t)value & SLOT_MASK;
    if (value > UINT32_MAX || (value & HANDLE_TAG_MASK) != HANDLE_TAG || !kind || slot < FIRST_DYNAMIC_SLOT)
        snprintf(buf, 32, "%#lx", (unsigned long)value);
    else
        snprintf(buf, 32, "%s#%u", kind, slot - GDI_STOCK_COUNT);
    return buf;
}

HGDIOBJ WINAPI GetStockObject(int i)
{
    if (!gdi_enter("GetStockObject", "%d", i))
        return NULL;
    /* The stock bitmap has a slot but no GetStockObject index. */
    HGDIOBJ h = i < GDI_STOCK_BITMAP ? gdi_stock_handle(i) : NULL;
    gdi_unlock();
    return h;
}

DWORD WINAPI GetObjectType(HGDIOBJ h)
{
    char name[32];
    if (!gdi_enter("GetObjectType", "%s", gdi_handle_name(h, name)))
        return 0;
    DWORD type = gdi_handle_type(h);
    if (type == 0)
        SetLastError(ERROR_INVALID_HANDLE);
    gdi_unlock();
    return type;
}

long StandinLiveGdiObjects(void)
{
    gdi_lock();
    long n = g_liveObjects;
    gdi_unlock();
    return n;
}

long StandinLiveDCs(void)
{
    gdi_lock();
    long n = g_liveDCs;
    gdi_unlock();
    return n;
}
