/* Record-by-record comparison of two EMF files, with named, opt-in exclusions of fields, and of
 * record forms, that may legitimately differ between two producers of the same drawing. */
#include "emftools.h"

#include <string.h>

using namespace emf;

/* How an exclusion finds its bytes in a record. */
enum CmpSpan {
    CMP_FIXED = 1,  /* bytes from..to of every record of the type */
    CMP_TEXT_DX,    /* the advance array of a text record */
    CMP_FONT_TAIL,  /* nSize and everything after the face name's terminator */
    CMP_PEN_FORMS,  /* not a span: a CREATEPEN may stand for an EXTCREATEPEN (cmp_pen_forms) */
    CMP_EMPTY_MERGE, /* not a span: header bounds one merge of (-1,-1,0,0) apart (cmp_header_mask) */
    CMP_DIB_TABLE,  /* not a span: a STRETCHDIBITS may lack the colour table (cmp_dib_tables) */
};

struct CmpExclusion {
    const char *name;
    uint32_t iType;
    uint32_t from, to;
    int span;
    const char *reason;
};

/* Several rows may share a name; excluding the name excludes them all. */
static const CmpExclusion cmp_exclusions[] = {
    {"header.bounds", EMR_HEADER, 8, 24, CMP_FIXED,
     "union of the drawing bounds: text bounds follow font metrics, and whether a wide pen "
     "widens the bounds differs between GDI implementations"},
    {"header.frame", EMR_HEADER, 24, 40, CMP_FIXED,
     "derived at close from the bounds and the reference device's size when no frame was given"},
    {"header.device", EMR_HEADER, 72, 88, CMP_FIXED,
     "szlDevice and szlMillimeters are the reference device's resolution and size"},
    {"header.device", EMR_HEADER, 100, 108, CMP_FIXED,
     "szlMicrometers: the reference device's size; Windows may write it more precisely than "
     "millimetres x 1000"},
    {"text.bounds", EMR_EXTTEXTOUTW, 8, 24, CMP_FIXED,
     "computed from the realised font's metrics, which differ between font sets"},
    {"text.scale", EMR_EXTTEXTOUTW, 28, 36, CMP_FIXED,
     "exScale and eyScale follow the reference device's size and resolution"},
    {"text.dx", EMR_EXTTEXTOUTW, 0, 0, CMP_TEXT_DX,
     "advances GDI measured from the realised font, where the caller gave none; advances the "
     "caller gave are stored as given and stay compared in every scenario that does not name "
     "this rule"},
    {"path.bounds", EMR_FILLPATH, 8, 24, CMP_FIXED,
     "bounding box of the path converted to a region, whose rounding may differ"},
    {"path.bounds", EMR_STROKEANDFILLPATH, 8, 24, CMP_FIXED,
     "bounding box of the path converted to a region, whose rounding may differ"},
    {"path.bounds", EMR_STROKEPATH, 8, 24, CMP_FIXED,
     "bounding box of the path converted to a region, whose rounding may differ"},
    {"font.tail", EMR_EXTCREATEFONTINDIRECTW, 0, 0, CMP_FONT_TAIL,
     "Wine writes a 332-byte font record with uninitialised bytes after the face name; we write "
     "the zero-filled 368-byte form"},
    {"wine.extcreatepen", EMR_EXTCREATEPEN, 0, 0, CMP_PEN_FORMS,
     "Wine 8 records ExtCreatePen as a CREATEPEN of the full style word, width and colour where "
     "Windows writes EXTCREATEPEN; the pair at one index passes when slot, style, width and "
     "colour agree and the EXTCREATEPEN holds nothing a CREATEPEN cannot (solid brush, no style "
     "entries, no bitmap)"},
    {"wine.empty-polyline", EMR_HEADER, 0, 0, CMP_EMPTY_MERGE,
     "Wine 8 merges the empty bounds (0,0,-1,-1) of a Polyline of 0 points into the header as "
     "(-1,-1,0,0); we merge nothing for it: in a file pair holding a POLYLINE of 0 points the "
     "header bounds may differ by exactly that merge"},
    {"wine.dib-colour-table", EMR_STRETCHDIBITS, 0, 0, CMP_DIB_TABLE,
     "for a DIB of 8 bits or fewer with biClrUsed 0, Wine 8 records the header without the colour "
     "table, where Windows (and we) record all 2^bpp entries; the pair at one index passes when "
     "every field, the header and the bits agree and only the table with the sizes and offset "
     "it moves differ"},
};
enum { CMP_EXCLUSIONS = sizeof cmp_exclusions / sizeof cmp_exclusions[0] };
static_assert(CMP_EXCLUSIONS <= 32, "one mask bit per exclusion row");

