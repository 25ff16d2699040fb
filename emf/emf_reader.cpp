/* Loading and checking enhanced metafiles; emf_reader.h says what a loaded file guarantees.
 *
 * Everything is validated on the caller's bytes before anything is allocated: a first walk checks
 * the file and counts the records, a second one fills the record array.
 */
#include "emf_reader.h"

#include <errno.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

using namespace emf;

enum : uint32_t {
    RD_HEADER_MIN = 88,          /* the header up to szlMillimeters */
    RD_HEADER_PIXELFORMAT = 100, /* ... with cbPixelFormat, offPixelFormat and bOpenGL */
    RD_SLOT_FREE = 0,            /* stock objects may be named in SELECTOBJECT/DELETEOBJECT */
    RD_SLOT_CREATE = 1,          /* a creation record must name a table slot */
    RD_BI_RGB = 0,
    RD_BI_RLE8 = 1,
    RD_BI_RLE4 = 2,
    RD_BI_BITFIELDS = 3,
    RD_BI_JPEG = 4,              /* JPEG and PNG DIBs may have biBitCount 0 */
    RD_BI_PNG = 5,
    RD_RGN_AND = 1,              /* the region modes run from RGN_AND ... */
    RD_RGN_COPY = 5,             /* ... to RGN_COPY */
};

static const int64_t RD_ALL_ROWS = -1; /* a DIB's bits cover all of biHeight */

/* What the walk knows while it checks one record. */
struct RdWalk {
    const uint8_t *bytes;
    uint32_t size;
    uint32_t nHandles;
    char *error;
    size_t errorSize;
};

