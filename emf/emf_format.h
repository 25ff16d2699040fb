/* Enhanced-metafile record layouts, named as [MS-EMF] names them.
 *
 * One definition of every record the recorder writes and the reader, the tools and the tests read.
 * The structs are the wire layout: every field is little-endian and naturally aligned, and each
 * layout is pinned with static_asserts so that host packing can never change the file format.
 * This header is for hosts without <windows.h>; it declares its own fixed-width types.
 */
#ifndef TAVLINQX_EMF_FORMAT_H
#define TAVLINQX_EMF_FORMAT_H

#include <stddef.h>
#include <stdint.h>

namespace emf {

/* Record types (the iType field). */
enum : uint32_t {
    EMR_HEADER = 1,
    EMR_POLYBEZIER = 2,
    EMR_POLYGON = 3,
    EMR_POLYLINE = 4,
    EMR_POLYBEZIERTO = 5,
    EMR_POLYLINETO = 6,
    EMR_POLYPOLYLINE = 7,
    EMR_POLYPOLYGON = 8,
    EMR_SETWINDOWEXTEX = 9,
    EMR_SETWINDOWORGEX = 10,
    EMR_SETVIEWPORTEXTEX = 11,
    EMR_SETVIEWPORTORGEX = 12,
    EMR_EOF = 14,
    EMR_SETMAPMODE = 17,
    EMR_SETBKMODE = 18,
    EMR_SETPOLYFILLMODE = 19,
    EMR_SETROP2 = 20,
    EMR_SETSTRETCHBLTMODE = 21,
    EMR_SETTEXTALIGN = 22,
    EMR_SETTEXTCOLOR = 24,
    EMR_SETBKCOLOR = 25,
    EMR_MOVETOEX = 27,
    EMR_EXCLUDECLIPRECT = 29,
    EMR_INTERSECTCLIPRECT = 30,
    EMR_SAVEDC = 33,
    EMR_RESTOREDC = 34,
    EMR_SELECTOBJECT = 37,
    EMR_CREATEPEN = 38,
    EMR_CREATEBRUSHINDIRECT = 39,
    EMR_DELETEOBJECT = 40,
    EMR_ELLIPSE = 42,
    EMR_RECTANGLE = 43,
    EMR_ROUNDRECT = 44,
    EMR_ARC = 45,
    EMR_CHORD = 46,
    EMR_PIE = 47,
    EMR_SELECTPALETTE = 48,
    EMR_CREATEPALETTE = 49,
    EMR_LINETO = 54,
    EMR_BEGINPATH = 59,
    EMR_ENDPATH = 60,
    EMR_CLOSEFIGURE = 61,
    EMR_FILLPATH = 62,
    EMR_STROKEANDFILLPATH = 63,
    EMR_STROKEPATH = 64,
    EMR_WIDENPATH = 66,
    EMR_ABORTPATH = 68,
    EMR_GDICOMMENT = 70,
    EMR_EXTSELECTCLIPRGN = 75,
    EMR_BITBLT = 76,
    EMR_STRETCHBLT = 77,
    EMR_SETDIBITSTODEVICE = 80,
    EMR_STRETCHDIBITS = 81,
    EMR_EXTCREATEFONTINDIRECTW = 82,
    EMR_EXTTEXTOUTA = 83,
    EMR_EXTTEXTOUTW = 84,
    EMR_POLYBEZIER16 = 85,
    EMR_POLYGON16 = 86,
    EMR_POLYLINE16 = 87,
    EMR_POLYBEZIERTO16 = 88,
    EMR_POLYLINETO16 = 89,
    EMR_POLYPOLYLINE16 = 90,
    EMR_POLYPOLYGON16 = 91,
    EMR_CREATEMONOBRUSH = 93,
    EMR_CREATEDIBPATTERNBRUSHPT = 94,
    EMR_EXTCREATEPEN = 95,
    EMR_CREATECOLORSPACE = 99,
    EMR_CREATECOLORSPACEW = 122,
    EMR_MAX = 122, /* highest record type [MS-EMF] defines */
};

enum : uint32_t {
    ENHMETA_SIGNATURE = 0x464D4520, /* " EMF" */
    ENHMETA_VERSION = 0x00010000,
    ENHMETA_STOCK_OBJECT = 0x80000000, /* ihObject of a stock object: this bit | stock index */
};

struct RECTL { int32_t left, top, right, bottom; };
struct POINTL { int32_t x, y; };
struct POINTS { int16_t x, y; };
struct SIZEL { int32_t cx, cy; };

struct EMR {
    uint32_t iType;
    uint32_t nSize; /* whole record in bytes, a multiple of 4 */
};

struct ENHMETAHEADER {
    EMR emr;
    RECTL rclBounds;       /* device units, inclusive; (0,0,-1,-1) when nothing was drawn */
    RECTL rclFrame;        /* .01 mm, inclusive */
    uint32_t dSignature;
    uint32_t nVersion;
    uint32_t nBytes;
    uint32_t nRecords;
    uint16_t nHandles;     /* 1 + the most object-table slots in use at once */
    uint16_t sReserved;
    uint32_t nDescription; /* UTF-16 code units */
    uint32_t offDescription;
    uint32_t nPalEntries;
    SIZEL szlDevice;       /* pixels */
    SIZEL szlMillimeters;
    uint32_t cbPixelFormat;
    uint32_t offPixelFormat;
    uint32_t bOpenGL;
    SIZEL szlMicrometers;
};

struct EMREOF {
    EMR emr;
    uint32_t nPalEntries;
    uint32_t offPalEntries;
    uint32_t nSizeLast; /* equals emr.nSize */
};

/* EMR_SETBKMODE, EMR_SETPOLYFILLMODE, EMR_SETROP2, EMR_SETTEXTALIGN, EMR_SETTEXTCOLOR,
 * EMR_SETBKCOLOR, EMR_SELECTOBJECT, EMR_DELETEOBJECT, ...: one 32-bit value. */
struct EMRSETVALUE {
    EMR emr;
    uint32_t value;
};

/* EMR_BEGINPATH, EMR_ENDPATH, EMR_WIDENPATH, EMR_CLOSEFIGURE, EMR_ABORTPATH, EMR_SAVEDC */
struct EMRNOPARAM {
    EMR emr;
};

struct EMRCREATEPEN {
    EMR emr;
    uint32_t ihPen;
    uint32_t lopnStyle;
    POINTL lopnWidth; /* y is 0 */
    uint32_t lopnColor;
};

/* Followed by elpNumEntries style entries and, as Windows writes it, 4 zero bytes. */
struct EMREXTCREATEPEN {
    EMR emr;
    uint32_t ihPen;
    uint32_t offBmi;
    uint32_t cbBmi;
    uint32_t offBits;
    uint32_t cbBits;
    uint32_t elpPenStyle;
    uint32_t elpWidth;
    uint32_t elpBrushStyle;
    uint32_t elpColor;
    uint32_t elpHatch;
    uint32_t elpNumEntries;
};

struct EMRCREATEBRUSHINDIRECT {
    EMR emr;
    uint32_t ihBrush;
    uint32_t lbStyle;
    uint32_t lbColor;
    uint32_t lbHatch;
};

/* EMR_CREATEMONOBRUSH and EMR_CREATEDIBPATTERNBRUSHPT: a BITMAPINFO at offBmi and the bits at
 * offBits follow. Windows writes one extra DWORD (0x20000000) before the BITMAPINFO. */
struct EMRCREATEDIBPATTERNBRUSHPT {
    EMR emr;
    uint32_t ihBrush;
    uint32_t iUsage;
    uint32_t offBmi;
    uint32_t cbBmi;
    uint32_t offBits;
    uint32_t cbBits;
};

struct BITMAPINFOHEADER {
    uint32_t biSize;
    int32_t biWidth;
    int32_t biHeight;
    uint16_t biPlanes;
    uint16_t biBitCount;
    uint32_t biCompression;
    uint32_t biSizeImage;
    int32_t biXPelsPerMeter;
    int32_t biYPelsPerMeter;
    uint32_t biClrUsed;
    uint32_t biClrImportant;
};

struct EMREXTSELECTCLIPRGN {
    EMR emr;
    uint32_t cbRgnData; /* 0 for the null region; else RGNDATA follows */
    uint32_t iMode;
};

/* EMR_INTERSECTCLIPRECT, EMR_EXCLUDECLIPRECT */
struct EMRINTERSECTCLIPRECT {
    EMR emr;
    RECTL rclClip; /* logical units, as passed */
};

/* EMR_MOVETOEX, EMR_LINETO */
struct EMRLINETO {
    EMR emr;
    POINTL ptl;
};

/* EMR_POLYGON16 and its family: cpts POINTS follow. */
struct EMRPOLYLINE16 {
    EMR emr;
    RECTL rclBounds; /* logical units */
    uint32_t cpts;
};

/* EMR_POLYGON and its family: cptl POINTL follow. */
struct EMRPOLYLINE {
    EMR emr;
    RECTL rclBounds;
    uint32_t cptl;
};

/* EMR_POLYPOLYGON16 and its family: nPolys counts, then cpts POINTS (POINTL for the 32-bit forms). */
struct EMRPOLYPOLYLINE16 {
    EMR emr;
    RECTL rclBounds;
    uint32_t nPolys;
    uint32_t cpts;
};

/* EMR_RECTANGLE, EMR_ELLIPSE */
struct EMRRECTANGLE {
    EMR emr;
    RECTL rclBox; /* normalised; right and bottom less 1 in GM_COMPATIBLE */
};

struct EMRROUNDRECT {
    EMR emr;
    RECTL rclBox;
    SIZEL szlCorner;
};

/* EMR_ARC, EMR_CHORD, EMR_PIE */
struct EMRARC {
    EMR emr;
    RECTL rclBox;
    POINTL ptlStart;
    POINTL ptlEnd;
};

/* EMR_FILLPATH, EMR_STROKEPATH, EMR_STROKEANDFILLPATH */
struct EMRFILLPATH {
    EMR emr;
    RECTL rclBounds;
};

struct EMRGDICOMMENT {
    EMR emr;
    uint32_t cbData; /* data follows, zero-padded to 4 */
};

/* EMR_SETWINDOWEXTEX, EMR_SETVIEWPORTEXTEX */
struct EMRSETVIEWPORTEXTEX {
    EMR emr;
    SIZEL szlExtent;
};

/* EMR_SETWINDOWORGEX, EMR_SETVIEWPORTORGEX */
struct EMRSETVIEWPORTORGEX {
    EMR emr;
    POINTL ptlOrigin;
};

struct XFORM {
    float eM11, eM12, eM21, eM22, eDx, eDy;
};

/* Follows the fixed part of EMR_EXTSELECTCLIPRGN when cbRgnData is not 0; nCount RECTLs follow. */
struct RGNDATAHEADER {
    uint32_t dwSize; /* 32 */
    uint32_t iType;  /* 1, RDH_RECTANGLES */
    uint32_t nCount;
    uint32_t nRgnSize;
    RECTL rcBound;
};

struct LOGFONTW {
    int32_t lfHeight;
    int32_t lfWidth;
    int32_t lfEscapement;
    int32_t lfOrientation;
    int32_t lfWeight;
    uint8_t lfItalic;
    uint8_t lfUnderline;
    uint8_t lfStrikeOut;
    uint8_t lfCharSet;
    uint8_t lfOutPrecision;
    uint8_t lfClipPrecision;
    uint8_t lfQuality;
    uint8_t lfPitchAndFamily;
    uint16_t lfFaceName[32]; /* UTF-16, NUL-terminated unless all 32 are used */
};

/* The fixed part; the rest of the body is either the 320-byte form (full name, style, version
 * fields, PANOSE: 332 bytes in all) or the LogFontExDv form (full name, style, script, design
 * vector: 368 bytes with no axes). */
struct EMREXTCREATEFONTINDIRECTW {
    EMR emr;
    uint32_t ihFont;
    LOGFONTW elfw;
};

enum : uint32_t {
    EMF_FONT_PANOSE_SIZE = 332,      /* record size of the LOGFONTW + PANOSE form */
    EMF_FONT_EXDV_SIZE = 368,        /* record size of the LogFontExDv form without axes */
    EMF_DESIGNVECTOR_SIGNATURE = 0x08007664,
};

/* Shared by EMR_EXTTEXTOUTW and EMR_EXTTEXTOUTA; offsets count from the start of the record. */
struct EMRTEXT {
    POINTL ptlReference;
    uint32_t nChars;    /* characters (A) or UTF-16 code units (W) */
    uint32_t offString;
    uint32_t fOptions;  /* ETO_* flags as passed */
    RECTL rcl;          /* (0,0,-1,-1) when no rectangle was passed */
    uint32_t offDx;     /* nChars advances (two per character with ETO_PDY) */
};

enum : uint32_t {
    EMF_ETO_PDY = 0x2000, /* fOptions bit: the dx array holds an x and a y advance per character */
};

/* EMR_EXTTEXTOUTW, EMR_EXTTEXTOUTA: the string and the dx array follow at the EMRTEXT offsets. */
struct EMREXTTEXTOUTW {
    EMR emr;
    RECTL rclBounds;       /* logical units */
    uint32_t iGraphicsMode;
    float exScale;         /* 0 in GM_ADVANCED */
    float eyScale;
    EMRTEXT emrtext;
};

/* EMR_BITBLT; a source bitmap, when the rop uses one, follows at offBmiSrc/offBitsSrc. */
struct EMRBITBLT {
    EMR emr;
    RECTL rclBounds;
    int32_t xDest, yDest, cxDest, cyDest;
    uint32_t dwRop;
    int32_t xSrc, ySrc;
    XFORM xformSrc;
    uint32_t crBkColorSrc;
    uint32_t iUsageSrc;
    uint32_t offBmiSrc, cbBmiSrc;
    uint32_t offBitsSrc, cbBitsSrc;
};

struct EMRSTRETCHBLT {
    EMR emr;
    RECTL rclBounds;
    int32_t xDest, yDest, cxDest, cyDest;
    uint32_t dwRop;
    int32_t xSrc, ySrc;
    XFORM xformSrc;
    uint32_t crBkColorSrc;
    uint32_t iUsageSrc;
    uint32_t offBmiSrc, cbBmiSrc;
    uint32_t offBitsSrc, cbBitsSrc;
    int32_t cxSrc, cySrc;
};

struct EMRSTRETCHDIBITS {
    EMR emr;
    RECTL rclBounds;       /* not normalised */
    int32_t xDest, yDest;
    int32_t xSrc, ySrc, cxSrc, cySrc;
    uint32_t offBmiSrc, cbBmiSrc;
    uint32_t offBitsSrc, cbBitsSrc;
    uint32_t iUsageSrc;
    uint32_t dwRop;
    int32_t cxDest, cyDest;
};

struct EMRSETDIBITSTODEVICE {
    EMR emr;
    RECTL rclBounds;
    int32_t xDest, yDest;
    int32_t xSrc, ySrc, cxSrc, cySrc;
    uint32_t offBmiSrc, cbBmiSrc;
    uint32_t offBitsSrc, cbBitsSrc;
    uint32_t iUsageSrc;
    uint32_t iStartScan, cScans;
};

#define EMF_PIN(type, size) static_assert(sizeof(type) == (size), #type " layout")
EMF_PIN(EMR, 8);
EMF_PIN(ENHMETAHEADER, 108);
EMF_PIN(EMREOF, 20);
EMF_PIN(EMRSETVALUE, 12);
EMF_PIN(EMRNOPARAM, 8);
EMF_PIN(EMRCREATEPEN, 28);
EMF_PIN(EMREXTCREATEPEN, 52);
EMF_PIN(EMRCREATEBRUSHINDIRECT, 24);
EMF_PIN(EMRCREATEDIBPATTERNBRUSHPT, 32);
EMF_PIN(BITMAPINFOHEADER, 40);
EMF_PIN(EMREXTSELECTCLIPRGN, 16);
EMF_PIN(EMRINTERSECTCLIPRECT, 24);
EMF_PIN(EMRLINETO, 16);
EMF_PIN(EMRPOLYLINE16, 28);
EMF_PIN(EMRPOLYLINE, 28);
EMF_PIN(EMRPOLYPOLYLINE16, 32);
EMF_PIN(EMRRECTANGLE, 24);
EMF_PIN(EMRROUNDRECT, 32);
EMF_PIN(EMRARC, 40);
EMF_PIN(EMRFILLPATH, 24);
EMF_PIN(EMRGDICOMMENT, 12);
EMF_PIN(EMRSETVIEWPORTEXTEX, 16);
EMF_PIN(EMRSETVIEWPORTORGEX, 16);
EMF_PIN(XFORM, 24);
EMF_PIN(RGNDATAHEADER, 32);
EMF_PIN(LOGFONTW, 92);
EMF_PIN(EMREXTCREATEFONTINDIRECTW, 104);
EMF_PIN(EMRTEXT, 40);
EMF_PIN(EMREXTTEXTOUTW, 76);
EMF_PIN(EMRBITBLT, 100);
EMF_PIN(EMRSTRETCHBLT, 108);
EMF_PIN(EMRSTRETCHDIBITS, 80);
EMF_PIN(EMRSETDIBITSTODEVICE, 76);
static_assert(offsetof(EMREXTCREATEFONTINDIRECTW, elfw.lfFaceName) == 40, "lfFaceName offset");
static_assert(offsetof(EMREXTTEXTOUTW, emrtext.offDx) == 72, "offDx offset");
static_assert(offsetof(EMRBITBLT, offBmiSrc) == 84, "offBmiSrc offset");
static_assert(offsetof(EMRSTRETCHDIBITS, dwRop) == 68, "dwRop offset");
static_assert(offsetof(ENHMETAHEADER, nHandles) == 56, "nHandles offset");
static_assert(offsetof(ENHMETAHEADER, szlMicrometers) == 100, "szlMicrometers offset");
#undef EMF_PIN

/* Round a byte count up to the 4-byte record alignment. */
inline uint32_t RecordAlign(uint32_t n) { return (n + 3u) & ~3u; }

} /* namespace emf */

#endif