int EmfCompareExclude(const char *name, uint32_t *mask)
{
    uint32_t bits = 0;
    for (uint32_t i = 0; i < CMP_EXCLUSIONS; i++)
        if (strcmp(cmp_exclusions[i].name, name) == 0)
            bits |= 1u << i;
    if (bits == 0)
        return -1;
    *mask |= bits;
    return 0;
}

void EmfCompareListExclusions(FILE *out)
{
    for (uint32_t i = 0; i < CMP_EXCLUSIONS; i++) {
        const CmpExclusion *e = &cmp_exclusions[i];
        fprintf(out, "%-20s %-24s %s\n", e->name, EmfRecordName(e->iType), e->reason);
    }
}

/* Bytes from *from to *to of r that the exclusion row covers; 0 when it covers none. */
static int cmp_span(const CmpExclusion *e, const EmfRecord *r, uint32_t *from, uint32_t *to)
{
    if (r->iType != e->iType || e->span == CMP_PEN_FORMS || e->span == CMP_EMPTY_MERGE ||
        e->span == CMP_DIB_TABLE)
        return 0;
    if (e->span == CMP_FIXED) {
        *from = e->from;
        *to = e->to;
    } else if (e->span == CMP_TEXT_DX) {
        uint32_t nChars = EmfU32(r, offsetof(EMREXTTEXTOUTW, emrtext.nChars));
        uint32_t perChar = (EmfU32(r, offsetof(EMREXTTEXTOUTW, emrtext.fOptions)) & EMF_ETO_PDY) ? 8 : 4;
        *from = EmfU32(r, offsetof(EMREXTTEXTOUTW, emrtext.offDx));
        *to = *from + nChars * perChar; /* the reader proved the array lies in the record */
    } else {
        uint32_t face = offsetof(EMREXTCREATEFONTINDIRECTW, elfw.lfFaceName), n = 0;
        while (n < 32 && EmfU16(r, face + 2 * n) != 0)
            n++;
        *from = face + 2 * (n < 32 ? n + 1 : 32);
        *to = r->nSize;
    }
    return 1;
}

static int cmp_excluded(const EmfRecord *r, uint32_t at, uint32_t mask)
{
    for (uint32_t i = 0; i < CMP_EXCLUSIONS; i++) {
        uint32_t from, to;
        if (!(mask & (1u << i)) || !cmp_span(&cmp_exclusions[i], r, &from, &to))
            continue;
        if (at >= from && at < to)
            return 1;
        if (cmp_exclusions[i].span == CMP_FONT_TAIL && at >= 4 && at < 8)
            return 1; /* the two forms differ in size */
    }
    return 0;
}

static int cmp_rule_on(uint32_t mask, int span)
{
    for (uint32_t i = 0; i < CMP_EXCLUSIONS; i++)
        if ((mask & (1u << i)) && cmp_exclusions[i].span == span)
            return 1;
    return 0;
}

/* Compares a CREATEPEN with the EXTCREATEPEN it may stand for. Returns -1 when they describe the
 * same pen, else the offset in pen of the first field that disagrees; 0 (iType) when ext carries
 * what no CREATEPEN can: another brush style, style entries or a bitmap. The hatch of a solid
 * brush is not looked at: it draws nothing. */
