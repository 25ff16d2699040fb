/* CUPS destinations as the stand-in's printers: a queue's default paper and resolution become
 * the caps of a printer DC, and the queues are what the stand-in lists.
 *
 * The server is the one libcups names (cupsServer(): $CUPS_SERVER, client.conf, else the local
 * socket). Nothing is kept between calls: each lookup makes one connection of its own with short
 * timeouts, so a queue added or removed shows at the next CreateDCA, and a server that is gone
 * costs a lookup a bounded wait and the drawing calls nothing. */
#include "gdi_private.h"

#include <cups/cups.h>
#include <stdlib.h>
#include <strings.h>

namespace {

enum {
    QUEUE_CONNECT_MS = 1500,   /* a server that has not taken the connection by then is absent */
    QUEUE_DEFAULT_DPI = 600,   /* for a queue that names no default resolution */
    QUEUE_BPP = 24,
    HUNDREDTHS_PER_INCH = 2540,
};
/* A server that took the connection but has not answered by then is taken as absent (libcups
 * waits it out twice in a request: about 2 s in all). */
const double QUEUE_ANSWER_SECONDS = 1.0;

/* The papers a DEVMODEA's dmPaperSize may choose on a queue, by their PWG names. */
struct PaperName {
    short dmPaperSize;
    const char *pwg;
};

const PaperName kPaperNames[] = {
    {DMPAPER_LETTER, "na_letter_8.5x11in"},
    {DMPAPER_TABLOID, "na_ledger_11x17in"},
    {DMPAPER_LEGAL, "na_legal_8.5x14in"},
    {DMPAPER_EXECUTIVE, "na_executive_7.25x10.5in"},
    {DMPAPER_A3, "iso_a3_297x420mm"},
    {DMPAPER_A4, "iso_a4_210x297mm"},
    {DMPAPER_A5, "iso_a5_148x210mm"},
    {DMPAPER_B4, "jis_b4_257x364mm"},
    {DMPAPER_B5, "jis_b5_182x257mm"},
    {DMPAPER_ENV_10, "na_number-10_4.125x9.5in"},
    {DMPAPER_ENV_DL, "iso_dl_110x220mm"},
    {DMPAPER_ENV_C5, "iso_c5_162x229mm"},
    {DMPAPER_ENV_MONARCH, "na_monarch_3.875x7.5in"},
    {DMPAPER_A6, "iso_a6_105x148mm"},
};

/* What a lookup asks of a queue. */
const char *const kQueueAttributes[] = {
    "printer-name", "media-col-default", "media-default", "media-supported", "printer-resolution-default",
};

bool queues_off(void)
{
    const char *value = getenv(STANDIN_CUPS_ENV);
    return value && strcasecmp(value, "off") == 0;
}

/* A connection to the server with the lookup's timeouts, or NULL when no server answers. */
http_t *queues_connect(void)
{
    http_t *http = httpConnect2(cupsServer(), ippPort(), NULL, AF_UNSPEC, cupsEncryption(), 1,
                                QUEUE_CONNECT_MS, NULL);
    if (http)
        httpSetTimeout(http, QUEUE_ANSWER_SECONDS, NULL, NULL);
    return http;
}

/* CUPS-Get-Printers for at most limit destinations, from the one named first (case-insensitive;
 * NULL: from the first), with the attributes asked for. NULL when the server does not answer. */
ipp_t *queues_get(http_t *http, const char *first, int limit, const char *const *attributes, int count)
{
    ipp_t *request = ippNewRequest(IPP_OP_CUPS_GET_PRINTERS);
    if (first)
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "first-printer-name", NULL, first);
    if (limit > 0)
        ippAddInteger(request, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "limit", limit);
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", count, NULL,
                  attributes);
    return cupsDoRequest(http, request, "/");
}

bool queues_answered(ipp_t *response)
{
    return response && ippGetStatusCode(response) <= IPP_STATUS_OK_EVENTS_COMPLETE;
}

/* True when the server lists at least one destination. */
bool queues_any(http_t *http)
{
    const char *name = "printer-name";
    ipp_t *response = queues_get(http, NULL, 1, &name, 1);
    bool any = queues_answered(response) && ippFindAttribute(response, name, IPP_TAG_NAME) != NULL;
    ippDelete(response);
    return any;
}

/* The size of a PWG or legacy media name in hundredths of a millimetre; false for an unknown one. */
bool queues_media_size(const char *name, int *width, int *length)
{
    pwg_media_t *media = name ? pwgMediaForPWG(name) : NULL;
    if (!media && name)
        media = pwgMediaForLegacy(name);
    if (!media || media->width <= 0 || media->length <= 0)
        return false;
    *width = media->width;
    *length = media->length;
    return true;
}

/* The queue's default paper: media-col-default's media-size, else media-default's name. */
bool queues_default_size(ipp_t *queue, int *width, int *length)
{
    ipp_t *col = ippGetCollection(ippFindAttribute(queue, "media-col-default", IPP_TAG_BEGIN_COLLECTION), 0);
    ipp_t *size = ippGetCollection(ippFindAttribute(col, "media-size", IPP_TAG_BEGIN_COLLECTION), 0);
    ipp_attribute_t *x = ippFindAttribute(size, "x-dimension", IPP_TAG_INTEGER);
    ipp_attribute_t *y = ippFindAttribute(size, "y-dimension", IPP_TAG_INTEGER);
    if (x && y && ippGetInteger(x, 0) > 0 && ippGetInteger(y, 0) > 0) {
        *width = ippGetInteger(x, 0);
        *length = ippGetInteger(y, 0);
        return true;
    }
    ipp_attribute_t *media = ippFindAttribute(queue, "media-default", IPP_TAG_ZERO);
    return queues_media_size(ippGetString(media, 0, NULL), width, length);
}

