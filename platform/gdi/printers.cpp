/* The devices CreateDCA opens: the display, and the installed printers with their papers.
 *
 * Installed devices (the first is the default printer):
 *   "TAVLINQX Laser"   600 dpi, 24 bpp, A4 portrait by default (4960 x 7016 px, 210 x 297 mm)
 *   "TAVLINQX Letter"  600 dpi, 24 bpp, Letter portrait by default (5100 x 6600 px, 216 x 279 mm)
 *   "DISPLAY"          1024 x 768 px, 271 x 203 mm, 32 bpp, 96 dpi: the display Wine reports when
 *                      it runs headless, so metafiles of both flavours carry the same device size
 * A printer's DEVMODEA may choose the orientation (DM_ORIENTATION) and one of the papers below
 * (DM_PAPERSIZE); other values leave the printer's default, as printer drivers do. */
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
    short defaultPaper; /* 0: the display */
};

const Device kDevices[] = {
    {"TAVLINQX Laser", DMPAPER_A4},
    {"TAVLINQX Letter", DMPAPER_LETTER},
    {"DISPLAY", 0},
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
    for (const Device &d : kDevices) {
        if (strcasecmp(d.name, device) != 0)
            continue;
        if (d.defaultPaper == 0)
            printer_display_caps(caps);
        else
            printers_page_caps(&d, devmode, caps);
        return true;
    }
    return false;
}

int StandinPrinterCount(void) { return (int)(sizeof kDevices / sizeof kDevices[0]); }

const char *StandinPrinterName(int i)
{
    return i >= 0 && i < StandinPrinterCount() ? kDevices[i].name : NULL;
}