static int64_t cmp_pen_forms(const EmfRecord *pen, const EmfRecord *ext)
{
    if (EmfU32(ext, offsetof(EMREXTCREATEPEN, elpBrushStyle)) != 0 /* BS_SOLID */ ||
        EmfU32(ext, offsetof(EMREXTCREATEPEN, elpNumEntries)) != 0 ||
        EmfU32(ext, offsetof(EMREXTCREATEPEN, cbBmi)) != 0 ||
        EmfU32(ext, offsetof(EMREXTCREATEPEN, cbBits)) != 0)
        return 0;
    const struct {
        uint32_t atPen, atExt;
    } pairs[] = {
        {offsetof(EMRCREATEPEN, ihPen), offsetof(EMREXTCREATEPEN, ihPen)},
        {offsetof(EMRCREATEPEN, lopnStyle), offsetof(EMREXTCREATEPEN, elpPenStyle)},
        {offsetof(EMRCREATEPEN, lopnWidth.x), offsetof(EMREXTCREATEPEN, elpWidth)},
        {offsetof(EMRCREATEPEN, lopnColor), offsetof(EMREXTCREATEPEN, elpColor)},
    };
    for (const auto &p : pairs)
        if (EmfU32(pen, p.atPen) != EmfU32(ext, p.atExt))
            return p.atPen;
    if (EmfU32(pen, offsetof(EMRCREATEPEN, lopnWidth.y)) != 0)
        return offsetof(EMRCREATEPEN, lopnWidth.y);
    return -1;
}

/* Compares an EMR_STRETCHDIBITS that carries the whole colour table of a DIB of 8 bits or fewer
 * with biClrUsed 0 with one that carries the header alone. Returns -1 when they agree but for the
 * table, nSize, cbBmiSrc and offBitsSrc; else the offset in whole of the first field that
 * disagrees. */
static int64_t cmp_dib_tables(const EmfRecord *whole, const EmfRecord *bare)
{
    const uint32_t cbBmiAt = offsetof(EMRSTRETCHDIBITS, cbBmiSrc);
    const uint32_t offBitsAt = offsetof(EMRSTRETCHDIBITS, offBitsSrc);
    const uint32_t header = sizeof(EMRSTRETCHDIBITS);
    uint32_t bitCount = EmfU16(whole, header + offsetof(BITMAPINFOHEADER, biBitCount));
    if (EmfU32(bare, cbBmiAt) != sizeof(BITMAPINFOHEADER) || bitCount == 0 || bitCount > 8 ||
        EmfU32(whole, header + offsetof(BITMAPINFOHEADER, biClrUsed)) != 0 ||
        EmfU32(whole, cbBmiAt) != sizeof(BITMAPINFOHEADER) + (4u << bitCount) ||
        EmfU32(whole, offsetof(EMRSTRETCHDIBITS, offBmiSrc)) != header)
        return cbBmiAt;
    for (uint32_t i = 8; i < header + sizeof(BITMAPINFOHEADER); i++) {
        if (i >= cbBmiAt && i < offBitsAt + 4)
            continue;
        if (whole->data[i] != bare->data[i])
            return i;
    }
    uint32_t bitsWhole = EmfU32(whole, offBitsAt), bitsBare = EmfU32(bare, offBitsAt);
    uint32_t cbBits = EmfU32(whole, offsetof(EMRSTRETCHDIBITS, cbBitsSrc));
    if (bitsWhole + cbBits > whole->nSize || bitsBare + cbBits > bare->nSize ||
        memcmp(whole->data + bitsWhole, bare->data + bitsBare, cbBits) != 0)
        return bitsWhole;
    return -1;
}

/* First byte where a and b differ outside the exclusions, or -1 when there is none. *namedBy is
 * the record whose layout names that byte. */
