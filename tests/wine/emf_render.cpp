/* Plays an enhanced metafile with the platform's own GDI onto a white 24-bit page and writes it as
 * a BMP: under Wine, an independent picture of what a spool file draws. Each --expect names a
 * point in the metafile's device units and the colour the page must show there.
 *
 * usage: emf_render IN.emf OUT.bmp WIDTH [--expect X,Y=RRGGBB]...
 *        (the page is WIDTH pixels wide and keeps the frame's aspect)
 */
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int render_fail(const char *what)
{
    fprintf(stderr, "emf_render: %s (error %lu)\n", what, GetLastError());
    return 1;
}

/* Writes the DIB section's rows as a bottom-up 24-bit BMP file. */
static int render_write_bmp(const char *path, const BITMAPINFOHEADER *header, const void *bits)
{
    DWORD rowBytes = ((DWORD)header->biWidth * 3 + 3) & ~3u;
    DWORD imageBytes = rowBytes * (DWORD)header->biHeight;
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42; /* "BM" */
    file.bfOffBits = sizeof file + sizeof *header;
    file.bfSize = file.bfOffBits + imageBytes;
    FILE *out = fopen(path, "wb");
    if (out == NULL)
        return -1;
    bool ok = fwrite(&file, sizeof file, 1, out) == 1 && fwrite(header, sizeof *header, 1, out) == 1 &&
              fwrite(bits, imageBytes, 1, out) == 1;
    return fclose(out) == 0 && ok ? 0 : -1;
}

/* The page pixel that shows the metafile's device point (x, y), or -1 off the page. */
static long render_pixel_offset(const ENHMETAHEADER *header, const BITMAPINFOHEADER *page, long x,
                                long y)
{
    /* device units -> .01 mm -> page pixels, as PlayEnhMetaFile maps the frame onto the page */
    double frameWidth = header->rclFrame.right - header->rclFrame.left;
    double frameHeight = header->rclFrame.bottom - header->rclFrame.top;
    double mmx = x * 100.0 * header->szlMillimeters.cx / header->szlDevice.cx;
    double mmy = y * 100.0 * header->szlMillimeters.cy / header->szlDevice.cy;
    long px = (long)((mmx - header->rclFrame.left) * page->biWidth / frameWidth);
    long py = (long)((mmy - header->rclFrame.top) * page->biHeight / frameHeight);
    if (px < 0 || py < 0 || px >= page->biWidth || py >= page->biHeight)
        return -1;
    long rowBytes = (page->biWidth * 3 + 3) & ~3L;
    return (page->biHeight - 1 - py) * rowBytes + px * 3; /* rows run bottom-up */
}

/* Checks every "--expect X,Y=RRGGBB" argument; returns how many failed. */
static int render_check(int argc, char **argv, const ENHMETAHEADER *header,
                        const BITMAPINFOHEADER *page, const BYTE *bits)
{
    int failures = 0;
    for (int i = 0; i + 1 < argc; i++) {
        if (strcmp(argv[i], "--expect") != 0)
            continue;
        long x, y;
        unsigned rgb;
        const char *expectation = argv[++i];
        long offset = -1;
        if (sscanf(expectation, "%ld,%ld=%x", &x, &y, &rgb) == 3)
            offset = render_pixel_offset(header, page, x, y);
        if (offset < 0) {
            fprintf(stderr, "emf_render: --expect %s: not a point on the page\n", expectation);
            failures++;
            continue;
        }
        unsigned got = (unsigned)bits[offset + 2] << 16 | (unsigned)bits[offset + 1] << 8 | bits[offset];
        if (got != rgb) {
            fprintf(stderr, "emf_render: at (%ld,%ld) the page shows %06X, expected %06X\n", x, y,
                    got, rgb);
            failures++;
        }
    }
    return failures;
}

int main(int argc, char **argv)
{
    if (argc < 4) {
        fprintf(stderr, "usage: emf_render IN.emf OUT.bmp WIDTH [--expect X,Y=RRGGBB]...\n");
        return 2;
    }
    int width = atoi(argv[3]);
    HENHMETAFILE metafile = GetEnhMetaFileA(argv[1]);
    if (metafile == NULL)
        return render_fail("cannot read the metafile");
    ENHMETAHEADER header;
    GetEnhMetaFileHeader(metafile, sizeof header, &header);
    LONG frameWidth = header.rclFrame.right - header.rclFrame.left;
    LONG frameHeight = header.rclFrame.bottom - header.rclFrame.top;
    if (width <= 0 || frameWidth <= 0 || frameHeight <= 0)
        return render_fail("the metafile has no frame to size the page by");
    int height = (int)((long long)width * frameHeight / frameWidth);

    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    void *bits = NULL;
    HDC page = CreateCompatibleDC(NULL);
    HBITMAP surface = CreateDIBSection(page, (BITMAPINFO *)&info, DIB_RGB_COLORS, &bits, NULL, 0);
    if (page == NULL || surface == NULL)
        return render_fail("cannot make the page");
    HGDIOBJ previous = SelectObject(page, surface);
    RECT whole = {0, 0, width, height};
    FillRect(page, &whole, (HBRUSH)GetStockObject(WHITE_BRUSH));
    if (!PlayEnhMetaFile(page, metafile, &whole))
        return render_fail("cannot play the metafile");
    GdiFlush();
    int written = render_write_bmp(argv[2], &info, bits);
    int failures = render_check(argc - 4, argv + 4, &header, &info, (const BYTE *)bits);
    SelectObject(page, previous);
    DeleteObject(surface);
    DeleteDC(page);
    DeleteEnhMetaFile(metafile);
    if (written != 0)
        return render_fail("cannot write the picture");
    return failures == 0 ? 0 : 1;
}
