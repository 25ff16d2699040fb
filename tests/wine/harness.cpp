/* The Wine harness: loads TAVLINQX.DLL by name as the 16-bit driver's bridge does, checks its
 * export table and calling convention from the inside, and runs the scenarios on it.
 *
 * usage: wine_harness --exports           names, ordinals, argument bytes, load and unload
 *        wine_harness --zero-results      the exports that always return 0 do so on a null DC
 *        wine_harness OUTDIR [SCENARIO...]  (OUTDIR as a Windows path, e.g. Z:\tmp\out)
 */
#include "scenarios.h"

#include <stdio.h>
#include <string.h>

/* Scratch the exports are called with: one zero-filled block per argument. */
enum { HARNESS_MAX_ARGS = 15, HARNESS_BLOCK_BYTES = 1024 };

static int harness_failures = 0;

static void harness_fail(const char *what, const char *name)
{
    printf("FAIL %s: %s\n", name, what);
    harness_failures++;
}

/* Calls proc with argCount (at least 1) pointers pushed right to left, restores the stack pointer
 * itself, and returns how many argument bytes the callee removed. The compiler is kept out of the
 * call so that a wrong byte count in the DLL shows up here instead of corrupting the caller's
 * frame. */
static int harness_popped_bytes(FARPROC proc, int argCount, void *const *args, int *result)
{
    int left;
    int count = argCount;
    int eax;
    __asm__ volatile("movl %%esp, %%esi\n\t"
                     "1:\n\t"
                     "pushl -4(%[args],%%ecx,4)\n\t"
                     "loop 1b\n\t"
                     "call *%[proc]\n\t"
                     "movl %%esi, %%edx\n\t"
                     "subl %%esp, %%edx\n\t"
                     "movl %%esi, %%esp\n\t"
                     : "=&d"(left), "+c"(count), "=a"(eax)
                     : [proc] "r"(proc), [args] "r"(args)
                     : "esi", "memory", "cc");
    *result = eax;
    return argCount * 4 - left;
}

/* Every export answers to its name and to its ordinal with the same address; nothing answers to
 * ordinals 1 and 12 or to the decorated stdcall names. */
static void harness_check_lookup(HMODULE module)
{
    for (const ExportRow &row : kExportRows) {
        FARPROC byName = GetProcAddress(module, row.name);
        FARPROC byOrdinal = GetProcAddress(module, MAKEINTRESOURCEA(row.ordinal));
        if (byName == NULL)
            harness_fail("not found by name", row.name);
        if (byOrdinal != byName)
            harness_fail("its ordinal gives another address", row.name);
        char decorated[64];
        snprintf(decorated, sizeof decorated, "%s@%d", row.name, row.argBytes);
        if (GetProcAddress(module, decorated) != NULL)
            harness_fail("also exported with its decoration", row.name);
    }
    if (GetProcAddress(module, MAKEINTRESOURCEA(TAVLINQX_FIRST_ORDINAL - 1)) != NULL)
        harness_fail("resolves", "ordinal 1");
    if (GetProcAddress(module, MAKEINTRESOURCEA(TAVLINQX_LAST_ORDINAL + 1)) != NULL)
        harness_fail("resolves", "ordinal 12");
}

/* Calls every export once with pointers to zeroed storage, so every handle it reads is null and
 * every GDI call inside fails. Checks either that each removes exactly its argument bytes, or
 * that those which return 0 whatever happens return 0. */
static void harness_check_calls(HMODULE module, bool checkResults)
{
    static char blocks[HARNESS_MAX_ARGS][HARNESS_BLOCK_BYTES];
    void *args[HARNESS_MAX_ARGS];
    for (const ExportRow &row : kExportRows) {
        FARPROC proc = GetProcAddress(module, row.name);
        int argCount = row.argBytes / 4;
        if (argCount < 1 || argCount > HARNESS_MAX_ARGS) {
            harness_fail("has an argument count the harness cannot push", row.name);
            continue;
        }
        if (proc == NULL) {
            harness_fail("not found by name", row.name);
            continue;
        }
        memset(blocks, 0, sizeof blocks);
        for (int i = 0; i < argCount; i++)
            args[i] = blocks[i];
        int result = -1;
        int popped = harness_popped_bytes(proc, argCount, args, &result);
        if (!checkResults && popped != row.argBytes) {
            char what[64];
            snprintf(what, sizeof what, "removes %d argument bytes, not %d", popped, row.argBytes);
            harness_fail(what, row.name);
        }
        if (checkResults && row.alwaysZero && result != 0)
            harness_fail("returned non-zero with a null device context", row.name);
    }
}

static DWORD WINAPI harness_idle_thread(LPVOID unused)
{
    (void)unused;
    return 0;
}

/* Thread attach and detach, unloading and loading again all succeed. */
static void harness_check_lifecycle(HMODULE module)
{
    HANDLE thread = CreateThread(NULL, 0, harness_idle_thread, NULL, 0, NULL);
    if (thread == NULL || WaitForSingleObject(thread, 10000) != WAIT_OBJECT_0)
        harness_fail("a thread start and exit with the library loaded failed", "DllMain");
    if (thread != NULL)
        CloseHandle(thread);
    if (!FreeLibrary(module))
        harness_fail("FreeLibrary failed", "DllMain");
    module = LoadLibraryA("TAVLINQX.DLL");
    if (module == NULL)
        harness_fail("loading again after unloading failed", "DllMain");
    else
        FreeLibrary(module);
}