static uint32_t rd_u32(const uint8_t *p)
{
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

static int rd_fail(const RdWalk *w, uint32_t index, uint32_t offset, const char *fmt, ...)
{
    if (w->errorSize == 0)
        return -1;
    int n = snprintf(w->error, w->errorSize, "record %u at offset %u: ", index, offset);
    if (n < 0 || (size_t)n >= w->errorSize)
        return -1;
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(w->error + n, w->errorSize - (size_t)n, fmt, ap);
    va_end(ap);
    return -1;
}

/* Record checks write why into a short buffer; the walk adds where. */
static int rd_why(char *why, size_t whySize, const char *fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(why, whySize, fmt, ap);
    va_end(ap);
    return -1;
}

/* The bytes every record of the type must have before its variable part; 8 for types we do not
 * know, which are carried without interpretation. */
static uint32_t rd_fixed_size(uint32_t iType)
{
    switch (iType) {
    case EMR_POLYBEZIER: case EMR_POLYGON: case EMR_POLYLINE: case EMR_POLYBEZIERTO:
    case EMR_POLYLINETO: case EMR_POLYBEZIER16: case EMR_POLYGON16: case EMR_POLYLINE16:
    case EMR_POLYBEZIERTO16: case EMR_POLYLINETO16:
        return sizeof(EMRPOLYLINE);
    case EMR_POLYPOLYLINE: case EMR_POLYPOLYGON: case EMR_POLYPOLYLINE16: case EMR_POLYPOLYGON16:
        return sizeof(EMRPOLYPOLYLINE16);
    case EMR_SETWINDOWEXTEX: case EMR_SETWINDOWORGEX: case EMR_SETVIEWPORTEXTEX:
    case EMR_SETVIEWPORTORGEX: case EMR_MOVETOEX: case EMR_LINETO:
        return sizeof(EMRLINETO);
    case EMR_SETMAPMODE: case EMR_SETBKMODE: case EMR_SETPOLYFILLMODE: case EMR_SETROP2:
    case EMR_SETSTRETCHBLTMODE: case EMR_SETTEXTALIGN: case EMR_SETTEXTCOLOR: case EMR_SETBKCOLOR:
    case EMR_RESTOREDC: case EMR_SELECTOBJECT: case EMR_DELETEOBJECT: case EMR_SELECTPALETTE:
        return sizeof(EMRSETVALUE);
    case EMR_EOF: return sizeof(EMREOF);
    case EMR_EXCLUDECLIPRECT: case EMR_INTERSECTCLIPRECT: return sizeof(EMRINTERSECTCLIPRECT);
    case EMR_CREATEPEN: return sizeof(EMRCREATEPEN);
    case EMR_EXTCREATEPEN: return sizeof(EMREXTCREATEPEN);
    case EMR_CREATEBRUSHINDIRECT: return sizeof(EMRCREATEBRUSHINDIRECT);
    case EMR_CREATEMONOBRUSH: case EMR_CREATEDIBPATTERNBRUSHPT:
        return sizeof(EMRCREATEDIBPATTERNBRUSHPT);
    case EMR_ELLIPSE: case EMR_RECTANGLE: return sizeof(EMRRECTANGLE);
    case EMR_ROUNDRECT: return sizeof(EMRROUNDRECT);
    case EMR_ARC: case EMR_CHORD: case EMR_PIE: return sizeof(EMRARC);
    case EMR_FILLPATH: case EMR_STROKEANDFILLPATH: case EMR_STROKEPATH: return sizeof(EMRFILLPATH);
    case EMR_GDICOMMENT: return sizeof(EMRGDICOMMENT);
    case EMR_EXTSELECTCLIPRGN: return sizeof(EMREXTSELECTCLIPRGN);
    case EMR_BITBLT: return sizeof(EMRBITBLT);
    case EMR_STRETCHBLT: return sizeof(EMRSTRETCHBLT);
    case EMR_SETDIBITSTODEVICE: return sizeof(EMRSETDIBITSTODEVICE);
    case EMR_STRETCHDIBITS: return sizeof(EMRSTRETCHDIBITS);
    case EMR_EXTCREATEFONTINDIRECTW: return sizeof(EMREXTCREATEFONTINDIRECTW);
    case EMR_EXTTEXTOUTA: case EMR_EXTTEXTOUTW: return sizeof(EMREXTTEXTOUTW);
    default: return sizeof(EMR);
    }
}

static int rd_is_16bit_points(uint32_t iType)
{
    return iType >= EMR_POLYBEZIER16 && iType <= EMR_POLYPOLYGON16;
}

/* len bytes at off must lie after the fixed part and inside the record. */
static int rd_check_span(const EmfRecord *r, uint32_t off, uint64_t len, const char *what,
                         char *why, size_t whySize)
{
    uint32_t fixed = rd_fixed_size(r->iType);
    if (len == 0 && off > r->nSize)
        return rd_why(why, whySize, "%s offset %u past the record's %u bytes", what, off, r->nSize);
    if (len == 0)
        return 0;
    if (off < fixed || off + len > r->nSize)
        return rd_why(why, whySize, "%s at %u, %llu bytes, outside %u..%u", what, off,
                      (unsigned long long)len, fixed, r->nSize);
    return 0;
}

static int rd_check_points(const EmfRecord *r, char *why, size_t whySize)
{
    uint32_t cpts = EmfU32(r, 24);
    uint64_t need = sizeof(EMRPOLYLINE) + (uint64_t)cpts * (rd_is_16bit_points(r->iType) ? 4 : 8);
    if (need > r->nSize)
        return rd_why(why, whySize, "%u points need %llu bytes, nSize is %u", cpts,
                      (unsigned long long)need, r->nSize);
    return 0;
}

static int rd_check_polypoints(const EmfRecord *r, char *why, size_t whySize)
{
    uint32_t nPolys = EmfU32(r, 24), cpts = EmfU32(r, 28);
    uint64_t need = sizeof(EMRPOLYPOLYLINE16) + 4 * (uint64_t)nPolys +
                    (uint64_t)cpts * (rd_is_16bit_points(r->iType) ? 4 : 8);
    if (need > r->nSize)
        return rd_why(why, whySize, "%u polygons of %u points need %llu bytes, nSize is %u", nPolys,
                      cpts, (unsigned long long)need, r->nSize);
    uint64_t sum = 0;
    for (uint32_t i = 0; i < nPolys; i++)
        sum += EmfU32(r, sizeof(EMRPOLYPOLYLINE16) + 4 * i);
    if (sum != cpts)
        return rd_why(why, whySize, "polygon counts add up to %llu, cpts is %u",
                      (unsigned long long)sum, cpts);
    return 0;
}

static int rd_check_text(const EmfRecord *r, char *why, size_t whySize)
{
    uint32_t nChars = EmfU32(r, offsetof(EMREXTTEXTOUTW, emrtext.nChars));
    uint32_t offString = EmfU32(r, offsetof(EMREXTTEXTOUTW, emrtext.offString));
    uint32_t fOptions = EmfU32(r, offsetof(EMREXTTEXTOUTW, emrtext.fOptions));
    uint32_t offDx = EmfU32(r, offsetof(EMREXTTEXTOUTW, emrtext.offDx));
    uint64_t charBytes = r->iType == EMR_EXTTEXTOUTW ? 2 : 1;
    uint64_t dxBytes = (fOptions & EMF_ETO_PDY) ? 8 : 4;
    if (rd_check_span(r, offString, nChars * charBytes, "string", why, whySize) < 0)
        return -1;
    return rd_check_span(r, offDx, nChars * dxBytes, "dx array", why, whySize);
}

/* A BITMAPINFOHEADER's depth, a colour table that fits at least in its smallest (2-byte,
 * DIB_PAL_COLORS) form, and, for uncompressed DIBs, bits for scans rows (RD_ALL_ROWS: all of
 * biHeight). A header of 8 bpp or less with biClrUsed 0 may carry no table: Wine writes that. */
static int rd_check_dib_header(const EmfRecord *r, uint32_t offBmi, uint32_t cbBmi, uint32_t cbBits,
                               int64_t scans, char *why, size_t whySize)
{
    uint32_t biSize = EmfU32(r, offBmi);
    int32_t width = EmfI32(r, offBmi + offsetof(BITMAPINFOHEADER, biWidth));
    int32_t height = EmfI32(r, offBmi + offsetof(BITMAPINFOHEADER, biHeight));
    uint16_t bpp = EmfU16(r, offBmi + offsetof(BITMAPINFOHEADER, biBitCount));
    uint32_t compression = EmfU32(r, offBmi + offsetof(BITMAPINFOHEADER, biCompression));
    uint32_t clrUsed = EmfU32(r, offBmi + offsetof(BITMAPINFOHEADER, biClrUsed));
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32 &&
        !(bpp == 0 && (compression == RD_BI_JPEG || compression == RD_BI_PNG)))
        return rd_why(why, whySize, "biBitCount %u is no DIB depth", bpp);
    if ((compression == RD_BI_RLE8 && bpp != 8) || (compression == RD_BI_RLE4 && bpp != 4))
        return rd_why(why, whySize, "run-length compression %u with %u bpp", compression, bpp);
    /* GDI copies at most 256 colours, whatever biClrUsed says. */
    uint32_t colours = clrUsed < 256 ? clrUsed : 256;
    if (biSize + 2 * (uint64_t)colours > cbBmi)
        return rd_why(why, whySize, "%u colours do not fit cbBmi %u", colours, cbBmi);
    if (width < 0)
        return rd_why(why, whySize, "negative biWidth %d", width);
    if (compression != RD_BI_RGB && compression != RD_BI_BITFIELDS)
        return 0;
    uint64_t rows = scans != RD_ALL_ROWS ? (uint64_t)scans : height < 0 ? -(int64_t)height : height;
    uint64_t need = ((uint64_t)width * bpp + 31) / 32 * 4 * rows;
    if (need > cbBits)
        return rd_why(why, whySize, "a %dx%d DIB of %u bpp needs %llu bytes of bits, cbBits is %u",
                      width, height, bpp, (unsigned long long)need, cbBits);
    return 0;
}

