/* Splitting a Windows command line into arguments.
 *
 * The program name ends at the first blank outside double quotes, and quotes only group: nothing
 * is escaped in it. The arguments after it follow the C runtime's rules: 2n backslashes before a
 * quote give n backslashes and the quote opens or closes a quoted part, 2n+1 give n backslashes and
 * a literal quote, backslashes elsewhere are literal, and a doubled quote inside a quoted part gives
 * one literal quote and the part goes on. */
#include "kernel_private.h"

#include <stdlib.h>
#include <string.h>

static bool cmdline_is_blank(char c) { return c == ' ' || c == '\t'; }

/* Copies the program name from *p to out; returns where out ends. */
static char *cmdline_program(const char **p, char *out)
{
    bool quoted = false;
    const char *s = *p;
    for (; *s && (quoted || !cmdline_is_blank(*s)); s++) {
        if (*s == '"')
            quoted = !quoted;
        else
            *out++ = *s;
    }
    *p = s;
    return out;
}

/* Copies one argument from *p (at a non-blank) to out; returns where out ends. */
static char *cmdline_argument(const char **p, char *out)
{
    bool quoted = false;
    const char *s = *p;
    while (*s && (quoted || !cmdline_is_blank(*s))) {
        if (*s == '\\') {
            size_t n = strspn(s, "\\");
            bool escapes = s[n] == '"';
            size_t kept = escapes ? n / 2 : n;
            memset(out, '\\', kept);
            out += kept;
            s += n;
            if (escapes && n % 2 == 1)
                *out++ = *s++; /* the escaped quote */
        } else if (*s == '"' && quoted && s[1] == '"') {
            *out++ = '"';
            s += 2;
        } else if (*s == '"') {
            quoted = !quoted;
            s++;
        } else {
            *out++ = *s++;
        }
    }
    *p = s;
    return out;
}

char **kernel_split_command_line(const char *cmdLine, int *argc)
{
    size_t len = strlen(cmdLine);
    /* An argument takes at least one character and a blank, so len / 2 + 2 pointers always do;
     * the characters never outnumber the line's, plus one NUL per argument. */
    size_t maxArgs = len / 2 + 2;
    char **argv = (char **)malloc(maxArgs * sizeof(char *) + len + maxArgs);
    if (!argv)
        return NULL;
    char *out = (char *)(argv + maxArgs);
    const char *p = cmdLine;
    while (cmdline_is_blank(*p))
        p++;
    int n = 0;
    argv[n++] = out;
    out = cmdline_program(&p, out);
    *out++ = 0;
    for (;;) {
        while (cmdline_is_blank(*p))
            p++;
        if (!*p)
            break;
        argv[n++] = out;
        out = cmdline_argument(&p, out);
        *out++ = 0;
    }
    argv[n] = NULL;
    *argc = n;
    return argv;
}