static int64_t cmp_records(const EmfRecord *a, const EmfRecord *b, uint32_t mask,
                           const EmfRecord **namedBy)
{
    if (cmp_rule_on(mask, CMP_PEN_FORMS)) {
        if (a->iType == EMR_CREATEPEN && b->iType == EMR_EXTCREATEPEN) {
            *namedBy = a;
            return cmp_pen_forms(a, b);
        }
        if (a->iType == EMR_EXTCREATEPEN && b->iType == EMR_CREATEPEN) {
            *namedBy = b;
            return cmp_pen_forms(b, a);
        }
    }
    if (cmp_rule_on(mask, CMP_DIB_TABLE) && a->iType == EMR_STRETCHDIBITS && b->iType == EMR_STRETCHDIBITS) {
        uint32_t cbBmiA = EmfU32(a, offsetof(EMRSTRETCHDIBITS, cbBmiSrc));
        uint32_t cbBmiB = EmfU32(b, offsetof(EMRSTRETCHDIBITS, cbBmiSrc));
        if (cbBmiA != cbBmiB) {
            *namedBy = cbBmiA > cbBmiB ? a : b;
            return cbBmiA > cbBmiB ? cmp_dib_tables(a, b) : cmp_dib_tables(b, a);
        }
    }
    uint32_t end = a->nSize > b->nSize ? a->nSize : b->nSize;
    int headers = a->iType == EMR_HEADER && b->iType == EMR_HEADER;
    for (uint32_t i = 0; i < end; i++) {
        if (headers && i >= offsetof(ENHMETAHEADER, nBytes) && i < offsetof(ENHMETAHEADER, nHandles))
            continue; /* nBytes, nRecords: see EmfCompareFiles */
        if ((i < a->nSize && cmp_excluded(a, i, mask)) || (i < b->nSize && cmp_excluded(b, i, mask)))
            continue;
        if (i >= a->nSize || i >= b->nSize || a->data[i] != b->data[i]) {
            *namedBy = i < a->nSize ? a : b;
            return i;
        }
    }
    return -1;
}

struct CmpField {
    uint32_t at;
    const char *name;
};

#define CMP_TABLE(t) t, sizeof t / sizeof t[0]

static const CmpField cmp_header[] = {
    {8, "rclBounds"}, {24, "rclFrame"}, {40, "dSignature"}, {44, "nVersion"}, {48, "nBytes"},
    {52, "nRecords"}, {56, "nHandles"}, {58, "sReserved"}, {60, "nDescription"},
    {64, "offDescription"}, {68, "nPalEntries"}, {72, "szlDevice"}, {80, "szlMillimeters"},
    {88, "cbPixelFormat"}, {92, "offPixelFormat"}, {96, "bOpenGL"}, {100, "szlMicrometers"},
    {108, "description"}};
static const CmpField cmp_eof[] = {{8, "nPalEntries"}, {12, "offPalEntries"}, {16, "palEntries"}};
static const CmpField cmp_poly[] = {{8, "rclBounds"}, {24, "cpts"}, {28, "apts"}};
static const CmpField cmp_polypoly[] = {{8, "rclBounds"}, {24, "nPolys"}, {28, "cpts"},
                                        {32, "aPolyCounts"}};
static const CmpField cmp_pen[] = {{8, "ihPen"}, {12, "lopnStyle"}, {16, "lopnWidth"},
                                   {24, "lopnColor"}};
static const CmpField cmp_extpen[] = {
    {8, "ihPen"}, {12, "offBmi"}, {16, "cbBmi"}, {20, "offBits"}, {24, "cbBits"},
    {28, "elpPenStyle"}, {32, "elpWidth"}, {36, "elpBrushStyle"}, {40, "elpColor"},
    {44, "elpHatch"}, {48, "elpNumEntries"}, {52, "elpStyleEntry"}};
static const CmpField cmp_brush[] = {{8, "ihBrush"}, {12, "lbStyle"}, {16, "lbColor"},
                                     {20, "lbHatch"}};
static const CmpField cmp_dibbrush[] = {{8, "ihBrush"}, {12, "iUsage"}, {16, "offBmi"},
                                        {20, "cbBmi"}, {24, "offBits"}, {28, "cbBits"}};
static const CmpField cmp_font[] = {
    {8, "ihFont"}, {12, "lfHeight"}, {16, "lfWidth"}, {20, "lfEscapement"},
    {24, "lfOrientation"}, {28, "lfWeight"}, {32, "lfItalic"}, {33, "lfUnderline"},
    {34, "lfStrikeOut"}, {35, "lfCharSet"}, {36, "lfOutPrecision"}, {37, "lfClipPrecision"},
    {38, "lfQuality"}, {39, "lfPitchAndFamily"}, {40, "lfFaceName"}, {104, "elfFullName"},
    {232, "elfStyle"}, {296, "elfVersion/elfScript"}, {320, "elfPanose/elfScript"},
    {360, "elfDesignVector"}};
