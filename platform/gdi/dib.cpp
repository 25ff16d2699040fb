/* Device-independent bitmaps: GetDIBits from device bitmaps of every depth to 1- and 24-bit DIBs,
 * and the packed DIBs that pattern brush records carry. */
#include "gdi_private.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

namespace {

/* The 16 VGA colours (0xRRGGBB) a 4-bpp device bitmap's indexes stand for. */
const uint32_t kVgaPalette[16] = {
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0x808080,
    0xC0C0C0, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
};

/* The 20 static colours of the default 8-bpp palette: entries 0-9, then 246-255. */
const uint32_t kStaticColours[20] = {
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0, 0xC0DCC0, 0xA6CAF0,
    0xFFFBF0, 0xA0A0A4, 0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
};

enum { MASK_RED_555 = 0x7C00, MASK_GREEN_555 = 0x03E0, MASK_BLUE_555 = 0x001F };

/* Entry i of the default palette an 8-bpp device bitmap is read with; between the static colours
 * it is a 3-3-2 colour cube. */
uint32_t pixels_palette8(int i)
{
    if (i < 10)
        return kStaticColours[i];
    if (i >= 246)
        return kStaticColours[i - 236];
    return (uint32_t)((i & 7) * 32) << 16 | (uint32_t)(((i >> 3) & 7) * 32) << 8 | (uint32_t)(((i >> 6) & 3) * 64);
}

uint32_t pixels_expand5(uint32_t v) { return (v << 3) | (v >> 2); }

/* The colours (0xRRGGBB) of the first count pixels of a device-bitmap row, one loop per depth. */
void pixels_row_colours(const GdiBitmap *bm, const uint8_t *row, int count, uint32_t *rgb)
{
    switch (bm->bitsPixel) {
    case 1:
        for (int x = 0; x < count; x++)
            rgb[x] = (row[x >> 3] >> (7 - (x & 7))) & 1 ? 0xFFFFFF : 0x000000;
        break;
    case 4:
        for (int x = 0; x < count; x++)
            rgb[x] = kVgaPalette[x & 1 ? row[x >> 1] & 0x0F : row[x >> 1] >> 4];
        break;
    case 8:
        for (int x = 0; x < count; x++)
            rgb[x] = pixels_palette8(row[x]);
        break;
    case 16: /* 5-5-5, the top bit unused */
        for (int x = 0; x < count; x++) {
            uint32_t v = (uint32_t)row[2 * x] | (uint32_t)row[2 * x + 1] << 8;
            rgb[x] = pixels_expand5((v >> 10) & 31) << 16 | pixels_expand5((v >> 5) & 31) << 8 |
                     pixels_expand5(v & 31);
        }
        break;
    case 24:
        for (int x = 0; x < count; x++)
            rgb[x] = (uint32_t)row[3 * x + 2] << 16 | (uint32_t)row[3 * x + 1] << 8 | row[3 * x];
        break;
    case 32: /* the top byte is dropped */
        for (int x = 0; x < count; x++)
            rgb[x] = (uint32_t)row[4 * x + 2] << 16 | (uint32_t)row[4 * x + 1] << 8 | row[4 * x];
        break;
    }
}

/* Writes count colours into a zeroed DIB row of 1 or 24 bits per pixel. A colour becomes white in a
 * 1-bit row when it is nearer to white than to black, which for 8-bit channels is r+g+b > 382. */
void pixels_encode_row(const uint32_t *rgb, int count, int bitsPixel, uint8_t *out)
{
    if (bitsPixel == 1) {
        for (int x = 0; x < count; x++) {
            uint32_t sum = (rgb[x] >> 16) + ((rgb[x] >> 8) & 0xFF) + (rgb[x] & 0xFF);
            if (sum > 382)
                out[x >> 3] |= (uint8_t)(0x80 >> (x & 7));
        }
        return;
    }
    for (int x = 0; x < count; x++) {
        out[3 * x] = (uint8_t)rgb[x];
        out[3 * x + 1] = (uint8_t)(rgb[x] >> 8);
        out[3 * x + 2] = (uint8_t)(rgb[x] >> 16);
    }
}

/* Query mode: the header describes the bitmap in its own format; no colour table, no bits. */
int pixels_query(const GdiBitmap *bm, BITMAPINFOHEADER *hdr)
{
    hdr->biWidth = bm->width;
    hdr->biHeight = bm->height;
    hdr->biPlanes = 1;
    hdr->biBitCount = bm->bitsPixel;
    hdr->biCompression = bm->bitsPixel == 16 || bm->bitsPixel == 32 ? BI_BITFIELDS : BI_RGB;
    hdr->biSizeImage = dib_stride(bm->width, bm->bitsPixel) * (uint32_t)bm->height;
    hdr->biXPelsPerMeter = 0;
    hdr->biYPelsPerMeter = 0;
    hdr->biClrUsed = 0;
    hdr->biClrImportant = 0;
    return bm->height;
}

/* Converts count pixels of a device-bitmap row into a DIB row of bitCount bits and stride bytes in
 * one pass: the common pairs directly (rows copied, or indexes looked up in palette, the colours as
 * 0xRRGGBB, which little-endian memory holds as blue, green, red), the rest through colours a
 * stretch of the row at a time, so that a row of any width needs no memory of its own. Returns the
 * bytes written; the caller zeroes the rest. */
size_t pixels_convert_row(const GdiBitmap *bm, const uint8_t *row, int count, WORD bitCount, uint32_t stride,
                          const uint32_t *palette, uint8_t *out)
{
    int from = bm->bitsPixel;
    if (from == 1 && bitCount == 1) {
        size_t bytes = ((size_t)count + 7) / 8;
        memcpy(out, row, bytes);
        if (count % 8)
            out[bytes - 1] &= (uint8_t)(0xFF << (8 - count % 8));
        return bytes;
    }
    if (bitCount == 24 && from == 24) {
        memcpy(out, row, 3 * (size_t)count);
    } else if (bitCount == 24 && from == 32) {
        for (int x = 0; x < count; x++, out += 3, row += 4) {
            out[0] = row[0];
            out[1] = row[1];
            out[2] = row[2];
        }
    } else if (bitCount == 24 && from == 8) {
        /* Four bytes a pixel, the fourth overwritten by the next pixel; the last one takes three. */
        for (int x = 0; x < count - 1; x++, out += 3)
            memcpy(out, &palette[row[x]], 4);
        if (count > 0)
            memcpy(out, &palette[row[count - 1]], 3);
    } else {
        memset(out, 0, stride);
        /* A whole number of bytes on either side: a multiple of 8 pixels. */
        enum { STRETCH = 1024 };
        uint32_t rgb[STRETCH];
        for (int x = 0; x < count; x += STRETCH) {
            int n = count - x < STRETCH ? count - x : STRETCH;
            pixels_row_colours(bm, row + (size_t)x * (size_t)from / 8, n, rgb);
            pixels_encode_row(rgb, n, bitCount, out + (size_t)x * bitCount / 8);
        }
        return stride;
    }
    return 3 * (size_t)count;
}

/* Copies scan lines start.. of a DIB of |biHeight| lines, numbered from its bottom; the DIB's top
 * row is the bitmap's top row. Lines below the bitmap and columns right of it are written as zero
 * and not counted. Returns the lines taken from the bitmap. */
int pixels_copy_lines(const GdiBitmap *bm, const BITMAPINFOHEADER *hdr, uint32_t stride, UINT start,
                      UINT lines, uint8_t *bits)
{
    uint32_t height = hdr->biHeight < 0 ? 0u - (uint32_t)hdr->biHeight : (uint32_t)hdr->biHeight;
    uint32_t n = lines < height - start ? lines : height - start;
    int columns = hdr->biWidth < bm->width ? (int)hdr->biWidth : (int)bm->width;
    uint32_t palette[256];
    if (bm->bitsPixel == 8)
        for (int i = 0; i < 256; i++)
            palette[i] = pixels_palette8(i);
    int copied = 0;
    for (uint32_t k = 0; k < n; k++) {
        uint32_t fromTop = height - 1 - (start + k);
        uint8_t *out = bits + (size_t)stride * (hdr->biHeight < 0 ? n - 1 - k : k);
        size_t written = 0;
        if (fromTop < (uint32_t)bm->height) {
            written = pixels_convert_row(bm, bm->bits + (size_t)bm->widthBytes * fromTop, columns, hdr->biBitCount,
                                         stride, palette, out);
            copied++;
        }
        memset(out + written, 0, stride - written);
    }
    return copied;
}

int pixels_get_bits(HBITMAP hbm, UINT start, UINT lines, void *bits, BITMAPINFO *bmi, UINT usage)
{
    const GdiBitmap *bm = (const GdiBitmap *)gdi_handle_payload(hbm, OBJ_BITMAP);
    if (!bm || !bmi || usage > DIB_PAL_COLORS || bmi->bmiHeader.biSize < sizeof(BITMAPINFOHEADER))
        return 0;
    BITMAPINFOHEADER *hdr = &bmi->bmiHeader;
    if (hdr->biBitCount == 0)
        return bits ? 0 : pixels_query(bm, hdr);
    /* The stand-in converts to the two depths the system asks for: 24 bits, and 1 bit with an RGB
     * colour table. Other requests fail. */
    bool mono = hdr->biBitCount == 1 && usage == DIB_RGB_COLORS;
    if ((!mono && hdr->biBitCount != 24) || hdr->biCompression != BI_RGB || hdr->biWidth <= 0 || hdr->biHeight == 0)
        return 0;
    uint32_t height = hdr->biHeight < 0 ? 0u - (uint32_t)hdr->biHeight : (uint32_t)hdr->biHeight;
    uint32_t stride = dib_stride(hdr->biWidth, hdr->biBitCount);
    if (stride == 0 || (uint64_t)stride * height > INT32_MAX)
        return 0;
    hdr->biSizeImage = stride * height;
    hdr->biXPelsPerMeter = 0;
    hdr->biYPelsPerMeter = 0;
    hdr->biClrUsed = 0;
    hdr->biClrImportant = 0;
    if (mono) {
        const RGBQUAD table[2] = {{0, 0, 0, 0}, {255, 255, 255, 0}}; /* black, white */
        memcpy((uint8_t *)bmi + hdr->biSize, table, sizeof table);
    }
    /* GDI answers 1, copying nothing, when there are no bits or no lines in range. */
    if (!bits || start >= height || lines == 0)
        return 1;
    return pixels_copy_lines(bm, hdr, stride, start, lines, (uint8_t *)bits);
}

BITMAPINFOHEADER *pixels_put_header(uint8_t *at, LONG width, LONG height, WORD bitsPixel, DWORD compression,
                                 uint32_t sizeImage)
{
    BITMAPINFOHEADER *hdr = (BITMAPINFOHEADER *)at; /* at is the start of a calloc'd block */
    hdr->biSize = sizeof *hdr;
    hdr->biWidth = width;
    hdr->biHeight = height;
    hdr->biPlanes = 1;
    hdr->biBitCount = bitsPixel;
    hdr->biCompression = compression;
    hdr->biSizeImage = sizeImage;
    return hdr;
}

/* The colour table a DIB of bm's depth carries in a pattern record: the default palettes as
 * RGBQUADs, or the 5-5-5 masks. Returns its size in bytes. */
uint32_t pixels_put_table(const GdiBitmap *bm, uint8_t *at)
{
    int entries = bm->bitsPixel == 4 ? 16 : bm->bitsPixel == 8 ? 256 : 0;
    for (int i = 0; i < entries; i++) {
        uint32_t rgb = entries == 16 ? kVgaPalette[i] : pixels_palette8(i);
        RGBQUAD q = {(BYTE)rgb, (BYTE)(rgb >> 8), (BYTE)(rgb >> 16), 0};
        memcpy(at + 4 * i, &q, 4);
    }
    if (bm->bitsPixel != 16)
        return 4u * (uint32_t)entries;
    const uint32_t masks[3] = {MASK_RED_555, MASK_GREEN_555, MASK_BLUE_555};
    memcpy(at, masks, sizeof masks);
    return sizeof masks;
}

/* Largest table dib_copy_packed and dib_pack_bitmap write: 256 RGBQUADs. */
enum { MAX_TABLE_BYTES = 256 * 4 };

} /* namespace */

