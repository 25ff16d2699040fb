/* One line per EMF record with its decoded fields: the record lister's formatting. */
#include "emftools.h"

#include <stdarg.h>
#include <string.h>

using namespace emf;

enum {
    INS_MAX_POINTS = 4,  /* points shown before "..." */
    INS_MAX_VALUES = 16, /* counts or advances shown before "..." */
    INS_MAX_CHARS = 64,  /* characters of a string shown before "..." */
};

/* A line being built; len keeps counting past cap so the caller learns the full length. */
struct InsLine {
    char *buf;
    size_t cap;
    size_t len;
};

static void ins_add(InsLine *l, const char *fmt, ...)
{
    char *dst = l->len < l->cap ? l->buf + l->len : NULL;
    size_t room = l->len < l->cap ? l->cap - l->len : 0;
    va_list ap;
    va_start(ap, fmt);
    int n = vsnprintf(dst, room, fmt, ap);
    va_end(ap);
    if (n > 0)
        l->len += (size_t)n;
}

static void ins_rect(InsLine *l, const char *name, const EmfRecord *r, uint32_t off)
{
    ins_add(l, " %s=(%d,%d,%d,%d)", name, EmfI32(r, off), EmfI32(r, off + 4), EmfI32(r, off + 8),
            EmfI32(r, off + 12));
}

static void ins_point(InsLine *l, const char *name, const EmfRecord *r, uint32_t off)
{
    ins_add(l, " %s=(%d,%d)", name, EmfI32(r, off), EmfI32(r, off + 4));
}

static void ins_points(InsLine *l, const EmfRecord *r, uint32_t off, uint32_t count, int is16)
{
    ins_add(l, " pts=");
    for (uint32_t i = 0; i < count && i < INS_MAX_POINTS; i++) {
        if (is16)
            ins_add(l, "%s(%d,%d)", i ? " " : "", EmfI16(r, off + 4 * i), EmfI16(r, off + 4 * i + 2));
        else
            ins_add(l, "%s(%d,%d)", i ? " " : "", EmfI32(r, off + 8 * i), EmfI32(r, off + 8 * i + 4));
    }
    if (count > INS_MAX_POINTS)
        ins_add(l, " ...");
}

/* count 32-bit values as a comma list. */
static void ins_values(InsLine *l, const char *name, const EmfRecord *r, uint32_t off,
                       uint32_t count)
{
    ins_add(l, " %s=", name);
    for (uint32_t i = 0; i < count && i < INS_MAX_VALUES; i++)
        ins_add(l, "%s%d", i ? "," : "", EmfI32(r, off + 4 * i));
    if (count > INS_MAX_VALUES)
        ins_add(l, ",...");
}

/* One code point as UTF-8, with quotes, backslashes and control characters escaped. */
static void ins_codepoint(InsLine *l, uint32_t c)
{
    if (c == '"' || c == '\\')
        ins_add(l, "\\%c", (int)c);
    else if (c == 0)
        ins_add(l, "\\0");
    else if (c < 0x20 || c == 0x7f)
        ins_add(l, "\\x%02x", c);
    else if (c < 0x80)
        ins_add(l, "%c", (int)c);
    else if (c < 0x800)
        ins_add(l, "%c%c", 0xc0 | c >> 6, 0x80 | (c & 0x3f));
    else if (c < 0x10000)
        ins_add(l, "%c%c%c", 0xe0 | c >> 12, 0x80 | (c >> 6 & 0x3f), 0x80 | (c & 0x3f));
    else
        ins_add(l, "%c%c%c%c", 0xf0 | c >> 18, 0x80 | (c >> 12 & 0x3f), 0x80 | (c >> 6 & 0x3f),
                0x80 | (c & 0x3f));
}