static const CmpField cmp_arc[] = {{8, "rclBox"}, {24, "ptlStart"}, {32, "ptlEnd"}};
static const CmpField cmp_roundrect[] = {{8, "rclBox"}, {24, "szlCorner"}};
static const CmpField cmp_comment[] = {{8, "cbData"}, {12, "data"}};
static const CmpField cmp_clip[] = {{8, "cbRgnData"}, {12, "iMode"}, {16, "RgnData"}};
static const CmpField cmp_blt[] = {
    {8, "rclBounds"}, {24, "xDest"}, {28, "yDest"}, {32, "cxDest"}, {36, "cyDest"},
    {40, "dwRop"}, {44, "xSrc"}, {48, "ySrc"}, {52, "xformSrc"}, {76, "crBkColorSrc"},
    {80, "iUsageSrc"}, {84, "offBmiSrc"}, {88, "cbBmiSrc"}, {92, "offBitsSrc"},
    {96, "cbBitsSrc"}, {100, "cxSrc"}, {104, "cySrc"}};
static const CmpField cmp_dibits[] = {
    {8, "rclBounds"}, {24, "xDest"}, {28, "yDest"}, {32, "xSrc"}, {36, "ySrc"}, {40, "cxSrc"},
    {44, "cySrc"}, {48, "offBmiSrc"}, {52, "cbBmiSrc"}, {56, "offBitsSrc"}, {60, "cbBitsSrc"},
    {64, "iUsageSrc"}, {68, "dwRop"}, {72, "cxDest"}, {76, "cyDest"}};
static const CmpField cmp_setdibits[] = {
    {8, "rclBounds"}, {24, "xDest"}, {28, "yDest"}, {32, "xSrc"}, {36, "ySrc"}, {40, "cxSrc"},
    {44, "cySrc"}, {48, "offBmiSrc"}, {52, "cbBmiSrc"}, {56, "offBitsSrc"}, {60, "cbBitsSrc"},
    {64, "iUsageSrc"}, {68, "iStartScan"}, {72, "cScans"}};
static const CmpField cmp_text[] = {
    {8, "rclBounds"}, {24, "iGraphicsMode"}, {28, "exScale"}, {32, "eyScale"},
    {36, "ptlReference"}, {44, "nChars"}, {48, "offString"}, {52, "fOptions"}, {56, "rcl"},
    {72, "offDx"}, {76, "string"}};

static const char *cmp_table_name(const CmpField *t, size_t n, uint32_t at)
{
    const char *name = "";
    for (size_t i = 0; i < n && t[i].at <= at; i++)
        name = t[i].name;
    return name;
}

/* The variable parts first: bitmaps, advances and point lists have record-dependent offsets. */
static const char *cmp_variable_name(const EmfRecord *r, uint32_t at, uint32_t bitmapAt)
{
    uint32_t offBmi = EmfU32(r, bitmapAt), offBits = EmfU32(r, bitmapAt + 8);
    if (at >= offBmi && at < offBmi + EmfU32(r, bitmapAt + 4))
        return "bmi";
    if (at >= offBits && at < offBits + EmfU32(r, bitmapAt + 12))
        return "bits";
    return NULL;
}

