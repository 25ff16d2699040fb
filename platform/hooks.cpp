/* The stand-in's testing hooks: per-thread call trace and fault injection. Inert unless a test
 * turns them on; g_hooksInUse keeps them off the recording path until then. */
#include "private.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

std::atomic<int> g_hooksInUse{0};

namespace {

struct ArmedFault {
    std::string name;
    int remaining; /* calls still to pass before the one that fails */
};

/* One thread's hooks; what it adds to g_hooksInUse goes when the thread ends. */
struct ThreadHooks {
    bool tracing = false;
    std::vector<std::string> trace;
    std::vector<ArmedFault> faults;

    ~ThreadHooks() { g_hooksInUse -= (tracing ? 1 : 0) + (int)faults.size(); }
};

thread_local ThreadHooks t_hooks;

} /* namespace */

void StandinTraceStart(void)
{
    t_hooks.trace.clear();
    if (!t_hooks.tracing)
        g_hooksInUse++;
    t_hooks.tracing = true;
}

void StandinTraceStop(void)
{
    if (t_hooks.tracing)
        g_hooksInUse--;
    t_hooks.tracing = false;
}

size_t StandinTraceCount(void) { return t_hooks.trace.size(); }

const char *StandinTraceEntry(size_t i) { return i < t_hooks.trace.size() ? t_hooks.trace[i].c_str() : NULL; }

bool hooks_thread_tracing(void) { return t_hooks.tracing; }

void hooks_trace(const char *name, const char *argsFormat, ...)
{
    if (!hooks_tracing())
        return;
    char args[512];
    va_list ap;
    va_start(ap, argsFormat);
    vsnprintf(args, sizeof args, argsFormat, ap);
    va_end(ap);
    std::string entry(name);
    entry += '(';
    entry += args;
    entry += ')';
    t_hooks.trace.push_back(entry);
}

void StandinFailCall(const char *name, int nth)
{
    if (!name || nth < 1)
        return;
    t_hooks.faults.push_back(ArmedFault{name, nth - 1});
    g_hooksInUse++;
}

void StandinClearFaults(void)
{
    g_hooksInUse -= (int)t_hooks.faults.size();
    t_hooks.faults.clear();
}

bool hooks_thread_fail(const char *name)
{
    std::vector<ArmedFault> &faults = t_hooks.faults;
    bool fail = false;
    for (size_t i = 0; i < faults.size();) {
        if (faults[i].name != name) {
            i++;
        } else if (faults[i].remaining > 0) {
            faults[i].remaining--;
            i++;
        } else {
            fail = true;
            faults.erase(faults.begin() + (ptrdiff_t)i);
            g_hooksInUse--;
        }
    }
    return fail;
}

long StandinLiveGlobalBlocks(void) { return kernel_live_global_blocks(); }