/* offBmi, cbBmi, offBits, cbBits stored as four DWORDs at at; a header's own size must fit. */
static int rd_check_bitmap(const EmfRecord *r, uint32_t at, char *why, size_t whySize)
{
    /* SETDIBITSTODEVICE need carry only the scan lines it draws. */
    int64_t scans = RD_ALL_ROWS;
    if (r->iType == EMR_SETDIBITSTODEVICE)
        scans = EmfU32(r, offsetof(EMRSETDIBITSTODEVICE, cScans));
    uint32_t offBmi = EmfU32(r, at), cbBmi = EmfU32(r, at + 4);
    if (rd_check_span(r, offBmi, cbBmi, "bitmap info", why, whySize) < 0 ||
        rd_check_span(r, EmfU32(r, at + 8), EmfU32(r, at + 12), "bitmap bits", why, whySize) < 0)
        return -1;
    if (cbBmi >= 4 && EmfU32(r, offBmi) > cbBmi)
        return rd_why(why, whySize, "biSize %u larger than cbBmi %u", EmfU32(r, offBmi), cbBmi);
    if (cbBmi < sizeof(BITMAPINFOHEADER) || EmfU32(r, offBmi) < sizeof(BITMAPINFOHEADER))
        return 0; /* no header, or the 12-byte BITMAPCOREHEADER */
    return rd_check_dib_header(r, offBmi, cbBmi, EmfU32(r, at + 12), scans, why, whySize);
}

