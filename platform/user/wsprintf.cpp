/* wsprintfA: the user module's small printf, with its 1024-byte output limit.
 *
 * Conversions: %c %s %d %i %u %x %X and %%, with the flags '-', '#' and '0', a width and a
 * precision; 'l' and 'h' are accepted (on Windows a long is 32 bits, and 'h' changes nothing for
 * numbers). A character that names no conversion is copied as it is and takes no argument. Wide
 * strings and characters (%S, %ls, %C, %lc) are not supported.
 */
#include "../private.h"

#include <stdarg.h>
#include <string.h>

#define WSPRINTF_LIMIT 1024 /* bytes, the NUL included */

namespace {

struct WsprintfOut {
    char *buf;
    int len;        /* at most WSPRINTF_LIMIT - 1 */
    bool truncated;
};

struct WsprintfSpec {
    bool left, zero, prefix;
    int width;
    int precision; /* -1 when absent */
    char type;
};

} /* namespace */

static void wsprintf_put(WsprintfOut *out, const char *s, int n)
{
    for (int i = 0; i < n; i++) {
        if (out->len == WSPRINTF_LIMIT - 1) {
            out->truncated = true;
            return;
        }
        out->buf[out->len++] = s[i];
    }
}

static void wsprintf_pad(WsprintfOut *out, char c, int n)
{
    for (int i = 0; i < n; i++)
        wsprintf_put(out, &c, 1);
}

/* Parses the flags, width, precision and size letters after '%'; returns where the type is. */
static const char *wsprintf_parse(const char *f, WsprintfSpec *spec)
{
    memset(spec, 0, sizeof *spec);
    spec->precision = -1;
    for (;; f++) {
        if (*f == '-')
            spec->left = true;
        else if (*f == '0')
            spec->zero = true;
        else if (*f == '#')
            spec->prefix = true;
        else
            break;
    }
    for (; *f >= '0' && *f <= '9'; f++)
        spec->width = spec->width * 10 + (*f - '0');
    if (*f == '.') {
        spec->precision = 0;
        for (f++; *f >= '0' && *f <= '9'; f++)
            spec->precision = spec->precision * 10 + (*f - '0');
    }
    while (*f == 'l' || *f == 'h')
        f++;
    spec->type = *f;
    return f;
}

/* Text padded to the width with blanks; the '0' flag does not apply to text. */
static void wsprintf_text(WsprintfOut *out, const WsprintfSpec *spec, const char *s, int n)
{
    int pad = spec->width > n ? spec->width - n : 0;
    if (!spec->left)
        wsprintf_pad(out, ' ', pad);
    wsprintf_put(out, s, n);
    if (spec->left)
        wsprintf_pad(out, ' ', pad);
}

/* A number: sign, "0x" prefix, at least precision digits (1 when absent or 0), padded to the width
 * with blanks, or with zeros after the sign and prefix under the '0' flag. */
static void wsprintf_number(WsprintfOut *out, const WsprintfSpec *spec, unsigned value, bool negative)
{
    const char *digitSet = spec->type == 'X' ? "0123456789ABCDEF" : "0123456789abcdef";
    unsigned base = spec->type == 'x' || spec->type == 'X' ? 16 : 10;
    char digits[16];
    int n = 0;
    do {
        digits[sizeof digits - 1 - n++] = digitSet[value % base];
        value /= base;
    } while (value);
    const char *head = negative ? "-" : base == 16 && spec->prefix ? (spec->type == 'X' ? "0X" : "0x") : "";
    int headLen = (int)strlen(head);
    int zeros = spec->precision > n ? spec->precision - n : 0;
    int body = headLen + zeros + n;
    int pad = spec->width > body ? spec->width - body : 0;
    if (!spec->left && !spec->zero)
        wsprintf_pad(out, ' ', pad);
    wsprintf_put(out, head, headLen);
    if (!spec->left && spec->zero)
        wsprintf_pad(out, '0', pad);
    wsprintf_pad(out, '0', zeros);
    wsprintf_put(out, digits + sizeof digits - n, n);
    if (spec->left)
        wsprintf_pad(out, ' ', pad);
}

static void wsprintf_convert(WsprintfOut *out, const WsprintfSpec *spec, va_list *ap)
{
    switch (spec->type) {
    case 'c': {
        char c = (char)va_arg(*ap, int);
        wsprintf_text(out, spec, &c, 1);
        break;
    }
    case 's': {
        const char *s = va_arg(*ap, const char *);
        if (!s)
            s = "(null)";
        /* a precision of 0 limits nothing, as observed */
        int n = (int)(spec->precision > 0 ? strnlen(s, (size_t)spec->precision) : strlen(s));
        wsprintf_text(out, spec, s, n);
        break;
    }
    case 'd':
    case 'i': {
        int v = va_arg(*ap, int);
        wsprintf_number(out, spec, v < 0 ? 0u - (unsigned)v : (unsigned)v, v < 0);
        break;
    }
    case 'u':
    case 'x':
    case 'X':
        wsprintf_number(out, spec, va_arg(*ap, unsigned), false);
        break;
    default: /* no conversion: the character itself */
        wsprintf_put(out, &spec->type, 1);
        break;
    }
}

/* The number of characters written without the NUL; when the output reaches the limit, 1023
 * characters are kept and the result is 1024, as observed. */
int wsprintfA(LPSTR lpOut, LPCSTR lpFmt, ...)
{
    hooks_trace("wsprintfA", "\"%s\"", lpFmt ? lpFmt : "(null)");
    if (!lpOut)
        return 0;
    WsprintfOut out = {lpOut, 0, false};
    if (!hooks_fail("wsprintfA") && lpFmt) {
        va_list ap;
        va_start(ap, lpFmt);
        for (const char *f = lpFmt; *f && !out.truncated; f++) {
            if (*f != '%') {
                wsprintf_put(&out, f, 1);
                continue;
            }
            WsprintfSpec spec;
            f = wsprintf_parse(f + 1, &spec);
            if (!spec.type)
                break;
            wsprintf_convert(&out, &spec, &ap);
        }
        va_end(ap);
    }
    lpOut[out.len] = 0;
    return out.truncated ? WSPRINTF_LIMIT : out.len;
}
