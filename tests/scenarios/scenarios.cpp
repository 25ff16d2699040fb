/* The scenarios themselves, the checks they share, and the runner both hosts call. */
#include "scenarios.h"

#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#ifdef _WIN32
#define SCENARIO_SEPARATOR '\\'
#else
#define SCENARIO_SEPARATOR '/'
#endif

enum ScenarioOutput { SCENARIO_NO_EMF, SCENARIO_EMF };

/* One scenario being run: the metafile path it writes and how many of its checks failed. */
struct ScenarioRun {
    const ScenarioExports *x;
    const char *name;
    char path[MAX_PATH];
    int failures;
};

/* A value no metafile device context takes, to show which slots a call leaves alone. */
static HDC const kJunkDC = (HDC)(uintptr_t)0x5A5A0F0Fu;
/* A picture frame in hundredths of a millimetre with no two sides alike. */
static const RECT kFrame = {100, 200, 20999, 29699};

static void scenario_fail(ScenarioRun *run, const char *format, ...)
{
    va_list ap;
    va_start(ap, format);
    printf("FAIL %s: ", run->name);
    vprintf(format, ap);
    printf("\n");
    va_end(ap);
    run->failures++;
}

static bool scenario_file_exists(const char *path)
{
    FILE *file = fopen(path, "rb");
    if (file == NULL)
        return false;
    fclose(file);
    return true;
}

static uint32_t scenario_u32(const unsigned char *bytes)
{
    return (uint32_t)bytes[0] | (uint32_t)bytes[1] << 8 | (uint32_t)bytes[2] << 16 |
           (uint32_t)bytes[3] << 24;
}

/* Reads the whole file into a malloc'd buffer; returns its size, or -1 when it cannot be read. */
static long scenario_read_file(const char *path, unsigned char **bytes)
{
    FILE *file = fopen(path, "rb");
    if (file == NULL)
        return -1;
    long size = -1;
    if (fseek(file, 0, SEEK_END) == 0)
        size = ftell(file);
    *bytes = size > 0 ? (unsigned char *)malloc((size_t)size) : NULL;
    if (*bytes == NULL || fseek(file, 0, SEEK_SET) != 0 ||
        fread(*bytes, 1, (size_t)size, file) != (size_t)size) {
        free(*bytes);
        *bytes = NULL;
        size = -1;
    }
    fclose(file);
    return size;
}

/* Walks the records: each nSize a non-zero multiple of 4 inside the file, EMR_EOF last. Returns
 * the number of records, or -1 after reporting the first fault. */
static long scenario_walk_records(ScenarioRun *run, const unsigned char *bytes, long size)
{
    long records = 0;
    long offset = 0;
    uint32_t type = 0;
    while (offset < size) {
        if (size - offset < 8) {
            scenario_fail(run, "record %ld at offset %ld is cut short", records, offset);
            return -1;
        }
        type = scenario_u32(bytes + offset);
        uint32_t nSize = scenario_u32(bytes + offset + 4);
        if (nSize < 8 || nSize % 4 != 0 || nSize > (uint32_t)(size - offset)) {
            scenario_fail(run, "record %ld (type %u) has nSize %u", records, type, nSize);
            return -1;
        }
        offset += (long)nSize;
        records++;
    }
    if (type != 14) {
        scenario_fail(run, "last record is type %u, not EMR_EOF", type);
        return -1;
    }
    return records;
}

/* Checks that the scenario's path holds a complete enhanced metafile whose header agrees with its
 * records and, when frame is given, carries that picture frame unchanged. */
