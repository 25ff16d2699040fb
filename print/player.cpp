/* The record walk of the EMF player: the page, the device-context state, the object table and
 * the dispatch of every record to the file that draws it. */
#include "player_private.h"

#include <math.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

using namespace emf;

enum : uint32_t {
    MM_TEXT = 1, MM_ISOTROPIC = 7, MM_ANISOTROPIC = 8,
    RGN_AND = 1, RGN_OR = 2, RGN_DIFF = 4,
};

static int player_error(char *error, size_t errorSize, const char *fmt, ...)
    __attribute__((format(printf, 3, 4)));

static int player_error(char *error, size_t errorSize, const char *fmt, ...)
{
    if (errorSize > 0) {
        va_list ap;
        va_start(ap, fmt);
        vsnprintf(error, errorSize, fmt, ap);
        va_end(ap);
    }
    return -1;
}

/* A warning without its "record N at offset M: " prefix. */
static const char *player_warning_key(const char *text)
{
    const char *rest = strstr(text, ": ");
    return strncmp(text, "record ", 7) == 0 && rest ? rest + 2 : text;
}

void player_warn(Player *p, const char *fmt, ...)
{
    EmfWarnings *w = p->warnings;
    if (w == NULL)
        return;
    char text[EMF_PLAYER_WARNING_SIZE];
    int n = p->rec ? snprintf(text, sizeof text, "record %u at offset %u: %s: ", p->index,
                              p->rec->offset, EmfRecordName(p->rec->iType))
                   : 0;
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(text + n, sizeof text - (size_t)n, fmt, ap);
    va_end(ap);
    /* The same complaint about the same record type is kept once. */
    for (uint32_t i = 0; i < w->count; i++) {
        if (strcmp(player_warning_key(w->text[i]), player_warning_key(text)) == 0) {
            w->dropped++;
            return;
        }
    }
    if (w->count >= EMF_PLAYER_MAX_WARNINGS) {
        w->dropped++;
        return;
    }
    memcpy(w->text[w->count++], text, sizeof text);
}

uint32_t player_rgb(uint32_t colorref)
{
    return (colorref & 0xFF) << 16 | (colorref & 0xFF00) | (colorref >> 16 & 0xFF);
}

/* Logical -> device along one axis; the window extent is never 0 (SETWINDOWEXTEX refuses it). */
static double player_axis(double v, int32_t winOrg, int32_t winExt, int32_t vpOrg, int32_t vpExt)
{
    return (v - winOrg) * vpExt / winExt + vpOrg;
}

void player_map(const Player *p, double x, double y, double *px, double *py)
{
    const PlayerState &s = p->state;
    double dx = x, dy = y;
    if (s.mapMode != MM_TEXT) {
        dx = player_axis(x, s.winOrgX, s.winExtX, s.vpOrgX, s.vpExtX);
        dy = player_axis(y, s.winOrgY, s.winExtY, s.vpOrgY, s.vpExtY);
    } else {
        dx = x - s.winOrgX + s.vpOrgX;
        dy = y - s.winOrgY + s.vpOrgY;
    }
    *px = dx * p->scale + p->offsetX;
    *py = dy * p->scale + p->offsetY;
}

double player_map_length(const Player *p, double length)
{
    const PlayerState &s = p->state;
    double factor = s.mapMode == MM_TEXT ? 1.0 : fabs((double)s.vpExtX / s.winExtX);
    return length * factor * p->scale;
}

/* Resolutions printers and displays are made with, in dots per inch. */
static const double kStandardResolutions[] = {72,  75,  96,  100, 120,  144,  150,  180,  200, 240,
                                              300, 360, 400, 600, 720, 1200, 1440, 2400, 2880, 4800};

/* The resolution of pixels spread over micrometres, snapped to a standard one within 1%. */
static double player_resolution(int32_t pixels, double micrometres)
{
    double measured = pixels * 25400.0 / micrometres;
    for (double standard : kStandardResolutions)
        if (fabs(measured - standard) <= standard / 100)
            return standard;
    return measured;
}