/* count UTF-16 units at off as a quoted UTF-8 string; a lone surrogate shows as U+FFFD. */
static void ins_utf16(InsLine *l, const char *name, const EmfRecord *r, uint32_t off,
                      uint32_t count)
{
    ins_add(l, " %s=\"", name);
    uint32_t shown = count < (uint32_t)INS_MAX_CHARS ? count : (uint32_t)INS_MAX_CHARS;
    for (uint32_t i = 0; i < shown; i++) {
        uint32_t c = EmfU16(r, off + 2 * i);
        if (c >= 0xd800 && c < 0xdc00 && i + 1 < shown) {
            uint32_t lo = EmfU16(r, off + 2 * i + 2);
            if (lo >= 0xdc00 && lo < 0xe000) {
                c = 0x10000 + ((c - 0xd800) << 10) + (lo - 0xdc00);
                i++;
            }
        }
        ins_codepoint(l, c >= 0xd800 && c < 0xe000 ? 0xfffd : c);
    }
    ins_add(l, count > shown ? "\"..." : "\"");
}

/* count bytes at off as a quoted string: ASCII as is, other bytes as \xHH. */
static void ins_bytes(InsLine *l, const char *name, const EmfRecord *r, uint32_t off,
                      uint32_t count)
{
    ins_add(l, " %s=\"", name);
    uint32_t shown = count < (uint32_t)INS_MAX_CHARS ? count : (uint32_t)INS_MAX_CHARS;
    for (uint32_t i = 0; i < shown; i++) {
        uint8_t c = off + i < r->nSize ? r->data[off + i] : 0;
        if (c >= 0x80)
            ins_add(l, "\\x%02x", c);
        else
            ins_codepoint(l, c);
    }
    ins_add(l, count > shown ? "\"..." : "\"");
}

/* The four DWORDs offBmi, cbBmi, offBits, cbBits at at, and the DIB's size when there is one. */
static void ins_bitmap(InsLine *l, const EmfRecord *r, uint32_t at)
{
    uint32_t offBmi = EmfU32(r, at), cbBmi = EmfU32(r, at + 4);
    ins_add(l, " bmi=@%u+%u bits=@%u+%u", offBmi, cbBmi, EmfU32(r, at + 8), EmfU32(r, at + 12));
    if (cbBmi < sizeof(BITMAPINFOHEADER))
        return;
    BITMAPINFOHEADER bih;
    memcpy(&bih, r->data + offBmi, sizeof bih);
    ins_add(l, " dib=%dx%dx%u", bih.biWidth, bih.biHeight, bih.biBitCount);
    if (bih.biCompression != 0)
        ins_add(l, " compression=%u", bih.biCompression);
    if (bih.biClrUsed != 0)
        ins_add(l, " clrUsed=%u", bih.biClrUsed);
}

static void ins_slot(InsLine *l, const EmfRecord *r)
{
    uint32_t ih = EmfU32(r, 8);
    if (ih & ENHMETA_STOCK_OBJECT)
        ins_add(l, " ihObject=0x%08x stock=%u", ih, ih & ~ENHMETA_STOCK_OBJECT);
    else
        ins_add(l, " ihObject=%u", ih);
}

static void ins_header(InsLine *l, const EmfFile *f)
{
    ENHMETAHEADER h;
    EmfGetHeader(f, &h);
    const EmfRecord *r = &f->records[0];
    ins_rect(l, "bounds", r, offsetof(ENHMETAHEADER, rclBounds));
    ins_rect(l, "frame", r, offsetof(ENHMETAHEADER, rclFrame));
    ins_add(l, " nBytes=%u nRecords=%u nHandles=%u device=%dx%d mm=%dx%d", h.nBytes, h.nRecords,
            h.nHandles, h.szlDevice.cx, h.szlDevice.cy, h.szlMillimeters.cx,
            h.szlMillimeters.cy);
    if (r->nSize >= sizeof(ENHMETAHEADER))
        ins_add(l, " um=%dx%d", h.szlMicrometers.cx, h.szlMicrometers.cy);
    if (h.nPalEntries != 0)
        ins_add(l, " nPalEntries=%u", h.nPalEntries);
    if (h.nDescription != 0)
        ins_utf16(l, "desc", r, h.offDescription, h.nDescription);
}

