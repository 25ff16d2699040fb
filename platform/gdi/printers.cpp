/* The devices CreateDCA opens: the display, and the installed printers with their papers.
 *
 *   "DISPLAY"          1024 x 768 px, 271 x 203 mm, 32 bpp, 96 dpi: the display Wine reports when
 *                      it runs headless, so metafiles of both flavours carry the same device size
 *
 * The installed printers are the CUPS server's destinations when it lists any (queues.cpp).
 * Without a server, with one that lists no queue, or with $TAVLINQX_CUPS=off, they are the
 * built-in devices below (the first is the default printer):
 *   "TAVLINQX Laser"   600 dpi, 24 bpp, A4 portrait by default (4960 x 7016 px, 210 x 297 mm)
 *   "TAVLINQX Letter"  600 dpi, 24 bpp, Letter portrait by default (5100 x 6600 px, 216 x 279 mm)
 * A built-in printer's DEVMODEA may choose the orientation (DM_ORIENTATION) and one of the papers
 * below (DM_PAPERSIZE); other values leave the printer's default, as printer drivers do. */
#include "gdi_private.h"

#include <strings.h>

namespace {

struct Paper {
    short dmPaperSize;
    int widthPx, heightPx; /* portrait, at 600 dpi */
    int widthMm, heightMm;
};

/* A3 and A5 are twice and half A4 at the pixel sizes drivers commonly report for A4. */
const Paper kPapers[] = {
    {DMPAPER_A4, 4960, 7016, 210, 297},
    {DMPAPER_A3, 7016, 9920, 297, 420},
    {DMPAPER_A5, 3496, 4960, 148, 210},
    {DMPAPER_LETTER, 5100, 6600, 216, 279},
    {DMPAPER_LEGAL, 5100, 8400, 216, 356},
};

struct Device {
    const char *name;
    short defaultPaper;
};

const Device kDevices[] = {
    {"TAVLINQX Laser", DMPAPER_A4},
    {"TAVLINQX Letter", DMPAPER_LETTER},
};

enum { PRINTER_DPI = 600, PRINTER_BPP = 24 };

const Paper *printers_paper(short dmPaperSize)
{
    for (const Paper &paper : kPapers)
        if (paper.dmPaperSize == dmPaperSize)
            return &paper;
    return NULL;
}

void printers_page_caps(const Device *device, const DEVMODEA *devmode, DeviceCaps *caps)
{
    const Paper *paper = printers_paper(device->defaultPaper);
    bool landscape = false;
    if (devmode && (devmode->dmFields & DM_PAPERSIZE) && printers_paper(devmode->dmPaperSize))
        paper = printers_paper(devmode->dmPaperSize);
    if (devmode && (devmode->dmFields & DM_ORIENTATION))
        landscape = devmode->dmOrientation == DMORIENT_LANDSCAPE;
    caps->horzRes = landscape ? paper->heightPx : paper->widthPx;
    caps->vertRes = landscape ? paper->widthPx : paper->heightPx;
    caps->horzSizeMm = landscape ? paper->heightMm : paper->widthMm;
    caps->vertSizeMm = landscape ? paper->widthMm : paper->heightMm;
    caps->bitsPixel = PRINTER_BPP;
    caps->technology = DT_RASPRINTER;
    caps->logPixelsX = PRINTER_DPI;
    caps->logPixelsY = PRINTER_DPI;
}

} /* namespace */

void printer_display_caps(DeviceCaps *caps)
{
    caps->horzRes = 1024;
    caps->vertRes = 768;
    caps->horzSizeMm = 271;
    caps->vertSizeMm = 203;
    caps->bitsPixel = 32;
    caps->technology = DT_RASDISPLAY;
    caps->logPixelsX = 96;
    caps->logPixelsY = 96;
}

bool printer_caps(const char *device, const DEVMODEA *devmode, DeviceCaps *caps)
{
    if (strcasecmp(device, "DISPLAY") == 0) {
        printer_display_caps(caps);
        return true;
    }
    switch (queue_caps(device, devmode, caps)) {
    case QUEUE_FOUND: return true;
    case QUEUE_UNKNOWN: return false;
    case QUEUE_NO_QUEUES: break;
    }
    for (const Device &d : kDevices) {
        if (strcasecmp(d.name, device) == 0) {
            printers_page_caps(&d, devmode, caps);
            return true;
        }
    }
    return false;
}

bool printer_list_add(char *names, size_t size, size_t *used, const char *name)
{
    size_t length = strlen(name);
    if (*used + length + 2 > size)
        return false;
    memcpy(names + *used, name, length + 1);
    *used += length + 1;
    names[*used] = '\0';
    return true;
}

int StandinPrinterList(char *names, size_t size)
{
    if (size > 0)
        names[0] = '\0';
    int count = queue_names(names, size);
    if (count != 0)
        return count;
    size_t used = 0;
    for (const Device &d : kDevices) {
        if (!printer_list_add(names, size, &used, d.name))
            return -1;
        count++;
    }
    return count;
}