int EmfGetPage(const EmfFile *file, EmfPage *page, char *error, size_t errorSize)
{
    ENHMETAHEADER h;
    EmfGetHeader(file, &h);
    memset(page, 0, sizeof *page);
    double umX = h.szlMicrometers.cx > 0 ? h.szlMicrometers.cx : 1000.0 * h.szlMillimeters.cx;
    double umY = h.szlMicrometers.cy > 0 ? h.szlMicrometers.cy : 1000.0 * h.szlMillimeters.cy;
    if (h.szlDevice.cx <= 0 || h.szlDevice.cy <= 0 || umX <= 0 || umY <= 0)
        return player_error(error, errorSize,
                            "the header gives no reference device (%d x %d px, %d x %d mm)",
                            h.szlDevice.cx, h.szlDevice.cy, h.szlMillimeters.cx,
                            h.szlMillimeters.cy);
    page->width = h.szlDevice.cx;
    page->height = h.szlDevice.cy;
    page->devicePerInchX = player_resolution(h.szlDevice.cx, umX);
    page->devicePerInchY = player_resolution(h.szlDevice.cy, umY);
    page->widthPt = page->width * 72.0 / page->devicePerInchX;
    page->heightPt = page->height * 72.0 / page->devicePerInchY;
    return 0;
}

static void player_reset_state(PlayerState *s)
{
    memset(s, 0, sizeof *s);
    s->pen.brush.color = 0;                 /* BLACK_PEN */
    s->brush.color = 0xFFFFFF;              /* WHITE_BRUSH */
    s->rop2 = R2_COPYPEN;
    s->bkMode = OPAQUE;
    s->bkColor = 0xFFFFFF;
    s->polyFillMode = ALTERNATE;
    s->stretchMode = BLACKONWHITE;
    s->winExtX = s->winExtY = s->vpExtX = s->vpExtY = 1;
    s->mapMode = MM_TEXT;
}

/* ---- objects ---- */

static void player_stock_object(Player *p, uint32_t index)
{
    static const uint32_t brushGrey[] = {0xFFFFFF, 0xC0C0C0, 0x808080, 0x404040, 0x000000};
    PlayerState &s = p->state;
    if (index == 18) /* DC_BRUSH and DC_PEN: their default colours, as nothing here sets them */
        index = 0;
    else if (index == 19)
        index = 7;
    if (index <= 4) {
        memset(&s.brush, 0, sizeof s.brush);
        s.brush.color = brushGrey[index];
    } else if (index == 5) {
        memset(&s.brush, 0, sizeof s.brush);
        s.brush.style = BS_NULL;
    } else if (index >= 6 && index <= 8) {
        memset(&s.pen, 0, sizeof s.pen);
        s.pen.style = index == 8 ? PS_NULL : PS_SOLID;
        s.pen.brush.color = index == 6 ? 0xFFFFFF : 0;
        s.pen.width = 1;
    } else if (index >= 10 && index <= 17 && index != 15) {
        memset(&s.font, 0, sizeof s.font); /* the stock fonts: the player's default face */
    } else if (index != 15) {              /* DEFAULT_PALETTE changes nothing drawn here */
        player_warn(p, "stock object %u not known", index);
    }
}

static PlayerObject *player_slot(Player *p, uint32_t slot)
{
    if (slot == 0 || slot >= p->objectCount) {
        player_warn(p, "object slot %u outside the table", slot);
        return NULL;
    }
    return &p->objects[slot];
}

static void player_create_object(Player *p, const EmfRecord *rec)
{
    PlayerObject *o = player_slot(p, EmfU32(rec, 8));
    if (o == NULL)
        return;
    memset(o, 0, sizeof *o);
    switch (rec->iType) {
    case EMR_CREATEPEN:
    case EMR_EXTCREATEPEN:
        o->kind = OBJ_PEN;
        shapes_read_pen(p, rec, &o->pen);
        break;
    case EMR_CREATEBRUSHINDIRECT:
        o->kind = OBJ_BRUSH;
        o->brush.style = EmfU32(rec, offsetof(EMRCREATEBRUSHINDIRECT, lbStyle));
        o->brush.color = player_rgb(EmfU32(rec, offsetof(EMRCREATEBRUSHINDIRECT, lbColor)));
        o->brush.hatch = EmfU32(rec, offsetof(EMRCREATEBRUSHINDIRECT, lbHatch));
        if (o->brush.style == BS_HATCHED && o->brush.hatch > HS_DIAGCROSS) {
            player_warn(p, "hatch %u drawn solid", o->brush.hatch);
            o->brush.style = BS_SOLID;
        } else if (o->brush.style != BS_SOLID && o->brush.style != BS_NULL &&
                   o->brush.style != BS_HATCHED) {
            player_warn(p, "brush style %u drawn solid", o->brush.style);
            o->brush.style = BS_SOLID;
        }
        break;
    case EMR_CREATEMONOBRUSH:
    case EMR_CREATEDIBPATTERNBRUSHPT: {
        o->kind = OBJ_BRUSH;
        bool mono = rec->iType == EMR_CREATEMONOBRUSH;
        uint32_t usage = EmfU32(rec, offsetof(EMRCREATEDIBPATTERNBRUSHPT, iUsage));
        o->brush.style = mono ? BS_PATTERN : BS_DIBPATTERNPT;
        if (!bitmaps_read_dib(p, rec, offsetof(EMRCREATEDIBPATTERNBRUSHPT, offBmi),
                              mono ? DIB_PAL_INDICES : usage, &o->brush.pattern) ||
            (mono && o->brush.pattern.bpp != 1)) {
            if (mono && o->brush.pattern.bpp != 1)
                player_warn(p, "a monochrome brush of %u bpp", o->brush.pattern.bpp);
            o->brush.style = BS_SOLID; /* GDI would fail to create it; black stands in */
            o->brush.color = 0;
        }
        break;
    }
    case EMR_EXTCREATEFONTINDIRECTW:
        o->kind = OBJ_FONT;
        text_read_font(p, rec, &o->font);
        break;
    }
}