static const char *cmp_field_name(const EmfRecord *r, uint32_t at)
{
    const char *v = NULL;
    if (at < 4)
        return "iType";
    if (at < 8)
        return "nSize";
    switch (r->iType) {
    case EMR_HEADER: return cmp_table_name(CMP_TABLE(cmp_header), at);
    case EMR_EOF: return at >= r->nSize - 4 ? "nSizeLast" : cmp_table_name(CMP_TABLE(cmp_eof), at);
    case EMR_POLYBEZIER: case EMR_POLYGON: case EMR_POLYLINE: case EMR_POLYBEZIERTO:
    case EMR_POLYLINETO: case EMR_POLYBEZIER16: case EMR_POLYGON16: case EMR_POLYLINE16:
    case EMR_POLYBEZIERTO16: case EMR_POLYLINETO16:
        return cmp_table_name(CMP_TABLE(cmp_poly), at);
    case EMR_POLYPOLYLINE: case EMR_POLYPOLYGON: case EMR_POLYPOLYLINE16: case EMR_POLYPOLYGON16:
        if (at >= 32 + 4 * (uint64_t)EmfU32(r, 24))
            return "apts";
        return cmp_table_name(CMP_TABLE(cmp_polypoly), at);
    case EMR_SETWINDOWEXTEX: case EMR_SETVIEWPORTEXTEX: return "szlExtent";
    case EMR_SETWINDOWORGEX: case EMR_SETVIEWPORTORGEX: return "ptlOrigin";
    case EMR_MOVETOEX: case EMR_LINETO: return "ptl";
    case EMR_SETMAPMODE: case EMR_SETBKMODE: case EMR_SETPOLYFILLMODE: case EMR_SETROP2:
    case EMR_SETSTRETCHBLTMODE: case EMR_SETTEXTALIGN: return "iMode";
    case EMR_SETTEXTCOLOR: case EMR_SETBKCOLOR: return "crColor";
    case EMR_RESTOREDC: return "iRelative";
    case EMR_SELECTOBJECT: case EMR_DELETEOBJECT: case EMR_SELECTPALETTE: return "ihObject";
    case EMR_EXCLUDECLIPRECT: case EMR_INTERSECTCLIPRECT: return "rclClip";
    case EMR_CREATEPEN: return cmp_table_name(CMP_TABLE(cmp_pen), at);
    case EMR_EXTCREATEPEN:
        v = cmp_variable_name(r, at, offsetof(EMREXTCREATEPEN, offBmi));
        return v ? v : cmp_table_name(CMP_TABLE(cmp_extpen), at);
    case EMR_CREATEBRUSHINDIRECT: return cmp_table_name(CMP_TABLE(cmp_brush), at);
    case EMR_CREATEMONOBRUSH: case EMR_CREATEDIBPATTERNBRUSHPT:
        v = cmp_variable_name(r, at, offsetof(EMRCREATEDIBPATTERNBRUSHPT, offBmi));
        return v ? v : cmp_table_name(CMP_TABLE(cmp_dibbrush), at);
    case EMR_EXTCREATEFONTINDIRECTW: return cmp_table_name(CMP_TABLE(cmp_font), at);
    case EMR_ELLIPSE: case EMR_RECTANGLE: return "rclBox";
    case EMR_ROUNDRECT: return cmp_table_name(CMP_TABLE(cmp_roundrect), at);
    case EMR_ARC: case EMR_CHORD: case EMR_PIE: return cmp_table_name(CMP_TABLE(cmp_arc), at);
    case EMR_FILLPATH: case EMR_STROKEANDFILLPATH: case EMR_STROKEPATH: return "rclBounds";
    case EMR_GDICOMMENT: return cmp_table_name(CMP_TABLE(cmp_comment), at);
    case EMR_EXTSELECTCLIPRGN: return cmp_table_name(CMP_TABLE(cmp_clip), at);
    case EMR_BITBLT: case EMR_STRETCHBLT:
        v = cmp_variable_name(r, at, offsetof(EMRBITBLT, offBmiSrc));
        return v ? v : cmp_table_name(CMP_TABLE(cmp_blt), at);
    case EMR_STRETCHDIBITS:
        v = cmp_variable_name(r, at, offsetof(EMRSTRETCHDIBITS, offBmiSrc));
        return v ? v : cmp_table_name(CMP_TABLE(cmp_dibits), at);
    case EMR_SETDIBITSTODEVICE:
        v = cmp_variable_name(r, at, offsetof(EMRSETDIBITSTODEVICE, offBmiSrc));
        return v ? v : cmp_table_name(CMP_TABLE(cmp_setdibits), at);
    case EMR_EXTTEXTOUTA: case EMR_EXTTEXTOUTW:
        if (at >= sizeof(EMREXTTEXTOUTW) && at >= EmfU32(r, offsetof(EMREXTTEXTOUTW, emrtext.offDx)))
            return "dx";
        return cmp_table_name(CMP_TABLE(cmp_text), at);
    default: return "";
    }
}

static int cmp_has_empty_polyline(const EmfFile *f)
{
    for (uint32_t i = 1; i < f->count; i++) {
        const EmfRecord *r = &f->records[i];
        /* cpts lies at the same offset in both forms. */
        if ((r->iType == EMR_POLYLINE16 || r->iType == EMR_POLYLINE) &&
            EmfU32(r, offsetof(EMRPOLYLINE16, cpts)) == 0)
            return 1;
    }
    return 0;
}