uint32_t dib_stride(int64_t width, int bitsPixel)
{
    uint64_t stride = ((uint64_t)width * (uint64_t)bitsPixel + 31) / 32 * 4;
    return width <= 0 || stride > INT32_MAX ? 0 : (uint32_t)stride;
}

uint32_t ddb_stride(int64_t width, int bitsPixel)
{
    uint64_t stride = ((uint64_t)width * (uint64_t)bitsPixel + 15) / 16 * 2;
    return width <= 0 || stride > INT32_MAX ? 0 : (uint32_t)stride;
}

bool dib_header_ok(const BITMAPINFOHEADER *hdr, uint32_t *stride, uint32_t *height)
{
    WORD bpp = hdr->biBitCount;
    bool depthOk = bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32;
    bool compressionOk =
        hdr->biCompression == BI_RGB || (hdr->biCompression == BI_BITFIELDS && (bpp == 16 || bpp == 32));
    *height = hdr->biHeight < 0 ? 0u - (uint32_t)hdr->biHeight : (uint32_t)hdr->biHeight;
    *stride = depthOk ? dib_stride(hdr->biWidth, bpp) : 0;
    return hdr->biSize == sizeof *hdr && depthOk && compressionOk && *stride != 0 && *height != 0 &&
           (uint64_t)*stride * *height <= INT32_MAX && (bpp > 8 || hdr->biClrUsed <= 256);
}