static void ins_font(InsLine *l, const EmfRecord *r)
{
    EMREXTCREATEFONTINDIRECTW rec;
    EmfRecordFixed(r, &rec, sizeof rec);
    const LOGFONTW &lf = rec.elfw;
    uint32_t faceLen = 0;
    while (faceLen < 32 && lf.lfFaceName[faceLen] != 0)
        faceLen++;
    ins_add(l, " ihFont=%u height=%d width=%d escapement=%d orientation=%d weight=%d", rec.ihFont,
            lf.lfHeight, lf.lfWidth, lf.lfEscapement, lf.lfOrientation, lf.lfWeight);
    ins_add(l, " italic=%u underline=%u strikeout=%u charset=%u outPrecision=%u clipPrecision=%u"
            " quality=%u pitch=0x%02x", lf.lfItalic, lf.lfUnderline, lf.lfStrikeOut, lf.lfCharSet,
            lf.lfOutPrecision, lf.lfClipPrecision, lf.lfQuality, lf.lfPitchAndFamily);
    ins_utf16(l, "face", r, offsetof(EMREXTCREATEFONTINDIRECTW, elfw.lfFaceName), faceLen);
}

static void ins_text(InsLine *l, const EmfRecord *r)
{
    EMREXTTEXTOUTW t;
    EmfRecordFixed(r, &t, sizeof t);
    const EMRTEXT &e = t.emrtext;
    ins_rect(l, "bounds", r, offsetof(EMREXTTEXTOUTW, rclBounds));
    ins_add(l, " mode=%u scale=%g,%g", t.iGraphicsMode, t.exScale, t.eyScale);
    ins_point(l, "ref", r, offsetof(EMREXTTEXTOUTW, emrtext.ptlReference));
    ins_add(l, " nChars=%u", e.nChars);
    if (r->iType == EMR_EXTTEXTOUTW)
        ins_utf16(l, "text", r, e.offString, e.nChars);
    else
        ins_bytes(l, "text", r, e.offString, e.nChars);
    ins_add(l, " options=0x%x", e.fOptions);
    ins_rect(l, "rcl", r, offsetof(EMREXTTEXTOUTW, emrtext.rcl));
    if (e.nChars != 0)
        ins_values(l, "dx", r, e.offDx, (e.fOptions & EMF_ETO_PDY) ? 2 * e.nChars : e.nChars);
}

static void ins_clip(InsLine *l, const EmfRecord *r)
{
    uint32_t cbRgnData = EmfU32(r, 8);
    ins_add(l, " iMode=%u cbRgnData=%u", EmfU32(r, 12), cbRgnData);
    if (cbRgnData == 0)
        return;
    uint32_t rdh = sizeof(EMREXTSELECTCLIPRGN);
    uint32_t nCount = EmfU32(r, rdh + offsetof(RGNDATAHEADER, nCount));
    ins_add(l, " rects=%u", nCount);
    ins_rect(l, "bound", r, rdh + offsetof(RGNDATAHEADER, rcBound));
    if (nCount != 0)
        ins_rect(l, "first", r, rdh + sizeof(RGNDATAHEADER));
}

static void ins_blt(InsLine *l, const EmfRecord *r)
{
    EMRSTRETCHBLT b;
    memset(&b, 0, sizeof b);
    EmfRecordFixed(r, &b, r->iType == EMR_STRETCHBLT ? sizeof(EMRSTRETCHBLT) : sizeof(EMRBITBLT));
    ins_rect(l, "bounds", r, offsetof(EMRBITBLT, rclBounds));
    ins_add(l, " dest=(%d,%d,%d,%d)", b.xDest, b.yDest, b.cxDest, b.cyDest);
    if (r->iType == EMR_STRETCHBLT)
        ins_add(l, " src=(%d,%d,%d,%d)", b.xSrc, b.ySrc, b.cxSrc, b.cySrc);
    else
        ins_add(l, " src=(%d,%d)", b.xSrc, b.ySrc);
    ins_add(l, " rop=0x%08x", b.dwRop);
    const XFORM &x = b.xformSrc;
    if (x.eM11 != 1 || x.eM12 != 0 || x.eM21 != 0 || x.eM22 != 1 || x.eDx != 0 || x.eDy != 0)
        ins_add(l, " xform=[%g,%g,%g,%g,%g,%g]", x.eM11, x.eM12, x.eM21, x.eM22, x.eDx, x.eDy);
    ins_add(l, " bkSrc=0x%08x usage=%u", b.crBkColorSrc, b.iUsageSrc);
    ins_bitmap(l, r, offsetof(EMRBITBLT, offBmiSrc));
}

