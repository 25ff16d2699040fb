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

struct WsprintfConversion {
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
static const char *wsprintf_parse(const char *f, WsprintfConversion *conv)
{
    memset(conv, 0, sizeof *conv);
    conv->precision = -1;
    for (;; f++) {
        if (*f == '-')
            conv->left = true;
        else if (*f == '0')
            conv->zero = true;
        else if (*f == '#')
            conv->prefix = true;
        else
            break;
    }
    for (; *f >= '0' && *f <= '9'; f++)
        conv->width = conv->width * 10 + (*f - '0');
    if (*f == '.') {
        conv->precision = 0;
        for (f++; *f >= '0' && *f <= '9'; f++)
            conv->precision = conv->precision * 10 + (*f - '0');
    }
    while (*f == 'l' || *f == 'h')
        f++;
    conv->type = *f;
    return f;
}

/* Text padded to the width with blanks; the '0' flag does not apply to text. */
static void wsprintf_text(WsprintfOut *out, const WsprintfConversion *conv, const char *s, int n)
{
    int pad = conv->width > n ? conv->width - n : 0;
    if (!conv->left)
        wsprintf_pad(out, ' ', pad);
    wsprintf_put(out, s, n);
    if (conv->left)
        wsprintf_pad(out, ' ', pad);
}

/* A number: sign, "0x" prefix, at least precision digits (1 when absent or 0), padded to the width
 * with blanks, or with zeros after the sign and prefix under the '0' flag. */
static void wsprintf_number(WsprintfOut *out, const WsprintfConversion *conv, unsigned value, bool negative)
{
    const char *digitSet = conv->type == 'X' ? "0123456789ABCDEF" : "0123456789abcdef";
    unsigned base = conv->type == 'x' || conv->type == 'X' ? 16 : 10;
    char digits[16];
    int n = 0;
    do {
        digits[sizeof digits - 1 - n++] = digitSet[value % base];
        value /= base;
    } while (value);
    const char *head = negative ? "-" : base == 16 && conv->prefix ? (conv->type == 'X' ? "0X" : "0x") : "";
    int headLen = (int)strlen(head);
    int zeros = conv->precision > n ? conv->precision - n : 0;
    int body = headLen + zeros + n;
    int pad = conv->width > body ? conv->width - body : 0;
    if (!conv->left && !conv->zero)
        wsprintf_pad(out, ' ', pad);
    wsprintf_put(out, head, headLen);
    if (!conv->left && conv->zero)
        wsprintf_pad(out, '0', pad);
    wsprintf_pad(out, '0', zeros);
    wsprintf_put(out, digits + sizeof digits - n, n);
    if (conv->left)
        wsprintf_pad(out, ' ', pad);
}

static void wsprintf_convert(WsprintfOut *out, const WsprintfConversion *conv, va_list *ap)
{
    switch (conv->type) {
    case 'c': {
        char c = (char)va_arg(*ap, int);
        wsprintf_text(out, conv, &c, 1);
        break;
    }
    case 's': {
        const char *s = va_arg(*ap, const char *);
        if (!s)
            s = "(null)";
        /* a precision of 0 limits nothing, as observed */
        int n = (int)(conv->precision > 0 ? strnlen(s, (size_t)conv->precision) : strlen(s));
        wsprintf_text(out, conv, s, n);
        break;
    }
    case 'd':
    case 'i': {
        int v = va_arg(*ap, int);
        wsprintf_number(out, conv, v < 0 ? 0u - (unsigned)v : (unsigned)v, v < 0);
        break;
    }
    case 'u':
    case 'x':
    case 'X':
        wsprintf_number(out, conv, va_arg(*ap, unsigned), false);
        break;
    default: /* no conversion: the character itself */
        wsprintf_put(out, &conv->type, 1);
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
            WsprintfConversion conv;
            f = wsprintf_parse(f + 1, &conv);
            if (!conv.type)
                break;
            wsprintf_convert(&out, &conv, &ap);
        }
        va_end(ap);
    }
    lpOut[out.len] = 0;
    return out.truncated ? WSPRINTF_LIMIT : out.len;
}
