/* The ten exports as the 16-bit driver is built against them: name, ordinal, argument bytes the
 * callee removes, and whether the result is 0 whatever happens inside.
 *
 * Written by hand from the driver's export table, not from the module-definition file or the
 * header, so the tests can hold the DLL, the .def, the header and the native library to it.
 */
#ifndef TAVLINQX_EXPORT_LIST_H
#define TAVLINQX_EXPORT_LIST_H

/* X(name, ordinal, argument bytes, always returns 0) */
#define TAVLINQX_EXPORT_LIST(X)              \
    X(GetEmfFileDC32, 2, 28, false)          \
    X(CloseEmfFile32, 3, 4, true)            \
    X(DeleteObject32, 4, 12, true)           \
    X(Output32, 5, 60, false)                \
    X(Raster32, 6, 52, true)                 \
    X(Dib32, 7, 56, true)                    \
    X(TextOut32, 8, 40, false)               \
    X(GetEmfFilePath32, 9, 4, true)          \
    X(SetClipRect32, 10, 8, true)            \
    X(ZVLPrintEMF32, 11, 8, false)

enum { TAVLINQX_EXPORT_COUNT = 10, TAVLINQX_FIRST_ORDINAL = 2, TAVLINQX_LAST_ORDINAL = 11 };

struct ExportRow {
    const char *name;
    int ordinal;
    int argBytes;
    bool alwaysZero;
};

#define TAVLINQX_EXPORT_ROW(name, ordinal, bytes, zero) {#name, ordinal, bytes, zero},
static const ExportRow kExportRows[TAVLINQX_EXPORT_COUNT] = {
    TAVLINQX_EXPORT_LIST(TAVLINQX_EXPORT_ROW)};
#undef TAVLINQX_EXPORT_ROW

#endif