/* The paper devmode chooses, when the queue supports it (a queue that lists no media-supported,
 * such as a raw queue, takes any). */
bool queues_devmode_size(ipp_t *queue, const DEVMODEA *devmode, int *width, int *length)
{
    if (!devmode || !(devmode->dmFields & DM_PAPERSIZE))
        return false;
    for (const PaperName &paper : kPaperNames) {
        if (paper.dmPaperSize != devmode->dmPaperSize)
            continue;
        ipp_attribute_t *supported = ippFindAttribute(queue, "media-supported", IPP_TAG_ZERO);
        if (supported && !ippContainsString(supported, paper.pwg))
            return false;
        return queues_media_size(paper.pwg, width, length);
    }
    return false;
}

int queues_per_inch(int perCentimetre) { return (perCentimetre * 254 + 50) / 100; }

/* The queue's default resolution in dots per inch, 600 where it names none. */
void queues_resolution(ipp_t *queue, int *xdpi, int *ydpi)
{
    ipp_attribute_t *attr = ippFindAttribute(queue, "printer-resolution-default", IPP_TAG_RESOLUTION);
    ipp_res_t units = IPP_RES_PER_INCH;
    int x = 0, y = 0;
    if (attr)
        x = ippGetResolution(attr, 0, &y, &units);
    if (x <= 0 || y <= 0) {
        *xdpi = *ydpi = QUEUE_DEFAULT_DPI;
    } else if (units == IPP_RES_PER_CM) {
        *xdpi = queues_per_inch(x);
        *ydpi = queues_per_inch(y);
    } else {
        *xdpi = x;
        *ydpi = y;
    }
}

/* Hundredths of a millimetre to the nearest whole pixel at dpi, and to the nearest millimetre. */
int queues_pixels(int hundredths, int dpi)
{
    return (int)(((long long)hundredths * dpi + HUNDREDTHS_PER_INCH / 2) / HUNDREDTHS_PER_INCH);
}

int queues_millimetres(int hundredths) { return (hundredths + 50) / 100; }

void queues_fill_caps(ipp_t *queue, const DEVMODEA *devmode, DeviceCaps *caps)
{
    int width, length;
    if (!queues_devmode_size(queue, devmode, &width, &length) && !queues_default_size(queue, &width, &length))
        queues_media_size("iso_a4_210x297mm", &width, &length); /* a queue that names no paper */
    if (devmode && (devmode->dmFields & DM_ORIENTATION) && devmode->dmOrientation == DMORIENT_LANDSCAPE) {
        int portraitWidth = width;
        width = length;
        length = portraitWidth;
    }
    int xdpi, ydpi;
    queues_resolution(queue, &xdpi, &ydpi);
    caps->horzRes = queues_pixels(width, xdpi);
    caps->vertRes = queues_pixels(length, ydpi);
    caps->horzSizeMm = queues_millimetres(width);
    caps->vertSizeMm = queues_millimetres(length);
    caps->bitsPixel = QUEUE_BPP;
    caps->technology = DT_RASPRINTER;
    caps->logPixelsX = xdpi;
    caps->logPixelsY = ydpi;
}

} /* namespace */

QueueLookup queue_caps(const char *name, const DEVMODEA *devmode, DeviceCaps *caps)
{
    if (queues_off())
        return QUEUE_NO_QUEUES;
    http_t *http = queues_connect();
    if (!http)
        return QUEUE_NO_QUEUES;
    int count = (int)(sizeof kQueueAttributes / sizeof kQueueAttributes[0]);
    ipp_t *response = queues_get(http, name, 1, kQueueAttributes, count);
    QueueLookup result;
    /* A server that has no such queue may answer with the first one instead. */
    const char *found = ippGetString(ippFindAttribute(response, "printer-name", IPP_TAG_NAME), 0, NULL);
    if (queues_answered(response) && found && strcasecmp(found, name) == 0) {
        queues_fill_caps(response, devmode, caps);
        result = QUEUE_FOUND;
    } else if (response && queues_any(http)) {
        result = QUEUE_UNKNOWN;
    } else {
        result = QUEUE_NO_QUEUES;
    }
    ippDelete(response);
    httpClose(http);
    return result;
}

int queue_names(char *names, size_t size)
{
    if (queues_off())
        return 0;
    http_t *http = queues_connect();
    if (!http)
        return 0;
    const char *attribute = "printer-name";
    ipp_t *response = queues_get(http, NULL, 0, &attribute, 1);
    const char *defaultName = queues_answered(response) ? cupsGetDefault2(http) : NULL;
    int count = 0;
    size_t used = 0;
    bool fits = true;
    /* The default destination first, then the others in the server's order. */
    for (int pass = 0; pass < 2 && queues_answered(response); pass++) {
        for (ipp_attribute_t *a = ippFindAttribute(response, attribute, IPP_TAG_NAME); a;
             a = ippFindNextAttribute(response, attribute, IPP_TAG_NAME)) {
            const char *name = ippGetString(a, 0, NULL);
            bool isDefault = defaultName && strcasecmp(name, defaultName) == 0;
            if (isDefault != (pass == 0))
                continue;
            fits = fits && printer_list_add(names, size, &used, name);
            count++;
        }
    }
    ippDelete(response);
    httpClose(http);
    return fits ? count : -1;
}