static void scenario_check_emf(ScenarioRun *run, const RECT *frame)
{
    const char *path = run->path;
    unsigned char *bytes = NULL;
    long size = scenario_read_file(path, &bytes);
    if (size < 108) {
        scenario_fail(run, "%s is missing or shorter than a metafile header (%ld)", path, size);
        free(bytes);
        return;
    }
    if (scenario_u32(bytes) != 1 || scenario_u32(bytes + 40) != 0x464D4520u)
        scenario_fail(run, "%s does not start with an EMR_HEADER", path);
    else if (scenario_u32(bytes + 48) != (uint32_t)size)
        scenario_fail(run, "header nBytes %u, file size %ld", scenario_u32(bytes + 48), size);
    else {
        long records = scenario_walk_records(run, bytes, size);
        if (records >= 0 && scenario_u32(bytes + 52) != (uint32_t)records)
            scenario_fail(run, "header nRecords %u, %ld records in the file",
                          scenario_u32(bytes + 52), records);
    }
    if (frame != NULL) {
        const RECT got = {(LONG)scenario_u32(bytes + 24), (LONG)scenario_u32(bytes + 28),
                          (LONG)scenario_u32(bytes + 32), (LONG)scenario_u32(bytes + 36)};
        if (memcmp(&got, frame, sizeof got) != 0)
            scenario_fail(run, "rclFrame (%d,%d,%d,%d), expected (%d,%d,%d,%d)", (int)got.left,
                          (int)got.top, (int)got.right, (int)got.bottom, (int)frame->left,
                          (int)frame->top, (int)frame->right, (int)frame->bottom);
    }
    free(bytes);
}

/* A spool name is <Windows directory>\temp\EMF<1 to 4 hex digits>.TMP, letter case aside. */
static bool scenario_is_spool_name(const char *path)
{
    const char *name = strrchr(path, '\\');
    if (name == NULL || name - path < 5 || strncasecmp(name - 5, "\\temp", 5) != 0)
        return false;
    name++;
    if (strncasecmp(name, "EMF", 3) != 0)
        return false;
    size_t digits = strspn(name + 3, "0123456789abcdefABCDEF");
    return digits >= 1 && digits <= 4 && strcasecmp(name + 3 + digits, ".TMP") == 0;
}

/* GetEmfFilePath32 makes a name; then a metafile on the DISPLAY printer with a frame, closed
 * empty. Arguments 5 and 6 hold pointers that must not be read. */
static void scenario_empty_job(ScenarioRun *run)
{
    CHAR spool[MAX_PATH];
    memset(spool, 0xCC, sizeof spool);
    if (run->x->GetEmfFilePath32(spool) != 0)
        scenario_fail(run, "GetEmfFilePath32 did not return 0");
    if (memchr(spool, '\0', sizeof spool) == NULL || !scenario_is_spool_name(spool))
        scenario_fail(run, "GetEmfFilePath32 made no spool name: \"%.*s\"", MAX_PATH, spool);

    const void *unread = (const void *)(uintptr_t)0x10;
    HDC slot = kJunkDC;
    int result = run->x->GetEmfFileDC32(NULL, "DISPLAY", run->path, &kFrame, unread, unread,
                                        &slot);
    if (result != 0) {
        scenario_fail(run, "GetEmfFileDC32 on DISPLAY failed");
        return;
    }
    if (slot == kJunkDC || slot == NULL)
        scenario_fail(run, "GetEmfFileDC32 succeeded but left the slot without a DC");
    HDC dc = slot;
    if (run->x->CloseEmfFile32(&slot) != 0)
        scenario_fail(run, "CloseEmfFile32 did not return 0");
    if (slot != dc)
        scenario_fail(run, "CloseEmfFile32 changed its slot");
    scenario_check_emf(run, &kFrame);
}

/* The same job with no frame: the platform sizes the frame from the (empty) drawing. */
static void scenario_empty_job_null_frame(ScenarioRun *run)
{
    HDC slot = kJunkDC;
    if (run->x->GetEmfFileDC32(NULL, "DISPLAY", run->path, NULL, NULL, NULL, &slot) != 0) {
        scenario_fail(run, "GetEmfFileDC32 on DISPLAY with a null frame failed");
        return;
    }
    if (slot == kJunkDC || slot == NULL)
        scenario_fail(run, "GetEmfFileDC32 succeeded but left the slot without a DC");
    if (run->x->CloseEmfFile32(&slot) != 0)
        scenario_fail(run, "CloseEmfFile32 did not return 0");
    scenario_check_emf(run, NULL);
}

/* A device name no printer has: -1 and the slot as it was; the runner checks that no file was
 * created. */
static void scenario_unknown_printer(ScenarioRun *run)
{
    HDC slot = kJunkDC;
    int result = run->x->GetEmfFileDC32(NULL, "NO SUCH PRINTER", run->path, &kFrame, NULL, NULL,
                                        &slot);
    if (result != -1)
        scenario_fail(run, "GetEmfFileDC32 on an unknown printer did not return -1");
    if (slot != kJunkDC)
        scenario_fail(run, "GetEmfFileDC32 on an unknown printer wrote its slot");
}