static void player_select_object(Player *p, uint32_t ih)
{
    if (ih & ENHMETA_STOCK_OBJECT) {
        player_stock_object(p, ih & ~ENHMETA_STOCK_OBJECT);
        return;
    }
    PlayerObject *o = player_slot(p, ih);
    if (o == NULL)
        return;
    switch (o->kind) {
    case OBJ_PEN: p->state.pen = o->pen; break;
    case OBJ_BRUSH: p->state.brush = o->brush; break;
    case OBJ_FONT: p->state.font = o->font; break;
    case OBJ_NONE: player_warn(p, "object slot %u was never created", ih); break;
    }
}

/* ---- clip, save and restore ---- */

/* The pixels whose centres lie in [x0, x1) x [y0, y1) of page coordinates, within the page. */
static ScanBox player_pixels_of(const Player *p, double x0, double y0, double x1, double y1)
{
    double left = fmax(ceil(x0 - 0.5), 0), top = fmax(ceil(y0 - 0.5), 0);
    double right = fmin(ceil(x1 - 0.5), p->width), bottom = fmin(ceil(y1 - 0.5), p->height);
    if (!(left < right && top < bottom))
        return ScanBox{0, 0, 0, 0};
    return ScanBox{(int32_t)left, (int32_t)top, (int32_t)right, (int32_t)bottom};
}

/* The region of an EMR_EXTSELECTCLIPRGN's rectangles, in device units. */
static int player_region_of(const Player *p, const EmfRecord *rec, PlayerRegion *r)
{
    uint32_t n = EmfU32(rec, sizeof(EMREXTSELECTCLIPRGN) + offsetof(RGNDATAHEADER, nCount));
    std::vector<ScanBox> boxes;
    for (uint32_t i = 0; i < n; i++) {
        uint32_t at = sizeof(EMREXTSELECTCLIPRGN) + sizeof(RGNDATAHEADER) + 16 * i;
        ScanBox box = player_pixels_of(p, EmfI32(rec, at) * p->scale + p->offsetX,
                                       EmfI32(rec, at + 4) * p->scale + p->offsetY,
                                       EmfI32(rec, at + 8) * p->scale + p->offsetX,
                                       EmfI32(rec, at + 12) * p->scale + p->offsetY);
        if (box.x0 < box.x1)
            boxes.push_back(box);
    }
    return region_union(r, boxes.data(), (uint32_t)boxes.size());
}

/* The page's clip changed: the page bitmap takes it. */
static void player_clip_changed(Player *p)
{
    if (!device_clip_changed(p))
        player_warn(p, "no memory for the clip; nothing is drawn until the next clip");
}

static void player_clip_record(Player *p, const EmfRecord *rec)
{
    uint32_t mode = rec->iType == EMR_INTERSECTCLIPRECT ? RGN_AND : RGN_DIFF;
    PlayerRegion region = {};
    int rc;
    if (rec->iType == EMR_EXTSELECTCLIPRGN) {
        mode = EmfU32(rec, offsetof(EMREXTSELECTCLIPRGN, iMode));
        if (EmfU32(rec, offsetof(EMREXTSELECTCLIPRGN, cbRgnData)) == 0) /* RGN_COPY alone */
            rc = region_set_box(&region, ScanBox{0, 0, p->width, p->height});
        else
            rc = player_region_of(p, rec, &region);
    } else {
        double x0, y0, x1, y1;
        player_map(p, EmfI32(rec, 8), EmfI32(rec, 12), &x0, &y0);
        player_map(p, EmfI32(rec, 16), EmfI32(rec, 20), &x1, &y1);
        rc = region_set_box(&region, player_pixels_of(p, fmin(x0, x1), fmin(y0, y1), fmax(x0, x1),
                                                      fmax(y0, y1)));
    }
    if (rc == 0)
        rc = region_combine(&p->state.clip, &region, mode);
    region_free(&region);
    if (rc < 0)
        player_warn(p, "no memory for the clip");
    else
        player_clip_changed(p);
}