static void ins_dibits(InsLine *l, const EmfRecord *r)
{
    EMRSTRETCHDIBITS s;
    EMRSETDIBITSTODEVICE d;
    ins_rect(l, "bounds", r, offsetof(EMRSTRETCHDIBITS, rclBounds));
    if (r->iType == EMR_STRETCHDIBITS) {
        EmfRecordFixed(r, &s, sizeof s);
        ins_add(l, " dest=(%d,%d,%d,%d) src=(%d,%d,%d,%d) rop=0x%08x usage=%u", s.xDest, s.yDest,
                s.cxDest, s.cyDest, s.xSrc, s.ySrc, s.cxSrc, s.cySrc, s.dwRop, s.iUsageSrc);
    } else {
        EmfRecordFixed(r, &d, sizeof d);
        ins_add(l, " dest=(%d,%d) src=(%d,%d,%d,%d) scans=%u+%u usage=%u", d.xDest, d.yDest,
                d.xSrc, d.ySrc, d.cxSrc, d.cySrc, d.iStartScan, d.cScans, d.iUsageSrc);
    }
    ins_bitmap(l, r, offsetof(EMRSTRETCHDIBITS, offBmiSrc));
}

static void ins_extpen(InsLine *l, const EmfRecord *r)
{
    EMREXTCREATEPEN p;
    EmfRecordFixed(r, &p, sizeof p);
    ins_add(l, " ihPen=%u style=0x%x width=%u brushStyle=%u color=0x%08x hatch=%u", p.ihPen,
            p.elpPenStyle, p.elpWidth, p.elpBrushStyle, p.elpColor, p.elpHatch);
    ins_values(l, "entries", r, sizeof p, p.elpNumEntries);
    ins_bitmap(l, r, offsetof(EMREXTCREATEPEN, offBmi));
}

static void ins_polypoly(InsLine *l, const EmfRecord *r)
{
    uint32_t nPolys = EmfU32(r, 24), cpts = EmfU32(r, 28);
    ins_rect(l, "bounds", r, 8);
    ins_add(l, " nPolys=%u cpts=%u", nPolys, cpts);
    ins_values(l, "counts", r, sizeof(EMRPOLYPOLYLINE16), nPolys);
    ins_points(l, r, sizeof(EMRPOLYPOLYLINE16) + 4 * nPolys, cpts, r->iType >= EMR_POLYBEZIER16);
}