static int rd_check_clip(const EmfRecord *r, char *why, size_t whySize)
{
    uint32_t cbRgnData = EmfU32(r, 8), iMode = EmfU32(r, 12);
    if (iMode < RD_RGN_AND || iMode > RD_RGN_COPY)
        return rd_why(why, whySize, "iMode %u is no region mode", iMode);
    if (cbRgnData == 0 && iMode != RD_RGN_COPY)
        return rd_why(why, whySize, "no region with iMode %u; only RGN_COPY takes none", iMode);
    if (cbRgnData == 0)
        return 0;
    if (rd_check_span(r, sizeof(EMREXTSELECTCLIPRGN), cbRgnData, "region data", why, whySize) < 0)
        return -1;
    if (cbRgnData < sizeof(RGNDATAHEADER))
        return rd_why(why, whySize, "cbRgnData %u below the 32-byte region header", cbRgnData);
    uint32_t nCount = EmfU32(r, sizeof(EMREXTSELECTCLIPRGN) + offsetof(RGNDATAHEADER, nCount));
    if (sizeof(RGNDATAHEADER) + 16 * (uint64_t)nCount > cbRgnData)
        return rd_why(why, whySize, "%u rectangles do not fit cbRgnData %u", nCount, cbRgnData);
    return 0;
}

static int rd_check_eof(const EmfRecord *r, char *why, size_t whySize)
{
    uint32_t nPalEntries = EmfU32(r, 8), offPalEntries = EmfU32(r, 12);
    uint32_t nSizeLast = EmfU32(r, r->nSize - 4);
    if (nSizeLast != r->nSize)
        return rd_why(why, whySize, "nSizeLast %u differs from nSize %u", nSizeLast, r->nSize);
    if (nPalEntries != 0 && (offPalEntries < 16 ||
                             offPalEntries + 4 * (uint64_t)nPalEntries > r->nSize - 4))
        return rd_why(why, whySize, "%u palette entries at %u outside the record", nPalEntries,
                      offPalEntries);
    return 0;
}

/* Object slots run from 1 to nHandles - 1; slot 0 is the metafile itself. */
static int rd_check_slot(const EmfRecord *r, uint32_t nHandles, int kind, char *why,
                         size_t whySize)
{
    uint32_t ih = EmfU32(r, 8);
    if (kind == RD_SLOT_FREE && (ih & ENHMETA_STOCK_OBJECT))
        return 0;
    if (ih == 0 || ih >= nHandles)
        return rd_why(why, whySize, "object slot %u outside 1..%u (nHandles %u)", ih,
                      nHandles - 1, nHandles);
    return 0;
}