static void player_save(Player *p)
{
    if (p->savedCount >= (int)PLAYER_MAX_SAVES) {
        player_warn(p, "more than %d saved states", (int)PLAYER_MAX_SAVES);
        return;
    }
    PlayerState &to = p->saved[p->savedCount];
    to = p->state;
    to.clip = PlayerRegion{};
    if (region_copy(&to.clip, &p->state.clip) < 0) {
        player_warn(p, "no memory to save the clip");
        return;
    }
    p->savedCount++;
}

static void player_restore(Player *p, int32_t relative)
{
    int32_t level = relative < 0 ? p->savedCount + relative : relative - 1;
    if (level < 0 || level >= p->savedCount) {
        player_warn(p, "no saved state %d", relative);
        return;
    }
    region_free(&p->state.clip);
    for (int32_t i = level + 1; i < p->savedCount; i++)
        region_free(&p->saved[i].clip);
    p->state = p->saved[level];
    p->savedCount = level;
    player_clip_changed(p);
}

/* ---- the walk ---- */

static void player_set_value(Player *p, const EmfRecord *rec)
{
    uint32_t v = EmfU32(rec, 8);
    PlayerState &s = p->state;
    switch (rec->iType) {
    case EMR_SETBKMODE: s.bkMode = v; break;
    case EMR_SETPOLYFILLMODE: s.polyFillMode = v; break;
    case EMR_SETSTRETCHBLTMODE: s.stretchMode = v; break;
    case EMR_SETTEXTALIGN: s.textAlign = v; break;
    case EMR_SETTEXTCOLOR: s.textColor = player_rgb(v); break;
    case EMR_SETBKCOLOR: s.bkColor = player_rgb(v); break;
    case EMR_SETROP2:
        if (v >= 1 && v <= 16)
            s.rop2 = v;
        else
            player_warn(p, "raster operation %u is no R2_ code", v);
        break;
    case EMR_SETMAPMODE:
        if (v == MM_TEXT || v == MM_ISOTROPIC || v == MM_ANISOTROPIC)
            s.mapMode = v;
        else
            player_warn(p, "map mode %u not played", v);
        break;
    }
}

static void player_set_mapping(Player *p, const EmfRecord *rec)
{
    int32_t x = EmfI32(rec, 8), y = EmfI32(rec, 12);
    PlayerState &s = p->state;
    switch (rec->iType) {
    case EMR_SETWINDOWORGEX: s.winOrgX = x; s.winOrgY = y; break;
    case EMR_SETVIEWPORTORGEX: s.vpOrgX = x; s.vpOrgY = y; break;
    case EMR_SETWINDOWEXTEX:
    case EMR_SETVIEWPORTEXTEX:
        if (x == 0 || y == 0) {
            player_warn(p, "an extent of 0");
        } else if (rec->iType == EMR_SETWINDOWEXTEX) {
            s.winExtX = x;
            s.winExtY = y;
        } else {
            s.vpExtX = x;
            s.vpExtY = y;
        }
        break;
    }
}

