/* Entry points shared between the stand-in's files (kernel, gdi, user, hooks). Not for the library. */
#ifndef TAVLINQX_STANDIN_PRIVATE_H
#define TAVLINQX_STANDIN_PRIVATE_H

#include <atomic>

#include "winapi.h"
#include "standin.h"

/* ---- Hooks (hooks.cpp) ---- */

/* Threads tracing now plus faults armed now, over every thread. While it is 0, which is always
 * outside the tests, a hook costs one predictable branch on it and touches no thread-local state.
 * Relaxed loads suffice: a thread acts only on its own trace and faults, whose changes it made. */
extern std::atomic<int> g_hooksInUse;

/* The per-thread parts, reached only while some hook is in use. */
bool hooks_thread_tracing(void);
bool hooks_thread_fail(const char *name);

/* True while some thread traces or has a fault armed: the one check on the recording path. */
inline bool hooks_in_use(void) { return g_hooksInUse.load(std::memory_order_relaxed) != 0; }
/* True while this thread traces; callers test it before formatting an entry. */
inline bool hooks_tracing(void)
{
    return hooks_in_use() && hooks_thread_tracing();
}
/* Appends "name(args)" to this thread's trace; args is printf-formatted. No-op when not tracing. */
void hooks_trace(const char *name, const char *argsFormat, ...) __attribute__((format(printf, 2, 3)));
/* Consumes one armed fault for name: true when this call is the one that must fail. */
inline bool hooks_fail(const char *name)
{
    return hooks_in_use() && hooks_thread_fail(name);
}

/* ---- Kernel (kernel/) ---- */

/* Live-block counter behind StandinLiveGlobalBlocks. */
long kernel_live_global_blocks(void);
/* GetACP's answer without a trace entry: 1252, or the code page $TAVLINQX_ACP names (1..65535). */
UINT codepage_acp(void);
/* IsDBCSLeadByteEx's answer without a trace entry or fault; code page 0 is the ANSI code page. */
bool codepage_is_lead_byte(UINT codePage, BYTE b);
/* TranslateCharsetInfo's code page for a character set, without a trace entry or fault; false for
 * the sets it does not translate. */
bool codepage_of_charset(BYTE charset, UINT *codePage);

#endif
