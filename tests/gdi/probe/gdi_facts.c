/* Prints what GDI does for the calls the stand-in GDI tests marked "Wine probe" take as their
 * oracle, and writes gdi_facts.emf whose records those tests compare.
 *
 * Build and run (not part of the CMake build):
 *   i686-w64-mingw32-gcc -O1 -o gdi_facts.exe gdi_facts.c -lgdi32
 *   WINEDEBUG=-all wine gdi_facts.exe
 * then decode gdi_facts.emf with shared/platform-probes/emfdump.py -x. Each selection is preceded by
 * a GDI comment "MK:<what>" naming it. */
#include <windows.h>
#include <stdio.h>
#include <string.h>

#define SHOW(expr) do { SetLastError(0xdeadbeef); \
    long long v_ = (long long)(INT_PTR)(expr); \
    printf("  %-72s -> %lld err=%lu\n", #expr, v_, GetLastError()); } while (0)

typedef struct { BITMAPINFOHEADER h; RGBQUAD c[256]; } BMI;

static void mark(HDC dc, const char *what)
{
    char buf[200] = "MK:";
    strncat(buf, what, sizeof buf - 4);
    GdiComment(dc, (UINT)strlen(buf), (const BYTE *)buf);
}

static void select_marked(HDC dc, const char *what, HGDIOBJ h)
{
    mark(dc, what);
    printf(" %s -> %s\n", what, h ? "created" : "NULL");
    if (h)
        SelectObject(dc, h);
}

static HBITMAP ddb(int w, int h, int bpp, const void *bits, int widthBytes)
{
    BITMAP bm = {0, w, h, widthBytes, 1, (WORD)bpp, (void *)bits};
    return CreateBitmapIndirect(&bm);
}

static HBRUSH pattern(int w, int h, int bpp, const void *bits)
{
    LOGBRUSH lb = {BS_PATTERN, RGB(9, 9, 9), (ULONG_PTR)ddb(w, h, bpp, bits, 0)};
    return CreateBrushIndirect(&lb);
}

static void request(BMI *bi, LONG w, LONG h, WORD bpp)
{
    memset(bi, 0, sizeof *bi);
    bi->h.biSize = sizeof bi->h; bi->h.biWidth = w; bi->h.biHeight = h; bi->h.biPlanes = 1; bi->h.biBitCount = bpp;
}

static void records(HDC dc)
{
    static const BYTE mono9[6] = {0xff, 0xff, 0x80, 0x00, 0x55, 0xaa};
    static const BYTE px4[4] = {0x01, 0x9f, 0xe2, 0x3c};
    static const WORD px16[6] = {0x7c00, 0x03e0, 0x001f, 0x8001, 0x1234, 0x7fff};
    BYTE px24[20], px32[24];
    struct { BITMAPINFOHEADER h; BYTE rest[16]; } d1;
    struct { BITMAPINFOHEADER h; DWORD masks[3]; WORD bits[4]; } d16;
    LOGPEN lp = {9, {-3, 77}, 0x01000016};
    LOGBRUSH lb;
    int i;
    for (i = 0; i < 20; i++) px24[i] = (BYTE)(0x10 * i + 1);
    for (i = 0; i < 24; i++) px32[i] = (BYTE)(0x0b * i + 2);

    select_marked(dc, "pen style 9, width -3", CreatePenIndirect(&lp));
    lb.lbStyle = BS_SOLID; lb.lbColor = 0x123; lb.lbHatch = 7;
    select_marked(dc, "solid brush, hatch 7", CreateBrushIndirect(&lb));
    for (i = 5; i <= 12; i++) {
        char what[40];
        lb.lbStyle = BS_HATCHED; lb.lbColor = 0x124; lb.lbHatch = i;
        sprintf(what, "hatched brush, hatch %d", i);
        select_marked(dc, what, CreateBrushIndirect(&lb));
    }
    select_marked(dc, "mono 9x3 pattern", pattern(9, 3, 1, mono9));
    select_marked(dc, "24-bpp 3x2 pattern", pattern(3, 2, 24, px24));
    select_marked(dc, "32-bpp 3x2 pattern", pattern(3, 2, 32, px32));
    select_marked(dc, "16-bpp 3x2 pattern", pattern(3, 2, 16, px16));
    select_marked(dc, "4-bpp 4x2 pattern", pattern(4, 2, 4, px4));

    memset(&d1, 0, sizeof d1);
    d1.h.biSize = sizeof d1.h; d1.h.biWidth = 3; d1.h.biHeight = 2; d1.h.biPlanes = 1; d1.h.biBitCount = 1;
    d1.rest[6] = 0xff; d1.rest[8] = 0xa0; d1.rest[12] = 0x40;       /* colours {0, red}; rows a0, 40 */
    select_marked(dc, "1-bit DIB, clrUsed 0", CreateDIBPatternBrushPt(&d1, DIB_RGB_COLORS));
    select_marked(dc, "1-bit DIB, DIB_PAL_COLORS", CreateDIBPatternBrushPt(&d1, DIB_PAL_COLORS));
    d1.h.biHeight = -2;
    select_marked(dc, "1-bit DIB, top-down", CreateDIBPatternBrushPt(&d1, DIB_RGB_COLORS));
    d1.h.biHeight = 2; d1.h.biClrUsed = 1;
    select_marked(dc, "1-bit DIB, clrUsed 1", CreateDIBPatternBrushPt(&d1, DIB_RGB_COLORS));
    memset(&d16, 0, sizeof d16);
    d16.h.biSize = sizeof d16.h; d16.h.biWidth = 1; d16.h.biHeight = 2; d16.h.biPlanes = 1; d16.h.biBitCount = 16;
    d16.h.biCompression = BI_BITFIELDS; d16.masks[0] = 0xf800; d16.masks[1] = 0x7e0; d16.masks[2] = 0x1f;
    d16.bits[0] = 0x1234; d16.bits[2] = 0x5678;
    select_marked(dc, "16-bit BI_BITFIELDS DIB", CreateDIBPatternBrushPt(&d16, DIB_RGB_COLORS));
}

static void ext_pens(void)
{
    static const DWORD entries[17] = {4, 2, 0xabc, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    static const DWORD zeros[2] = {0, 0};
    LOGBRUSH solid = {BS_SOLID, 0x456789, HS_CROSS}, hatched = {BS_HATCHED, 1, HS_CROSS}, odd = {99, 1, 0};
    printf("[ExtCreatePen]\n");
    SHOW(ExtCreatePen(PS_COSMETIC | PS_SOLID, 2, &solid, 0, NULL));
    SHOW(ExtCreatePen(PS_COSMETIC | PS_SOLID, 0, &solid, 0, NULL));
    SHOW(ExtCreatePen(PS_COSMETIC | PS_SOLID, 1, &hatched, 0, NULL));
    SHOW(ExtCreatePen(PS_COSMETIC | PS_SOLID | PS_ENDCAP_FLAT, 1, &solid, 0, NULL));
    SHOW(ExtCreatePen(PS_COSMETIC | PS_INSIDEFRAME, 1, &solid, 0, NULL));
    SHOW(ExtCreatePen(PS_COSMETIC | PS_ALTERNATE, 1, &solid, 0, NULL));
    SHOW(ExtCreatePen(PS_GEOMETRIC | PS_ALTERNATE, 1, &solid, 0, NULL));
    SHOW(ExtCreatePen(PS_GEOMETRIC | PS_SOLID, 0, &solid, 0, NULL));
    SHOW(ExtCreatePen(PS_GEOMETRIC | 9, 1, &solid, 0, NULL));
    SHOW(ExtCreatePen(PS_GEOMETRIC | PS_USERSTYLE, 1, &solid, 3, NULL));
    SHOW(ExtCreatePen(PS_GEOMETRIC | PS_USERSTYLE, 1, &solid, 16, entries));
    SHOW(ExtCreatePen(PS_GEOMETRIC | PS_USERSTYLE, 1, &solid, 17, entries));
    SHOW(ExtCreatePen(PS_GEOMETRIC | PS_USERSTYLE, 1, &solid, 2, zeros));
    SHOW(ExtCreatePen(PS_GEOMETRIC | PS_SOLID, 1, &solid, 3, entries));
    SHOW(ExtCreatePen(PS_GEOMETRIC | PS_SOLID, 3, &odd, 0, NULL));
    SHOW(ExtCreatePen(PS_COSMETIC | PS_NULL, 5, &solid, 0, NULL) == GetStockObject(NULL_PEN));
}

static void get_dibits(HDC mem)
{
    static const BYTE column[8] = {10, 0, 20, 0, 30, 0, 40, 0};
    static const int cases[][3] = {{4, 0, 4}, {4, 0, 1}, {4, 1, 2}, {-4, 0, 1}, {-4, 1, 2}, {-4, 0, 4}, {2, 0, 2},
                                   {-2, 0, 2}, {6, 0, 6}, {-6, 0, 6}, {6, 2, 3}, {6, 0, 2}, {6, 4, 2}, {4, 3, 9},
                                   {4, 4, 1}, {4, 0, 0}};
    static const BYTE boundary[24] = {200, 200, 0, 150, 0, 255, 0, 0, 255, 127, 128, 128,
                                      128, 128, 127, 1, 127, 255, 255, 128, 0, 0, 160, 255};
    static const BYTE rows8[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    static const int widthBytes[4] = {8, 4, 3, 0};
    HBITMAP b = ddb(1, 4, 8, column, 0);
    BMI bi;
    BYTE out[64];
    int k, i;
    printf("[GetDIBits lines: 1x4 8-bpp rows 10,20,30,40; first byte of each 4-byte output row]\n");
    for (k = 0; k < (int)(sizeof cases / sizeof cases[0]); k++) {
        int r;
        request(&bi, 1, cases[k][0], 8);
        memset(out, 0xcc, sizeof out);
        r = GetDIBits(mem, b, cases[k][1], cases[k][2], out, (BITMAPINFO *)&bi, DIB_RGB_COLORS);
        printf(" height %d start %d lines %d -> %d:", cases[k][0], cases[k][1], cases[k][2], r);
        for (i = 0; i < 7; i++) printf(" %02x", out[4 * i]);
        printf("\n");
    }
    DeleteObject(b);
    b = ddb(8, 1, 24, boundary, 0);
    request(&bi, 8, 1, 1);
    GetDIBits(mem, b, 0, 1, out, (BITMAPINFO *)&bi, DIB_RGB_COLORS);
    printf("[1-bit from 24 bpp near the boundary] %02x\n", out[0]);
    DeleteObject(b);
    printf("[bmWidthBytes: second row's first index of a 4x2 8-bpp bitmap]\n");
    for (k = 0; k < 4; k++) {
        b = ddb(4, 2, 8, rows8, widthBytes[k]);
        request(&bi, 4, -2, 8);
        GetDIBits(mem, b, 0, 2, out, (BITMAPINFO *)&bi, DIB_RGB_COLORS);
        printf(" widthBytes %d -> %d\n", widthBytes[k], out[4]);
        DeleteObject(b);
    }
}

static void clip_and_devices(HDC emf)
{
    HDC display = CreateDCA("DISPLAY", NULL, NULL, NULL), mem = CreateCompatibleDC(NULL);
    printf("[clip]\n");
    SHOW(IntersectClipRect(display, 5000, 5000, 6000, 6000));
    SHOW(IntersectClipRect(mem, 10, 20, 3000, 4000));
    SHOW(IntersectClipRect(mem, 0, 0, 0, 0));
    SHOW(IntersectClipRect(emf, 5000, 5000, 6000, 6000));
    SHOW(IntersectClipRect(emf, 10, 10, 10, 20));
    printf("[devices]\n");
    SHOW(CreateDCA("WINSPL16", NULL, NULL, NULL));
    SHOW(CreateDCA(NULL, NULL, NULL, NULL));
    SHOW(CreateDCA("NOSUCHDRIVER", "DISPLAY", NULL, NULL));
    SHOW(GetTextColor(NULL));
    SHOW(GetTextAlign(NULL));
    DeleteDC(display);
    DeleteDC(mem);
}

int main(void)
{
    HDC ref = CreateDCA("WINSPL16", "DISPLAY", NULL, NULL);
    HDC dc = CreateEnhMetaFileA(ref, "gdi_facts.emf", NULL, NULL);
    HDC mem = CreateCompatibleDC(NULL);
    setvbuf(stdout, NULL, _IONBF, 0);
    records(dc);
    ext_pens();
    get_dibits(mem);
    clip_and_devices(dc);
    DeleteEnhMetaFile(CloseEnhMetaFile(dc));
    DeleteDC(mem);
    DeleteDC(ref);
    return 0;
}
