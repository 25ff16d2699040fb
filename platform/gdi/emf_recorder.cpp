/* The EMF recorder behind metafile DCs: records stream to the file through a buffer, bounds are
 * accumulated, and CloseEnhMetaFile writes EMR_EOF and the header GDI writes. */
#include "emf_private.h"

#include <assert.h>
#include <errno.h>
#include <fcntl.h>
#include <iconv.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

EmfRecorder *g_openRecorders;

namespace {

enum { BUFFER_SIZE = 64 * 1024 };

DWORD recorder_error_from_errno(int err)
{
    switch (err) {
    case ENOENT: case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES: case EPERM: case EROFS: case EISDIR: return ERROR_ACCESS_DENIED;
    case ENOSPC: case EDQUOT: return ERROR_DISK_FULL;
    case EMFILE: case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    default: return ERROR_CAN_NOT_COMPLETE;
    }
}

/* Sets room after the buffer, the byte count or the failure changed. */
void recorder_set_room(EmfRecorder *rec)
{
    uint32_t inBuffer = rec->capacity - rec->buffered, countable = UINT32_MAX - rec->nBytes;
    rec->room = rec->failed ? 0 : inBuffer < countable ? inBuffer : countable;
}

void recorder_fail(EmfRecorder *rec, DWORD error)
{
    if (!rec->failed)
        rec->error = error;
    rec->failed = true;
    rec->room = 0;
}

bool recorder_write_all(EmfRecorder *rec, const uint8_t *data, size_t size, off_t at)
{
    while (size > 0) {
        ssize_t n = at < 0 ? write(rec->fd, data, size) : pwrite(rec->fd, data, size, at);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            recorder_fail(rec, n < 0 ? recorder_error_from_errno(errno) : ERROR_DISK_FULL);
            return false;
        }
        data += n;
        size -= (size_t)n;
        if (at >= 0)
            at += n;
    }
    return true;
}

bool recorder_flush(EmfRecorder *rec)
{
    if (rec->failed)
        return false;
    bool ok = recorder_write_all(rec, rec->buffer, rec->buffered, -1);
    rec->buffered = 0;
    recorder_set_room(rec);
    return ok;
}

uint32_t recorder_header_size(const EmfRecorder *rec)
{
    return (uint32_t)sizeof(emf::ENHMETAHEADER) + emf::RecordAlign(2 * rec->nDescription);
}

/* The description's UTF-16 form: "App\0Title\0" converted from the ANSI code page, then one more
 * NUL, zero-padded to 4 bytes. Returns false when memory runs out. */
bool recorder_set_description(EmfRecorder *rec, const char *desc)
{
    size_t bytes = strlen(desc) + 1;
    bytes += strlen(desc + bytes) + 1;
    uint8_t *utf16 = (uint8_t *)calloc(1, emf::RecordAlign((uint32_t)(2 * bytes + 2)));
    if (!utf16)
        return false;
    char codepage[16];
    snprintf(codepage, sizeof codepage, "CP%u", GetACP());
    iconv_t cd = iconv_open("UTF-16LE", codepage);
    size_t units = bytes;
    if (cd == (iconv_t)-1) {
        for (size_t i = 0; i < bytes; i++) /* no converter: take the bytes as Latin-1 */
            utf16[2 * i] = (uint8_t)desc[i];
    } else {
        char *in = (char *)desc, *out = (char *)utf16;
        size_t inLeft = bytes, outLeft = 2 * bytes;
        iconv(cd, &in, &inLeft, &out, &outLeft);
        iconv_close(cd);
        units = (2 * bytes - outLeft) / 2;
    }
    rec->description = utf16;
    rec->nDescription = (uint32_t)units + 1;
    return true;
}

void recorder_free(EmfRecorder *rec)
{
    for (EmfRecorder **link = &g_openRecorders; *link; link = &(*link)->next) {
        if (*link == rec) {
            *link = rec->next;
            break;
        }
    }
    emf_objects_free(rec);
    free(rec->description);
    free(rec->buffer);
    free(rec);
}