/* CloseEmfFile32 on slots that hold no open metafile DC: null, a value that was never a handle,
 * and the DC of a metafile closed already. Each returns 0 and the closed file stays complete. */
static void scenario_close_junk_slot(ScenarioRun *run)
{
    const HDC junk[] = {NULL, kJunkDC};
    for (size_t i = 0; i < sizeof junk / sizeof junk[0]; i++) {
        HDC slot = junk[i];
        if (run->x->CloseEmfFile32(&slot) != 0 || slot != junk[i])
            scenario_fail(run, "CloseEmfFile32 on junk slot %p: not 0, or slot changed",
                          (void *)junk[i]);
    }

    HDC slot = NULL;
    if (run->x->GetEmfFileDC32(NULL, "DISPLAY", run->path, &kFrame, NULL, NULL, &slot) != 0) {
        scenario_fail(run, "GetEmfFileDC32 on DISPLAY failed");
        return;
    }
    if (run->x->CloseEmfFile32(&slot) != 0 || run->x->CloseEmfFile32(&slot) != 0)
        scenario_fail(run, "closing a metafile DC twice did not return 0 both times");
    scenario_check_emf(run, &kFrame);
}

struct ScenarioRow {
    const char *name;
    void (*run)(ScenarioRun *run);
    ScenarioOutput output;
};

static const ScenarioRow kScenarios[] = {
#define SCENARIO(name, output) {#name, scenario_##name, SCENARIO_##output},
#include "scenario_list.h"
#undef SCENARIO
};

static const size_t kScenarioCount = sizeof kScenarios / sizeof kScenarios[0];

int ScenarioBindExports(ScenarioExports *exports, ScenarioLookup lookup, void *module)
{
#define SCENARIO_BIND(name, ordinal, bytes, zero)                                 \
    exports->name = reinterpret_cast<decltype(&::name)>(lookup(module, #name)); \
    if (exports->name == NULL) {                                                \
        printf("export %s not found\n", #name);                                 \
        return -1;                                                              \
    }
    TAVLINQX_EXPORT_LIST(SCENARIO_BIND)
#undef SCENARIO_BIND
    return 0;
}

/* Runs one row. Its metafile path is emptied first, so a comparison never sees a file from an
 * earlier run, and afterwards must hold a file exactly when the row says EMF. */
static int scenario_run_one(const ScenarioExports *exports, const char *outDir, size_t i)
{
    ScenarioRun run = {exports, kScenarios[i].name, {0}, 0};
    int length = snprintf(run.path, sizeof run.path, "%s%c%s.emf", outDir, SCENARIO_SEPARATOR,
                          run.name);
    if (length < 0 || (size_t)length >= sizeof run.path) {
        printf("FAIL %s: output folder name too long\n", run.name);
        return 1;
    }
    remove(run.path);
    kScenarios[i].run(&run);
    bool wantFile = kScenarios[i].output == SCENARIO_EMF;
    if (scenario_file_exists(run.path) != wantFile)
        scenario_fail(&run, wantFile ? "left no %s" : "created %s", run.path);
    printf("%s %s\n", run.failures == 0 ? "PASS" : "FAIL", run.name);
    return run.failures == 0 ? 0 : 1;
}

static size_t scenario_find(const char *name)
{
    for (size_t i = 0; i < kScenarioCount; i++)
        if (strcmp(kScenarios[i].name, name) == 0)
            return i;
    return kScenarioCount;
}

int ScenarioMain(const ScenarioExports *exports, const char *outDir, int nameCount, char **names)
{
    int result = 0;
    if (nameCount == 0) {
        for (size_t i = 0; i < kScenarioCount; i++)
            result |= scenario_run_one(exports, outDir, i);
        return result;
    }
    for (int n = 0; n < nameCount; n++) {
        size_t i = scenario_find(names[n]);
        if (i == kScenarioCount) {
            printf("no scenario named %s\n", names[n]);
            return 2;
        }
        result |= scenario_run_one(exports, outDir, i);
    }
    return result;
}
