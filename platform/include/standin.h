/* Configuration and testing hooks of the Win32 stand-in.
 *
 * Nothing here exists on Windows. The hooks are compiled in but inert until a test turns them on:
 * a per-thread trace of platform calls, per-thread fault injection, and counters of live objects.
 */
#ifndef TAVLINQX_STANDIN_H
#define TAVLINQX_STANDIN_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Drive C: ----
 * Drive C: maps to the folder named by $TAVLINQX_ROOT, else $XDG_DATA_HOME/tavlinqx/drive_c, else
 * $HOME/.local/share/tavlinqx/drive_c. On first use the stand-in creates C:\WINDOWS, C:\WINDOWS\temp
 * and the temporary folder C:\TEMP below it.
 */
#define STANDIN_ROOT_ENV "TAVLINQX_ROOT"
/* GetWindowsDirectoryA reports C:\WINDOWS, or the DOS path in $TAVLINQX_WINDIR when it is set. */
#define STANDIN_WINDIR_ENV "TAVLINQX_WINDIR"
/* GetTempPathA reports C:\TEMP\, or the DOS path in $TAVLINQX_TEMP when it is set (with a
 * backslash added when it has none, as Windows does for %TMP%). */
#define STANDIN_TEMP_ENV "TAVLINQX_TEMP"

/* The POSIX folder that drive C: maps to, laid out if needed; NULL if it cannot be created. */
const char *StandinRootFolder(void);

/* Maps a DOS path (C:\x\y, \x\y on drive C:, or relative to the current folder) or an absolute
 * POSIX path to a POSIX path in out. Existing components are matched case-insensitively.
 * Returns 0, or -1 when the path cannot be mapped or does not fit in outSize. */
int StandinMapPath(const char *dosPath, char *out, size_t outSize);

/* ---- Trace ----
 * While tracing is on for a thread, every platform call that thread makes appends one entry
 * "Name(arg, arg, ...)" with the call's key arguments; handles are written as their type and
 * number ("pen#3"), so entries are stable from run to run.
 */
void StandinTraceStart(void);          /* clears this thread's trace and turns it on */
void StandinTraceStop(void);           /* turns it off; the entries stay readable */
size_t StandinTraceCount(void);
const char *StandinTraceEntry(size_t i); /* NULL past the end */

/* ---- Fault injection ----
 * StandinFailCall("GlobalAlloc", 2): the second call of GlobalAlloc from now on this thread fails
 * the way Windows fails (null handle, FALSE, 0) and records nothing. Several faults may be armed.
 */
void StandinFailCall(const char *name, int nth);
void StandinClearFaults(void);

/* ---- Counters ---- (process-wide) */
long StandinLiveGdiObjects(void);  /* pens, brushes, bitmaps, fonts, regions, metafile handles; stock objects excluded */
long StandinLiveDCs(void);         /* device contexts of every kind not yet deleted or closed */
long StandinLiveGlobalBlocks(void);
long StandinCachedFonts(void);     /* font descriptions whose metrics are kept (text_private.h) */

/* ---- Printers ----
 * CreateDCA("WINSPL16", device, NULL, devmode) succeeds only for an installed printer's name
 * (compared case-insensitively) and for DISPLAY. The installed printers are the destinations of
 * the CUPS server libcups names ($CUPS_SERVER, client.conf, else the local one) when it lists any,
 * otherwise, and always when $TAVLINQX_CUPS is "off", the stand-in's built-in ones.
 */
#define STANDIN_CUPS_ENV "TAVLINQX_CUPS"
/* Writes the installed printers' names into names, each NUL-terminated, the list ended by an empty
 * name, the default printer first; one lookup. Returns how many, or -1 when they do not fit in size
 * bytes (names then holds those that fit). */
int StandinPrinterList(char *names, size_t size);

/* ---- Fonts ----
 * The language (a fontconfig tag such as "ja") a font of a GDI character set must cover, or NULL
 * for sets that ask for none: the stand-in measures advances with the face so matched, and a
 * player of its metafiles should draw with the same one.
 */
const char *StandinCharsetLanguage(unsigned char charset);

#ifdef __cplusplus
}
#endif

#endif