EmfRecorder *recorder_open(const char *file, const RECT *frame, const char *desc)
{
    char posix[4096];
    if (StandinMapPath(file, posix, sizeof posix) != 0) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return NULL;
    }
    EmfRecorder *rec = (EmfRecorder *)calloc(1, sizeof *rec);
    uint8_t *buffer = (uint8_t *)calloc(1, BUFFER_SIZE);
    if (!rec || !buffer || (desc && !recorder_set_description(rec, desc))) {
        free(buffer);
        if (rec)
            free(rec->description);
        free(rec);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return NULL;
    }
    rec->fd = open(posix, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (rec->fd < 0) {
        SetLastError(recorder_error_from_errno(errno));
        free(rec->description);
        free(buffer);
        free(rec);
        return NULL;
    }
    rec->buffer = buffer;
    rec->capacity = BUFFER_SIZE;
    if (frame) {
        rec->haveFrame = true;
        rec->frame = emf::RECTL{frame->left, frame->top, frame->right, frame->bottom};
    }
    /* The header's room is reserved at the start; it is written over at close. */
    rec->buffered = rec->nBytes = recorder_header_size(rec);
    rec->nRecords = 1;
    rec->bounds = emf::RECTL{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
    recorder_set_room(rec);
    return rec;
}

/* rclBounds as the header holds it: (0,0,-1,-1) while nothing drew. */
emf::RECTL recorder_bounds(const EmfRecorder *rec)
{
    return rec->bounds.left <= rec->bounds.right ? rec->bounds : emf::RECTL{0, 0, -1, -1};
}

/* rclFrame for a NULL frame: the bounds in .01 mm, rounded to nearest as Windows rounds them. */
emf::RECTL recorder_derived_frame(const EmfRecorder *rec, const DeviceCaps &caps)
{
    emf::RECTL b = recorder_bounds(rec);
    int mmX = caps.horzSizeMm * 100, mmY = caps.vertSizeMm * 100;
    return emf::RECTL{MulDiv(b.left, mmX, caps.horzRes), MulDiv(b.top, mmY, caps.vertRes),
                      MulDiv(b.right, mmX, caps.horzRes), MulDiv(b.bottom, mmY, caps.vertRes)};
}

bool recorder_write_header(EmfRecorder *rec)
{
    const DeviceCaps &caps = rec->dc->caps;
    emf::ENHMETAHEADER h;
    memset(&h, 0, sizeof h);
    h.emr.iType = emf::EMR_HEADER;
    h.emr.nSize = recorder_header_size(rec);
    h.rclBounds = recorder_bounds(rec);
    h.rclFrame = rec->haveFrame ? rec->frame : recorder_derived_frame(rec, caps);
    h.dSignature = emf::ENHMETA_SIGNATURE;
    h.nVersion = emf::ENHMETA_VERSION;
    h.nBytes = rec->nBytes;
    h.nRecords = rec->nRecords;
    h.nHandles = (uint16_t)(rec->maxSlotsInUse < 0xFFFF ? rec->maxSlotsInUse + 1 : 0xFFFF);
    h.nDescription = rec->nDescription;
    h.offDescription = rec->nDescription ? (uint32_t)sizeof h : 0;
    h.szlDevice = emf::SIZEL{caps.horzRes, caps.vertRes};
    h.szlMillimeters = emf::SIZEL{caps.horzSizeMm, caps.vertSizeMm};
    h.szlMicrometers = emf::SIZEL{caps.horzSizeMm * 1000, caps.vertSizeMm * 1000};
    if (!recorder_write_all(rec, (const uint8_t *)&h, sizeof h, 0))
        return false;
    return !rec->description || recorder_write_all(rec, rec->description, h.emr.nSize - sizeof h, sizeof h);
}

/* Writes EMR_EOF and the header and closes the file; true when the whole metafile is on disk. */
bool recorder_finish(EmfRecorder *rec)
{
    emf::EMREOF eof;
    eof.emr.iType = emf::EMR_EOF;
    eof.emr.nSize = sizeof eof;
    eof.nPalEntries = 0;
    eof.offPalEntries = offsetof(emf::EMREOF, nSizeLast);
    eof.nSizeLast = sizeof eof;
    bool ok = emf_record(rec->dc, &eof, sizeof eof) && recorder_flush(rec) && recorder_write_header(rec);
    if (close(rec->fd) != 0 && ok) {
        recorder_fail(rec, recorder_error_from_errno(errno));
        ok = false;
    }
    return ok;
}

HENHMETAFILE recorder_close(HDC hdc, GdiDC *dc)
{
    EmfRecorder *rec = dc->emf;
    bool ok = recorder_finish(rec);
    DWORD error = rec->error;
    recorder_free(rec);
    dc->emf = NULL;
    dc_release(hdc, dc);
    if (!ok) {
        SetLastError(error);
        return NULL;
    }
    HENHMETAFILE hmf = (HENHMETAFILE)gdi_handle_alloc(OBJ_ENHMETAFILE, NULL);
    if (!hmf)
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return hmf;
}

HDC recorder_create(HDC ref, LPCSTR file, const RECT *frame, LPCSTR desc)
{
    /* A NULL reference means the display; so does a handle that is no DC, as GDI under Wine has it. */
    DeviceCaps caps;
    DWORD refType = gdi_handle_type(ref);
    if (refType == OBJ_DC || refType == OBJ_MEMDC || refType == OBJ_ENHMETADC)
        caps = gdi_dc(ref)->caps;
    else
        printer_display_caps(&caps);
    /* GDI would keep a metafile without a file name in memory; the library always names its spool
     * file, so the stand-in leaves that out and refuses a null name. */
    if (!file) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return NULL;
    }
    EmfRecorder *rec = recorder_open(file, frame, desc);
    GdiDC *dc = rec ? dc_new(DC_KIND_METAFILE, &caps) : NULL;
    HDC hdc = dc ? dc_add(dc) : NULL;
    if (!hdc) {
        if (rec) {
            close(rec->fd);
            recorder_free(rec);
        }
        return NULL;
    }
    dc->emf = rec;
    rec->dc = dc;
    rec->next = g_openRecorders;
    g_openRecorders = rec;
    return hdc;
}

} /* namespace */