static void player_record(Player *p, const EmfRecord *rec)
{
    switch (rec->iType) {
    case EMR_HEADER: case EMR_EOF: case EMR_GDICOMMENT: case EMR_SELECTPALETTE:
        break;
    case EMR_SETBKMODE: case EMR_SETPOLYFILLMODE: case EMR_SETROP2: case EMR_SETTEXTALIGN:
    case EMR_SETTEXTCOLOR: case EMR_SETBKCOLOR: case EMR_SETMAPMODE: case EMR_SETSTRETCHBLTMODE:
        player_set_value(p, rec);
        break;
    case EMR_SETWINDOWEXTEX: case EMR_SETWINDOWORGEX: case EMR_SETVIEWPORTEXTEX:
    case EMR_SETVIEWPORTORGEX:
        player_set_mapping(p, rec);
        break;
    case EMR_CREATEPEN: case EMR_EXTCREATEPEN: case EMR_CREATEBRUSHINDIRECT:
    case EMR_CREATEMONOBRUSH: case EMR_CREATEDIBPATTERNBRUSHPT: case EMR_EXTCREATEFONTINDIRECTW:
        player_create_object(p, rec);
        break;
    case EMR_SELECTOBJECT:
        player_select_object(p, EmfU32(rec, 8));
        break;
    case EMR_DELETEOBJECT:
        if (PlayerObject *o = (EmfU32(rec, 8) & ENHMETA_STOCK_OBJECT) ? NULL : player_slot(p, EmfU32(rec, 8)))
            o->kind = OBJ_NONE; /* what is selected stays selected, as in GDI */
        break;
    case EMR_INTERSECTCLIPRECT: case EMR_EXCLUDECLIPRECT: case EMR_EXTSELECTCLIPRGN:
        player_clip_record(p, rec);
        break;
    case EMR_SAVEDC:
        player_save(p);
        break;
    case EMR_RESTOREDC:
        player_restore(p, EmfI32(rec, 8));
        break;
    case EMR_MOVETOEX:
    case EMR_POLYGON: case EMR_POLYGON16: case EMR_POLYLINE: case EMR_POLYLINE16:
    case EMR_POLYBEZIER: case EMR_POLYBEZIER16: case EMR_POLYBEZIERTO: case EMR_POLYBEZIERTO16:
    case EMR_POLYLINETO: case EMR_POLYLINETO16: case EMR_POLYPOLYLINE: case EMR_POLYPOLYLINE16:
    case EMR_POLYPOLYGON: case EMR_POLYPOLYGON16: case EMR_LINETO: case EMR_RECTANGLE:
    case EMR_ROUNDRECT: case EMR_ELLIPSE: case EMR_ARC: case EMR_CHORD: case EMR_PIE:
        shapes_play(p, rec);
        break;
    case EMR_BEGINPATH: case EMR_ENDPATH: case EMR_CLOSEFIGURE: case EMR_FILLPATH:
    case EMR_STROKEANDFILLPATH: case EMR_STROKEPATH: case EMR_WIDENPATH: case EMR_ABORTPATH:
        shapes_path_record(p, rec);
        break;
    case EMR_BITBLT: case EMR_STRETCHBLT: case EMR_STRETCHDIBITS:
        bitmaps_play(p, rec);
        break;
    case EMR_EXTTEXTOUTA: case EMR_EXTTEXTOUTW:
        text_play(p, rec);
        break;
    default:
        player_warn(p, "not played");
        break;
    }
}

/* A context to build paths in, on a surface of its own that nothing is drawn on. */
static cairo_t *player_scratch_context(void)
{
    cairo_surface_t *scratch = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
    cairo_t *cr = cairo_create(scratch);
    cairo_surface_destroy(scratch);
    return cr;
}

/* The context shapes are built in: on the raster page, the one that rasterises them. */
static cairo_t *player_new_cover(Player *p)
{
    return p->device == DEVICE_RASTER ? compose_cover_context(p) : player_scratch_context();
}

int player_open(Player *p, const EmfFile *file, PlayerDevice device, int32_t width,
                int32_t height, double scale, double offsetX, double offsetY,
                EmfWarnings *warnings)
{
    memset(p, 0, sizeof *p);
    p->file = file;
    p->device = device;
    p->warnings = warnings;
    p->width = width;
    p->height = height;
    p->scale = scale;
    p->offsetX = offsetX;
    p->offsetY = offsetY;
    ENHMETAHEADER h;
    EmfGetHeader(file, &h);
    p->whole = ScanBox{(int32_t)offsetX, (int32_t)offsetY,
                       (int32_t)(offsetX + floor(h.szlDevice.cx * scale + 0.5)),
                       (int32_t)(offsetY + floor(h.szlDevice.cy * scale + 0.5))};
    p->objectCount = h.nHandles;
    p->objects = (PlayerObject *)calloc(h.nHandles ? h.nHandles : 1, sizeof *p->objects);
    p->path = player_scratch_context();
    if (device != DEVICE_RASTER)
        p->cover = player_scratch_context();
    return p->objects && cairo_status(p->path) == CAIRO_STATUS_SUCCESS &&
                   (p->cover == NULL || cairo_status(p->cover) == CAIRO_STATUS_SUCCESS)
               ? 0 : -1;
}