/* The decoded fields of one record, after "#index @offset NAME size=n". */
static void ins_fields(InsLine *l, const EmfFile *f, const EmfRecord *r)
{
    switch (r->iType) {
    case EMR_HEADER:
        ins_header(l, f);
        break;
    case EMR_EOF:
        ins_add(l, " nPalEntries=%u offPalEntries=%u nSizeLast=%u", EmfU32(r, 8), EmfU32(r, 12),
                EmfU32(r, r->nSize - 4));
        break;
    case EMR_POLYBEZIER: case EMR_POLYGON: case EMR_POLYLINE: case EMR_POLYBEZIERTO:
    case EMR_POLYLINETO: case EMR_POLYBEZIER16: case EMR_POLYGON16: case EMR_POLYLINE16:
    case EMR_POLYBEZIERTO16: case EMR_POLYLINETO16:
        ins_rect(l, "bounds", r, 8);
        ins_add(l, " cpts=%u", EmfU32(r, 24));
        ins_points(l, r, 28, EmfU32(r, 24), r->iType >= EMR_POLYBEZIER16);
        break;
    case EMR_POLYPOLYLINE: case EMR_POLYPOLYGON: case EMR_POLYPOLYLINE16: case EMR_POLYPOLYGON16:
        ins_polypoly(l, r);
        break;
    case EMR_SETWINDOWEXTEX: case EMR_SETVIEWPORTEXTEX:
        ins_add(l, " extent=%dx%d", EmfI32(r, 8), EmfI32(r, 12));
        break;
    case EMR_SETWINDOWORGEX: case EMR_SETVIEWPORTORGEX:
        ins_point(l, "origin", r, 8);
        break;
    case EMR_MOVETOEX: case EMR_LINETO:
        ins_point(l, "pt", r, 8);
        break;
    case EMR_SETMAPMODE: case EMR_SETBKMODE: case EMR_SETPOLYFILLMODE: case EMR_SETROP2:
    case EMR_SETSTRETCHBLTMODE:
        ins_add(l, " iMode=%u", EmfU32(r, 8));
        break;
    case EMR_SETTEXTALIGN:
        ins_add(l, " align=0x%x", EmfU32(r, 8));
        break;
    case EMR_SETTEXTCOLOR: case EMR_SETBKCOLOR:
        ins_add(l, " color=0x%08x", EmfU32(r, 8));
        break;
    case EMR_RESTOREDC:
        ins_add(l, " iRelative=%d", EmfI32(r, 8));
        break;
    case EMR_SELECTOBJECT: case EMR_DELETEOBJECT: case EMR_SELECTPALETTE:
        ins_slot(l, r);
        break;
    case EMR_EXCLUDECLIPRECT: case EMR_INTERSECTCLIPRECT:
        ins_rect(l, "rect", r, 8);
        break;
    case EMR_CREATEPEN:
        ins_add(l, " ihPen=%u style=0x%x width=%d color=0x%08x", EmfU32(r, 8), EmfU32(r, 12),
                EmfI32(r, 16), EmfU32(r, 24));
        break;
    case EMR_EXTCREATEPEN:
        ins_extpen(l, r);
        break;
    case EMR_CREATEBRUSHINDIRECT:
        ins_add(l, " ihBrush=%u style=%u color=0x%08x hatch=%u", EmfU32(r, 8), EmfU32(r, 12),
                EmfU32(r, 16), EmfU32(r, 20));
        break;
    case EMR_CREATEMONOBRUSH: case EMR_CREATEDIBPATTERNBRUSHPT:
        ins_add(l, " ihBrush=%u usage=%u", EmfU32(r, 8), EmfU32(r, 12));
        ins_bitmap(l, r, offsetof(EMRCREATEDIBPATTERNBRUSHPT, offBmi));
        break;
    case EMR_EXTCREATEFONTINDIRECTW:
        ins_font(l, r);
        break;
    case EMR_ELLIPSE: case EMR_RECTANGLE:
        ins_rect(l, "box", r, 8);
        break;
    case EMR_ROUNDRECT:
        ins_rect(l, "box", r, 8);
        ins_add(l, " corner=%dx%d", EmfI32(r, 24), EmfI32(r, 28));
        break;
    case EMR_ARC: case EMR_CHORD: case EMR_PIE:
        ins_rect(l, "box", r, 8);
        ins_point(l, "start", r, 24);
        ins_point(l, "end", r, 32);
        break;
    case EMR_FILLPATH: case EMR_STROKEANDFILLPATH: case EMR_STROKEPATH:
        ins_rect(l, "bounds", r, 8);
        break;
    case EMR_GDICOMMENT:
        ins_add(l, " cbData=%u", EmfU32(r, 8));
        ins_bytes(l, "data", r, sizeof(EMRGDICOMMENT), EmfU32(r, 8));
        break;
    case EMR_EXTSELECTCLIPRGN:
        ins_clip(l, r);
        break;
    case EMR_BITBLT: case EMR_STRETCHBLT:
        ins_blt(l, r);
        break;
    case EMR_SETDIBITSTODEVICE: case EMR_STRETCHDIBITS:
        ins_dibits(l, r);
        break;
    case EMR_EXTTEXTOUTA: case EMR_EXTTEXTOUTW:
        ins_text(l, r);
        break;
    default: /* no parameters (SAVEDC, the path brackets), or a type we never write */
        break;
    }
}

size_t EmfFormatRecord(const EmfFile *file, uint32_t index, char *line, size_t lineSize)
{
    InsLine l = {line, lineSize, 0};
    if (lineSize > 0)
        line[0] = '\0';
    const EmfRecord *r = &file->records[index];
    ins_add(&l, "#%u @%u %s size=%u", index, r->offset, EmfRecordName(r->iType), r->nSize);
    ins_fields(&l, file, r);
    return l.len;
}