/* The per-type checks of the records that carry counts, offsets or slots. */
static int rd_check_record(const EmfRecord *r, uint32_t nHandles, char *why, size_t whySize)
{
    uint32_t fixed = rd_fixed_size(r->iType);
    if (r->nSize < fixed)
        return rd_why(why, whySize, "nSize %u below the %u bytes of its fixed part", r->nSize,
                      fixed);
    switch (r->iType) {
    case EMR_POLYBEZIER: case EMR_POLYGON: case EMR_POLYLINE: case EMR_POLYBEZIERTO:
    case EMR_POLYLINETO: case EMR_POLYBEZIER16: case EMR_POLYGON16: case EMR_POLYLINE16:
    case EMR_POLYBEZIERTO16: case EMR_POLYLINETO16:
        return rd_check_points(r, why, whySize);
    case EMR_POLYPOLYLINE: case EMR_POLYPOLYGON: case EMR_POLYPOLYLINE16: case EMR_POLYPOLYGON16:
        return rd_check_polypoints(r, why, whySize);
    case EMR_EXTTEXTOUTA: case EMR_EXTTEXTOUTW:
        return rd_check_text(r, why, whySize);
    case EMR_BITBLT: case EMR_STRETCHBLT:
        return rd_check_bitmap(r, offsetof(EMRBITBLT, offBmiSrc), why, whySize);
    case EMR_SETDIBITSTODEVICE: case EMR_STRETCHDIBITS:
        return rd_check_bitmap(r, offsetof(EMRSTRETCHDIBITS, offBmiSrc), why, whySize);
    case EMR_CREATEMONOBRUSH: case EMR_CREATEDIBPATTERNBRUSHPT:
        if (rd_check_slot(r, nHandles, RD_SLOT_CREATE, why, whySize) < 0)
            return -1;
        return rd_check_bitmap(r, offsetof(EMRCREATEDIBPATTERNBRUSHPT, offBmi), why, whySize);
    case EMR_EXTCREATEPEN:
        if (rd_check_slot(r, nHandles, RD_SLOT_CREATE, why, whySize) < 0 ||
            rd_check_span(r, sizeof(EMREXTCREATEPEN),
                          4 * (uint64_t)EmfU32(r, offsetof(EMREXTCREATEPEN, elpNumEntries)),
                          "style entries", why, whySize) < 0)
            return -1;
        return rd_check_bitmap(r, offsetof(EMREXTCREATEPEN, offBmi), why, whySize);
    case EMR_CREATEPEN: case EMR_CREATEBRUSHINDIRECT: case EMR_EXTCREATEFONTINDIRECTW:
        return rd_check_slot(r, nHandles, RD_SLOT_CREATE, why, whySize);
    case EMR_SELECTOBJECT: case EMR_DELETEOBJECT:
        return rd_check_slot(r, nHandles, RD_SLOT_FREE, why, whySize);
    case EMR_EXTSELECTCLIPRGN:
        return rd_check_clip(r, why, whySize);
    case EMR_GDICOMMENT:
        return rd_check_span(r, sizeof(EMRGDICOMMENT), EmfU32(r, 8), "comment data", why,
                             whySize);
    case EMR_EOF:
        return rd_check_eof(r, why, whySize);
    default:
        return 0;
    }
}

/* The header record: the first thing in the file. */
static int rd_check_header(const RdWalk *w)
{
    const uint8_t *b = w->bytes;
    if (w->size < RD_HEADER_MIN)
        return rd_fail(w, 0, 0, "file has %u bytes, shorter than an %u-byte header", w->size,
                       (unsigned)RD_HEADER_MIN);
    uint32_t iType = rd_u32(b), nSize = rd_u32(b + 4), sig = rd_u32(b + 40);
    if (iType != EMR_HEADER)
        return rd_fail(w, 0, 0, "first record has type %u, not EMR_HEADER", iType);
    if (nSize < RD_HEADER_MIN || nSize % 4 != 0)
        return rd_fail(w, 0, 0, "header nSize %u is below %u or not a multiple of 4", nSize,
                       (unsigned)RD_HEADER_MIN);
    if (nSize > w->size)
        return rd_fail(w, 0, 0, "header nSize %u runs past the end of the %u-byte file", nSize,
                       w->size);
    if (sig != ENHMETA_SIGNATURE)
        return rd_fail(w, 0, 0, "bad signature 0x%08x", sig);
    if (rd_u32(b + 48) != w->size)
        return rd_fail(w, 0, 0, "nBytes %u but the file has %u bytes", rd_u32(b + 48), w->size);
    uint32_t nDescription = rd_u32(b + 60), offDescription = rd_u32(b + 64);
    if (nDescription != 0 && (offDescription < RD_HEADER_MIN ||
                              offDescription + 2 * (uint64_t)nDescription > nSize))
        return rd_fail(w, 0, 0, "description of %u characters at %u outside the header",
                       nDescription, offDescription);
    if (nSize >= RD_HEADER_PIXELFORMAT && rd_u32(b + 88) != 0 &&
        (rd_u32(b + 92) < RD_HEADER_MIN || rd_u32(b + 92) + (uint64_t)rd_u32(b + 88) > nSize))
        return rd_fail(w, 0, 0, "pixel format at %u outside the header", rd_u32(b + 92));
    return 0;
}

