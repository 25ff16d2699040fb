/* The kernel's string helpers and MulDiv. Like Windows, the string calls answer a null pointer
 * with a failure result instead of a crash. */
#include "kernel_private.h"

#include <stdint.h>
#include <string.h>

int WINAPI lstrlenA(LPCSTR lpString)
{
    hooks_trace("lstrlenA", "\"%s\"", lpString ? lpString : "(null)");
    if (hooks_fail("lstrlenA") || !lpString)
        return 0;
    return (int)strlen(lpString);
}

LPSTR WINAPI lstrcpyA(LPSTR lpString1, LPCSTR lpString2)
{
    hooks_trace("lstrcpyA", "\"%s\"", lpString2 ? lpString2 : "(null)");
    if (hooks_fail("lstrcpyA") || !lpString1 || !lpString2)
        return NULL;
    memmove(lpString1, lpString2, strlen(lpString2) + 1);
    return lpString1;
}

LPSTR WINAPI lstrcatA(LPSTR lpString1, LPCSTR lpString2)
{
    hooks_trace("lstrcatA", "\"%s\"", lpString2 ? lpString2 : "(null)");
    if (hooks_fail("lstrcatA") || !lpString1 || !lpString2)
        return NULL;
    memmove(lpString1 + strlen(lpString1), lpString2, strlen(lpString2) + 1);
    return lpString1;
}

/* nNumber * nNumerator / nDenominator with a 64-bit product, rounded half away from zero; -1 for
 * a zero denominator or a result outside -2147483647 .. 2147483647 (INT_MIN counts as overflow,
 * as observed). */
int WINAPI MulDiv(int nNumber, int nNumerator, int nDenominator)
{
    hooks_trace("MulDiv", "%d, %d, %d", nNumber, nNumerator, nDenominator);
    if (hooks_fail("MulDiv") || nDenominator == 0)
        return -1;
    int64_t product = (int64_t)nNumber * nNumerator;
    bool negative = (product < 0) != (nDenominator < 0);
    uint64_t magnitude = product < 0 ? (uint64_t)0 - (uint64_t)product : (uint64_t)product;
    uint64_t divisor = nDenominator < 0 ? (uint64_t)0 - (uint64_t)(int64_t)nDenominator : (uint64_t)nDenominator;
    uint64_t quotient = (magnitude + divisor / 2) / divisor;
    if (quotient > 0x7FFFFFFF)
        return -1;
    return negative ? -(int)quotient : (int)quotient;
}