static ScenarioProc harness_lookup(void *module, const char *name)
{
    return reinterpret_cast<ScenarioProc>(GetProcAddress((HMODULE)module, name));
}

static int harness_run_scenarios(HMODULE module, const char *outDir, int nameCount, char **names)
{
    if (!CreateDirectoryA(outDir, NULL) && GetLastError() != ERROR_ALREADY_EXISTS) {
        printf("cannot create %s\n", outDir);
        return 2;
    }
    ScenarioExports exports;
    if (ScenarioBindExports(&exports, harness_lookup, module) != 0)
        return 2;
    return ScenarioMain(&exports, outDir, nameCount, names);
}

/* The reference pages: the DISPLAY printer's surface, 1024 x 768 pixels, as a 32-bit DIB section
 * in a memory device context, white before the scenario draws on it. */
enum { kPageWidth = 1024, kPageHeight = 768 };

/* Writes the page's pixels as a top-down 32-bit BMP file. Returns 0, or -1. */
static int harness_write_page(const char *path, const void *pixels)
{
    const DWORD imageSize = kPageWidth * kPageHeight * 4;
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER info = {};
    file.bfType = 0x4D42;   /* "BM" */
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + imageSize;
    info.biSize = sizeof info;
    info.biWidth = kPageWidth;
    info.biHeight = -kPageHeight;
    info.biPlanes = 1;
    info.biBitCount = 32;
    info.biSizeImage = imageSize;
    FILE *out = fopen(path, "wb");
    if (out == NULL)
        return -1;
    bool written = fwrite(&file, sizeof file, 1, out) == 1 && fwrite(&info, sizeof info, 1, out) == 1 &&
                   fwrite(pixels, imageSize, 1, out) == 1;
    return fclose(out) == 0 && written ? 0 : -1;
}

/* Draws each named scenario on a page of its own and writes it as <outDir>\<name>.bmp. */
static int harness_draw_pages(HMODULE module, const char *outDir, int nameCount, char **names)
{
    if (!CreateDirectoryA(outDir, NULL) && GetLastError() != ERROR_ALREADY_EXISTS) {
        printf("cannot create %s\n", outDir);
        return 2;
    }
    ScenarioExports exports;
    if (ScenarioBindExports(&exports, harness_lookup, module) != 0)
        return 2;
    int result = 0;
    for (int n = 0; n < nameCount; n++) {
        BITMAPINFO bmi = {};
        bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
        bmi.bmiHeader.biWidth = kPageWidth;
        bmi.bmiHeader.biHeight = -kPageHeight;
        bmi.bmiHeader.biPlanes = 1;
        bmi.bmiHeader.biBitCount = 32;
        void *pixels = NULL;
        HBITMAP page = CreateDIBSection(NULL, &bmi, DIB_RGB_COLORS, &pixels, NULL, 0);
        HDC dc = CreateCompatibleDC(NULL);
        if (page == NULL || dc == NULL) {
            printf("cannot make a page for %s\n", names[n]);
            return 2;
        }
        HGDIOBJ previous = SelectObject(dc, page);
        PatBlt(dc, 0, 0, kPageWidth, kPageHeight, WHITENESS);
        int drawn = ScenarioDrawPage(&exports, names[n], dc);
        GdiFlush();
        char path[MAX_PATH];
        snprintf(path, sizeof path, "%s\\%s.bmp", outDir, names[n]);
        if (drawn != 2 && harness_write_page(path, pixels) != 0) {
            printf("cannot write %s\n", path);
            drawn = 2;
        }
        SelectObject(dc, previous);
        DeleteDC(dc);
        DeleteObject(page);
        if (drawn > result)
            result = drawn;
    }
    return result;
}

int main(int argc, char **argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: %s --exports | --zero-results | --pages OUTDIR SCENARIO... |"
                        " OUTDIR [SCENARIO...]\n", argv[0]);
        return 2;
    }
    HMODULE module = LoadLibraryA("TAVLINQX.DLL");
    if (module == NULL) {
        printf("cannot load TAVLINQX.DLL (error %lu)\n", GetLastError());
        return 2;
    }
    if (strcmp(argv[1], "--exports") == 0) {
        harness_check_lookup(module);
        harness_check_calls(module, false);
        harness_check_lifecycle(module);
    } else if (strcmp(argv[1], "--zero-results") == 0) {
        harness_check_calls(module, true);
    } else if (strcmp(argv[1], "--pages") == 0 && argc >= 3) {
        return harness_draw_pages(module, argv[2], argc - 3, argv + 3);
    } else {
        return harness_run_scenarios(module, argv[1], argc - 2, argv + 2);
    }
    printf("%s %s\n", harness_failures == 0 ? "PASS" : "FAIL", argv[1]);
    return harness_failures == 0 ? 0 : 1;
}