static RECTL cmp_header_bounds(const EmfFile *f)
{
    const EmfRecord *h = &f->records[0];
    const uint32_t at = offsetof(ENHMETAHEADER, rclBounds);
    return RECTL{EmfI32(h, at), EmfI32(h, at + 4), EmfI32(h, at + 8), EmfI32(h, at + 12)};
}

/* Whether merged is bounds with (-1,-1,0,0) merged in the way Wine merges it: into empty bounds
 * as the whole rectangle, else as a union. */
static int cmp_is_empty_merge(RECTL bounds, RECTL merged)
{
    RECTL m = {-1, -1, 0, 0};
    if (bounds.right >= bounds.left && bounds.bottom >= bounds.top) {
        m.left = bounds.left < -1 ? bounds.left : -1;
        m.top = bounds.top < -1 ? bounds.top : -1;
        m.right = bounds.right > 0 ? bounds.right : 0;
        m.bottom = bounds.bottom > 0 ? bounds.bottom : 0;
    }
    return memcmp(&m, &merged, sizeof m) == 0;
}

/* The exclusions for the header pair: the named ones, and header.bounds when wine.empty-polyline
 * is on, either file holds a Polyline of 0 points, and one file's bounds are the other's with
 * that polyline's empty bounds merged in. */
static uint32_t cmp_header_mask(const EmfFile *a, const EmfFile *b, uint32_t mask)
{
    if (!cmp_rule_on(mask, CMP_EMPTY_MERGE))
        return mask;
    if (!cmp_has_empty_polyline(a) && !cmp_has_empty_polyline(b))
        return mask;
    RECTL ba = cmp_header_bounds(a), bb = cmp_header_bounds(b);
    if (cmp_is_empty_merge(ba, bb) || cmp_is_empty_merge(bb, ba))
        EmfCompareExclude("header.bounds", &mask);
    return mask;
}

int EmfCompareFiles(const EmfFile *a, const EmfFile *b, uint32_t mask, EmfDiff *diff)
{
    /* Each file ends with its only EMR_EOF, and exclusions never cover iType, so files of
     * different lengths always differ at the shorter one's EOF: no separate count check. */
    uint32_t common = a->count < b->count ? a->count : b->count;
    for (uint32_t i = 0; i < common; i++) {
        const EmfRecord *namedBy = NULL;
        uint32_t recordMask = i == 0 ? cmp_header_mask(a, b, mask) : mask;
        int64_t at = cmp_records(&a->records[i], &b->records[i], recordMask, &namedBy);
        if (at < 0)
            continue;
        diff->index = i;
        diff->at = (uint32_t)at;
        diff->field = cmp_field_name(namedBy, (uint32_t)at);
        return 1;
    }
    return 0;
}

enum {
    DUMP_WHOLE = 512, /* records up to this size are dumped whole */
    DUMP_HEAD = 64,   /* else: this many leading bytes ... */
    DUMP_AROUND = 64, /* ... and this many either side of the difference */
};

static void dump_lines(FILE *out, const EmfRecord *r, uint32_t from, uint32_t to)
{
    for (uint32_t line = from; line < to; line += 16) {
        fprintf(out, "    /* %04x */", line);
        for (uint32_t i = line; i < line + 16 && i < to; i++)
            fprintf(out, " 0x%02x,", r->data[i]);
        fputc('\n', out);
    }
}

void EmfDumpRecord(FILE *out, const char *label, const EmfRecord *rec, uint32_t at)
{
    fprintf(out, "%s: %s at offset %u, %u bytes\n", label, EmfRecordName(rec->iType), rec->offset,
            rec->nSize);
    if (rec->nSize <= DUMP_WHOLE) {
        dump_lines(out, rec, 0, rec->nSize);
        return;
    }
    uint32_t from = at > DUMP_AROUND ? (at - DUMP_AROUND) & ~15u : 0;
    uint32_t to = at + DUMP_AROUND < rec->nSize ? (at + DUMP_AROUND + 15) & ~15u : rec->nSize;
    if (to > rec->nSize)
        to = rec->nSize;
    if (from <= DUMP_HEAD) {
        from = 0;
    } else {
        dump_lines(out, rec, 0, DUMP_HEAD);
        fprintf(out, "    ...\n");
    }
    dump_lines(out, rec, from, to);
    if (to < rec->nSize)
        fprintf(out, "    ...\n");
}
