/* The stand-in's testing hooks: per-thread call trace and fault injection. Inert unless a test
 * turns them on. */
#include "private.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

struct ArmedFault {
    std::string name;
    int remaining; /* calls still to pass before the one that fails */
};

thread_local bool t_tracing = false;
thread_local std::vector<std::string> t_trace;
thread_local std::vector<ArmedFault> t_faults;

} /* namespace */

void StandinTraceStart(void)
{
    t_trace.clear();
    t_tracing = true;
}

void StandinTraceStop(void) { t_tracing = false; }

size_t StandinTraceCount(void) { return t_trace.size(); }

const char *StandinTraceEntry(size_t i) { return i < t_trace.size() ? t_trace[i].c_str() : NULL; }

bool hooks_tracing(void) { return t_tracing; }

void hooks_trace(const char *name, const char *argsFormat, ...)
{
    if (!t_tracing)
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
    t_trace.push_back(entry);
}

void StandinFailCall(const char *name, int nth)
{
    if (name && nth >= 1)
        t_faults.push_back(ArmedFault{name, nth - 1});
}

void StandinClearFaults(void) { t_faults.clear(); }

bool hooks_fail(const char *name)
{
    bool fail = false;
    for (size_t i = 0; i < t_faults.size();) {
        if (t_faults[i].name != name) {
            i++;
        } else if (t_faults[i].remaining > 0) {
            t_faults[i].remaining--;
            i++;
        } else {
            fail = true;
            t_faults.erase(t_faults.begin() + (ptrdiff_t)i);
        }
    }
    return fail;
}

long StandinLiveGlobalBlocks(void) { return kernel_live_global_blocks(); }