uint32_t dib_table_bytes(const BITMAPINFOHEADER *hdr, UINT usage)
{
    uint32_t masks = hdr->biCompression == BI_BITFIELDS ? 3 * sizeof(DWORD) : 0;
    uint32_t colours = hdr->biBitCount <= 8 ? 1u << hdr->biBitCount : 0;
    if (hdr->biClrUsed)
        colours = hdr->biClrUsed < (DWORD)DIB_MAX_COLOURS ? hdr->biClrUsed : (DWORD)DIB_MAX_COLOURS;
    return masks + colours * (usage == DIB_PAL_COLORS ? 2 : 4);
}

uint8_t *dib_pack_bitmap(const GdiBitmap *bm, uint32_t *cbBmi, uint32_t *cbBits)
{
    uint32_t stride = dib_stride(bm->width, bm->bitsPixel);
    size_t bitsSize = (size_t)stride * (size_t)bm->height;
    uint8_t *dib = (uint8_t *)calloc(1, sizeof(BITMAPINFOHEADER) + MAX_TABLE_BYTES + bitsSize);
    if (!dib)
        return NULL;
    DWORD compression = bm->bitsPixel == 16 ? BI_BITFIELDS : BI_RGB;
    pixels_put_header(dib, bm->width, bm->height, bm->bitsPixel, compression, (uint32_t)bitsSize);
    *cbBmi = (uint32_t)sizeof(BITMAPINFOHEADER) + pixels_put_table(bm, dib + sizeof(BITMAPINFOHEADER));
    *cbBits = (uint32_t)bitsSize;
    /* Rows turn bottom-up; bits right of the last pixel are cleared, as GDI clears them. */
    uint64_t rowBits = (uint64_t)bm->width * bm->bitsPixel;
    size_t rowBytes = (size_t)((rowBits + 7) / 8);
    uint8_t lastMask = (uint8_t)(rowBits % 8 ? 0xFF << (8 - rowBits % 8) : 0xFF);
    for (LONG y = 0; y < bm->height; y++) {
        uint8_t *out = dib + *cbBmi + (size_t)stride * (size_t)(bm->height - 1 - y);
        memcpy(out, bm->bits + (size_t)bm->widthBytes * (size_t)y, rowBytes);
        out[rowBytes - 1] &= lastMask;
    }
    return dib;
}