/* Checks that size more bytes may be recorded and flushes the buffer when they do not fit in it. */
static bool recorder_make_room(EmfRecorder *rec, uint32_t size)
{
    if (rec->failed)
        return false;
    if ((uint64_t)rec->nBytes + size > UINT32_MAX) {
        recorder_fail(rec, ERROR_NOT_ENOUGH_MEMORY); /* nBytes is 32 bits: the file cannot grow further */
        return false;
    }
    return rec->buffered + size <= rec->capacity || recorder_flush(rec);
}

bool emf_record_flushing(GdiDC *dc, const void *record, uint32_t size)
{
    EmfRecorder *rec = dc->emf;
    const emf::EMR *emr = (const emf::EMR *)record;
    assert(size >= sizeof *emr && size % 4 == 0 && emr->nSize == size);
    (void)emr; /* only the assertion reads it */
    if (size <= rec->capacity) {
        void *room = emf_record_space(dc, size);
        if (room)
            memcpy(room, record, size);
        return room != NULL;
    }
    if (!recorder_make_room(rec, size) || !recorder_write_all(rec, (const uint8_t *)record, size, -1))
        return false;
    rec->nBytes += size;
    rec->nRecords++;
    recorder_set_room(rec);
    return true;
}

void *emf_record_space_flushing(GdiDC *dc, uint32_t size)
{
    EmfRecorder *rec = dc->emf;
    assert(dc->kind == DC_KIND_METAFILE && size % 4 == 0);
    if (!recorder_make_room(rec, size))
        return NULL;
    if (size > rec->capacity) {
        /* The buffer is empty here; it keeps its new size for the rest of the file. */
        uint8_t *grown = (uint8_t *)realloc(rec->buffer, size);
        if (!grown)
            return NULL;
        rec->buffer = grown;
        rec->capacity = size;
        recorder_set_room(rec);
    }
    return emf_record_space(dc, size); /* fits now */
}

void emf_abort(GdiDC *dc)
{
    close(dc->emf->fd);
    recorder_free(dc->emf);
    dc->emf = NULL;
}

HDC WINAPI CreateEnhMetaFileA(HDC hdc, LPCSTR lpFilename, const RECT *lprc, LPCSTR lpDesc)
{
    char name[32], frame[64];
    if (lprc)
        snprintf(frame, sizeof frame, "(%d,%d,%d,%d)", (int)lprc->left, (int)lprc->top, (int)lprc->right,
                 (int)lprc->bottom);
    if (!gdi_enter("CreateEnhMetaFileA", "%s, \"%s\", %s, %s", gdi_handle_name(hdc, name),
                   lpFilename ? lpFilename : "(null)", lprc ? frame : "null", lpDesc ? "desc" : "null"))
        return NULL;
    HDC result = recorder_create(hdc, lpFilename, lprc, lpDesc);
    gdi_unlock();
    return result;
}

HENHMETAFILE WINAPI CloseEnhMetaFile(HDC hdc)
{
    char name[32];
    if (!gdi_enter("CloseEnhMetaFile", "%s", gdi_handle_name(hdc, name)))
        return NULL;
    GdiDC *dc = gdi_dc(hdc);
    HENHMETAFILE hmf = dc && dc->kind == DC_KIND_METAFILE ? recorder_close(hdc, dc) : NULL;
    gdi_unlock();
    return hmf;
}

BOOL WINAPI DeleteEnhMetaFile(HENHMETAFILE hmf)
{
    char name[32];
    if (!gdi_enter("DeleteEnhMetaFile", "%s", gdi_handle_name(hmf, name)))
        return FALSE;
    bool ok = gdi_handle_type(hmf) == OBJ_ENHMETAFILE;
    if (ok)
        gdi_handle_free(hmf);
    else
        SetLastError(ERROR_INVALID_HANDLE);
    gdi_unlock();
    return ok ? TRUE : FALSE;
}