/* One record's frame: size, alignment, room, position relative to the header and EOF. */
static int rd_check_frame(const RdWalk *w, uint32_t index, uint32_t off, int afterEof)
{
    uint32_t left = w->size - off;
    if (left < sizeof(EMR))
        return rd_fail(w, index, off, "only %u bytes left, less than a record", left);
    uint32_t iType = rd_u32(w->bytes + off), nSize = rd_u32(w->bytes + off + 4);
    if (afterEof)
        return rd_fail(w, index, off, "record of type %u after EMR_EOF", iType);
    if (nSize == 0)
        return rd_fail(w, index, off, "nSize is 0");
    if (nSize % 4 != 0 || nSize < sizeof(EMR))
        return rd_fail(w, index, off, "nSize %u is not a multiple of 4 of at least 8", nSize);
    if (nSize > left)
        return rd_fail(w, index, off, "nSize %u runs past the end of the file (%u bytes left)",
                       nSize, left);
    if (index > 0 && iType == EMR_HEADER)
        return rd_fail(w, index, off, "a second EMR_HEADER");
    if (EmfRecordName(iType) == NULL)
        return rd_fail(w, index, off, "record type %u is not an EMF record type", iType);
    return 0;
}

/* Checks the whole file; on success *count is the number of records. */
static int rd_validate(const RdWalk *w, uint32_t *count)
{
    if (rd_check_header(w) < 0)
        return -1;
    uint32_t off = 0, index = 0, lastType = 0, lastOff = 0;
    char why[160];
    while (off < w->size) {
        if (rd_check_frame(w, index, off, lastType == EMR_EOF) < 0)
            return -1;
        EmfRecord r = {rd_u32(w->bytes + off), rd_u32(w->bytes + off + 4), off, w->bytes + off};
        if (index > 0 && rd_check_record(&r, w->nHandles, why, sizeof why) < 0)
            return rd_fail(w, index, off, "%s: %s", EmfRecordName(r.iType), why);
        lastType = r.iType;
        lastOff = off;
        off += r.nSize;
        index++;
    }
    if (lastType != EMR_EOF)
        return rd_fail(w, index - 1, lastOff, "the last record is %s, not EMR_EOF",
                       EmfRecordName(lastType));
    if (rd_u32(w->bytes + 52) != index)
        return rd_fail(w, 0, 0, "nRecords %u but the file holds %u records",
                       rd_u32(w->bytes + 52), index);
    *count = index;
    return 0;
}

/* Takes bytes (already validated, count records) into *out. */
static int rd_index(uint8_t *bytes, uint32_t size, uint32_t count, EmfFile *out)
{
    EmfRecord *records = (EmfRecord *)calloc(count, sizeof(EmfRecord));
    if (records == NULL)
        return -1;
    uint32_t off = 0;
    for (uint32_t i = 0; i < count; i++) {
        records[i].iType = rd_u32(bytes + off);
        records[i].nSize = rd_u32(bytes + off + 4);
        records[i].offset = off;
        records[i].data = bytes + off;
        off += records[i].nSize;
    }
    out->bytes = bytes;
    out->size = size;
    out->records = records;
    out->count = count;
    return 0;
}