void player_close(Player *p)
{
    text_release(p);
    region_free(&p->state.clip);
    for (int i = 0; i < p->savedCount; i++)
        region_free(&p->saved[i].clip);
    free(p->objects);
    if (p->cover)
        cairo_destroy(p->cover);
    if (p->path)
        cairo_destroy(p->path);
}

/* A cairo context that met numbers it cannot take stops drawing for good; the record that
 * broke it is reported and fresh contexts carry on. -1 when none can be had. */
static int player_check_contexts(Player *p)
{
    cairo_status_t status = cairo_status(p->cover);
    if (status == CAIRO_STATUS_SUCCESS)
        status = cairo_status(p->path);
    if (status == CAIRO_STATUS_SUCCESS)
        return 0;
    player_warn(p, "drawing failed: %s", cairo_status_to_string(status));
    cairo_destroy(p->cover);
    cairo_destroy(p->path);
    p->cover = player_new_cover(p);
    p->path = player_scratch_context();
    p->inPath = p->pathDone = p->widened = false;
    return cairo_status(p->cover) || cairo_status(p->path) ? -1 : 0;
}

int player_walk(Player *p)
{
    player_reset_state(&p->state);
    if (region_set_box(&p->state.clip, ScanBox{0, 0, p->width, p->height}) < 0 ||
        !device_clip_changed(p))
        return -1;
    for (uint32_t i = 0; i < p->file->count; i++) {
        p->index = i;
        p->rec = &p->file->records[i];
        player_record(p, p->rec);
        device_record_done(p);
        if (player_check_contexts(p) < 0)
            break;
    }
    p->rec = NULL;
    if (p->inPath)
        player_warn(p, "a path bracket left open at the end");
    return 0;
}

cairo_surface_t *player_render(const EmfFile *file, int32_t width, int32_t height, double scale,
                               double offsetX, double offsetY, EmfWarnings *warnings,
                               char *error, size_t errorSize)
{
    Player p;
    int rc = player_open(&p, file, DEVICE_RASTER, width, height, scale, offsetX, offsetY,
                         warnings);
    if (rc == 0)
        rc = compose_open_page(&p);
    if (rc == 0)
        p.cover = compose_cover_context(&p);
    if (rc < 0 || cairo_status(p.cover) != CAIRO_STATUS_SUCCESS || player_walk(&p) < 0) {
        player_error(error, errorSize, "no memory for a page of %d x %d pixels", width, height);
        compose_close_page(&p);
        player_close(&p);
        if (p.page)
            cairo_surface_destroy(p.page);
        return NULL;
    }
    compose_close_page(&p);
    player_close(&p);
    cairo_surface_mark_dirty(p.page);
    return p.page;
}

/* The picture's size in pixels and its scale from device pixels for the options; -1 with a
 * message when it is more than the player draws. */
static int player_layout(const EmfPage *page, const EmfRenderOptions *o, int32_t *width,
                         int32_t *height, double *scale, char *error, size_t errorSize)
{
    *scale = 1.0;
    if (o && o->dpi > 0)
        *scale = o->dpi / page->devicePerInchX;
    else if (o && o->width > 0)
        *scale = (double)o->width / page->width;
    double w = floor(page->width * *scale + 0.5), h = floor(page->height * *scale + 0.5);
    if (!(w >= 1 && h >= 1 && w <= EMF_PLAYER_MAX_SIDE && h <= EMF_PLAYER_MAX_SIDE &&
          w * h <= PLAYER_MAX_PIXELS))
        return player_error(error, errorSize,
                            "a picture of %.0f x %.0f pixels is more than the player draws "
                            "(1 to %d a side, %u in all); a lower resolution draws the page",
                            w, h, (int)EMF_PLAYER_MAX_SIDE, (unsigned)PLAYER_MAX_PIXELS);
    *width = (int32_t)w;
    *height = (int32_t)h;
    return 0;
}

cairo_surface_t *EmfRenderPage(const EmfFile *file, const EmfRenderOptions *options,
                               EmfWarnings *warnings, char *error, size_t errorSize)
{
    EmfPage page;
    int32_t width = 0, height = 0;
    double scale = 1;
    if (warnings)
        memset(warnings, 0, sizeof *warnings);
    if (EmfGetPage(file, &page, error, errorSize) < 0 ||
        player_layout(&page, options, &width, &height, &scale, error, errorSize) < 0)
        return NULL;
    return player_render(file, width, height, scale, 0, 0, warnings, error, errorSize);
}