uint8_t *dib_copy_packed(const void *packed, UINT usage, uint32_t *cbBmi, uint32_t *cbBits)
{
    BITMAPINFOHEADER hdr;
    memcpy(&hdr, packed, sizeof hdr);
    uint32_t stride = 0, height = 0;
    if (!dib_header_ok(&hdr, &stride, &height)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return NULL;
    }
    WORD bpp = hdr.biBitCount;
    uint32_t entrySize = usage == DIB_PAL_COLORS ? 2 : 4;
    uint32_t entries = bpp <= 8 ? 1u << bpp : 0;
    uint32_t tableBytes = hdr.biCompression == BI_BITFIELDS ? 12 : entries * entrySize;
    uint32_t srcTableBytes = dib_table_bytes(&hdr, usage);
    size_t bitsSize = (size_t)stride * height;
    uint8_t *dib = (uint8_t *)calloc(1, sizeof hdr + tableBytes + bitsSize);
    if (!dib) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return NULL;
    }
    /* The copy is normalised as GDI records it: full colour table, bottom-up rows. */
    BITMAPINFOHEADER *copy =
        pixels_put_header(dib, hdr.biWidth, (LONG)height, bpp, hdr.biCompression, (uint32_t)bitsSize);
    copy->biXPelsPerMeter = hdr.biXPelsPerMeter;
    copy->biYPelsPerMeter = hdr.biYPelsPerMeter;
    const uint8_t *src = (const uint8_t *)packed + sizeof hdr;
    memcpy(dib + sizeof hdr, src, srcTableBytes < tableBytes ? srcTableBytes : tableBytes);
    src += srcTableBytes;
    uint8_t *out = dib + sizeof hdr + tableBytes;
    for (uint32_t y = 0; y < height; y++) {
        uint32_t from = hdr.biHeight < 0 ? height - 1 - y : y;
        memcpy(out + (size_t)stride * y, src + (size_t)stride * from, stride);
    }
    *cbBmi = (uint32_t)sizeof hdr + tableBytes;
    *cbBits = (uint32_t)bitsSize;
    return dib;
}

int WINAPI GetDIBits(HDC hdc, HBITMAP hbm, UINT start, UINT cLines, LPVOID lpvBits, LPBITMAPINFO lpbmi, UINT usage)
{
    char dcName[32], bmName[32];
    if (!gdi_enter("GetDIBits", "%s, %s, %u, %u, %u", gdi_handle_name(hdc, dcName), gdi_handle_name(hbm, bmName),
                   start, cLines, lpbmi ? lpbmi->bmiHeader.biBitCount : 0))
        return 0;
    int result = 0;
    if (!gdi_dc(hdc))
        SetLastError(ERROR_INVALID_PARAMETER);
    else
        result = pixels_get_bits(hbm, start, cLines, lpvBits, lpbmi, usage);
    gdi_unlock();
    return result;
}