static int rd_load(const uint8_t *data, size_t size, uint8_t *owned, EmfFile *out, char *error,
                   size_t errorSize)
{
    RdWalk w = {data, (uint32_t)size, 0, error, errorSize};
    if (size > UINT32_MAX)
        return rd_fail(&w, 0, 0, "file of %zu bytes is larger than an EMF can be", size);
    if (size >= RD_HEADER_MIN)
        w.nHandles = (uint32_t)data[56] | (uint32_t)data[57] << 8;
    uint32_t count = 0;
    if (rd_validate(&w, &count) < 0)
        return -1;
    uint8_t *bytes = owned;
    if (bytes == NULL) {
        bytes = (uint8_t *)malloc(size);
        if (bytes == NULL)
            return rd_fail(&w, 0, 0, "out of memory for %zu bytes", size);
        memcpy(bytes, data, size);
    }
    if (rd_index(bytes, (uint32_t)size, count, out) < 0) {
        if (owned == NULL)
            free(bytes);
        return rd_fail(&w, 0, 0, "out of memory for %u records", count);
    }
    return 0;
}

int EmfLoadMemory(const void *data, size_t size, EmfFile *out, char *error, size_t errorSize)
{
    memset(out, 0, sizeof *out);
    return rd_load((const uint8_t *)data, size, NULL, out, error, errorSize);
}

/* Reads the whole regular file at path into a new buffer. */
static uint8_t *rd_read_file(const char *path, size_t *size, char *error, size_t errorSize)
{
    FILE *f = fopen(path, "rb");
    if (f == NULL) {
        snprintf(error, errorSize, "%s", strerror(errno));
        return NULL;
    }
    struct stat st;
    uint8_t *bytes = NULL;
    if (fstat(fileno(f), &st) != 0 || !S_ISREG(st.st_mode)) {
        snprintf(error, errorSize, "not a regular file");
    } else if ((uint64_t)st.st_size > UINT32_MAX) {
        snprintf(error, errorSize, "%lld bytes, larger than an EMF can be", (long long)st.st_size);
    } else if ((bytes = (uint8_t *)malloc(st.st_size ? st.st_size : 1)) == NULL) {
        snprintf(error, errorSize, "out of memory");
    } else if (fread(bytes, 1, st.st_size, f) != (size_t)st.st_size) {
        snprintf(error, errorSize, "read error");
        free(bytes);
        bytes = NULL;
    }
    fclose(f);
    if (bytes != NULL)
        *size = (size_t)st.st_size;
    return bytes;
}

int EmfLoadFile(const char *path, EmfFile *out, char *error, size_t errorSize)
{
    memset(out, 0, sizeof *out);
    size_t size = 0;
    uint8_t *bytes = rd_read_file(path, &size, error, errorSize);
    if (bytes == NULL)
        return -1;
    if (rd_load(bytes, size, bytes, out, error, errorSize) < 0) {
        free(bytes);
        return -1;
    }
    return 0;
}

void EmfFree(EmfFile *file)
{
    free(file->records);
    free(file->bytes);
    memset(file, 0, sizeof *file);
}

int EmfRecordFixed(const EmfRecord *rec, void *out, size_t size)
{
    if (rec->nSize < size)
        return -1;
    memcpy(out, rec->data, size);
    return 0;
}

void EmfGetHeader(const EmfFile *file, ENHMETAHEADER *out)
{
    const EmfRecord *h = &file->records[0];
    memset(out, 0, sizeof *out);
    memcpy(out, h->data, h->nSize < sizeof *out ? h->nSize : sizeof *out);
}

uint32_t EmfU32(const EmfRecord *rec, uint32_t off)
{
    if (off > rec->nSize || rec->nSize - off < 4)
        return 0;
    return rd_u32(rec->data + off);
}

int32_t EmfI32(const EmfRecord *rec, uint32_t off)
{
    return (int32_t)EmfU32(rec, off);
}

uint16_t EmfU16(const EmfRecord *rec, uint32_t off)
{
    if (off > rec->nSize || rec->nSize - off < 2)
        return 0;
    return (uint16_t)(rec->data[off] | rec->data[off + 1] << 8);
}

int16_t EmfI16(const EmfRecord *rec, uint32_t off)
{
    return (int16_t)EmfU16(rec, off);
}
