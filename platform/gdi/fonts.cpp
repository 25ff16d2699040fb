/* Fonts: CreateFontIndirectA and the creation record a metafile gets when a font is first selected
 * into it. */
#include "text_private.h"

#include <stdlib.h>
#include <string.h>

namespace {

/* The face name in UTF-16, converted with the ANSI code page as GDI converts it (not with the
 * font's character set). Only the name's 32 bytes are read, NUL or not, and at most 31 units
 * are kept, so the name always ends with a NUL. */
void fonts_convert_face(const CHAR *face, uint16_t *out)
{
    size_t bytes = strnlen(face, LF_FACESIZE);
    UINT codePage = codepage_acp();
    size_t units = 0;
    uint16_t ch[2];
    for (size_t i = 0; i < bytes;) {
        int n = i + 1 < bytes && codepage_is_lead_byte(codePage, (BYTE)face[i]) ? 2 : 1;
        int got = text_char_to_utf16(codePage, (const uint8_t *)face + i, n, ch);
        if (units + (size_t)got > LF_FACESIZE - 1)
            break;
        memcpy(out + units, ch, sizeof ch[0] * (size_t)got);
        units += (size_t)got;
        i += (size_t)n;
    }
    memset(out + units, 0, sizeof out[0] * (LF_FACESIZE - units));
}

} /* namespace */

/* The LogFontExDv form Windows writes, zero-filled: LOGFONTW, full name, style and script left
 * empty, and a design vector of no axes. */
bool font_record_create(GdiDC *dc, const GdiFont *font, uint32_t slot)
{
    uint8_t rec[emf::EMF_FONT_EXDV_SIZE];
    memset(rec, 0, sizeof rec);
    emf::EMREXTCREATEFONTINDIRECTW head;
    memset(&head, 0, sizeof head);
    const LOGFONTA &lf = font->logfont;
    head.emr.iType = emf::EMR_EXTCREATEFONTINDIRECTW;
    head.emr.nSize = sizeof rec;
    head.ihFont = slot;
    head.elfw.lfHeight = lf.lfHeight;
    head.elfw.lfWidth = lf.lfWidth;
    head.elfw.lfEscapement = lf.lfEscapement;
    head.elfw.lfOrientation = lf.lfOrientation;
    head.elfw.lfWeight = lf.lfWeight;
    head.elfw.lfItalic = lf.lfItalic;
    head.elfw.lfUnderline = lf.lfUnderline;
    head.elfw.lfStrikeOut = lf.lfStrikeOut;
    head.elfw.lfCharSet = lf.lfCharSet;
    head.elfw.lfOutPrecision = lf.lfOutPrecision;
    head.elfw.lfClipPrecision = lf.lfClipPrecision;
    head.elfw.lfQuality = lf.lfQuality;
    head.elfw.lfPitchAndFamily = lf.lfPitchAndFamily;
    memcpy(head.elfw.lfFaceName, font->faceName, sizeof head.elfw.lfFaceName);
    memcpy(rec, &head, sizeof head);
    const uint32_t designVector = emf::EMF_FONT_EXDV_SIZE - 8; /* Signature, then NumAxes 0 */
    const uint32_t signature = emf::EMF_DESIGNVECTOR_SIGNATURE;
    memcpy(rec + designVector, &signature, sizeof signature);
    return emf_record(dc, rec, sizeof rec);
}

HFONT WINAPI CreateFontIndirectA(const LOGFONTA *lplf)
{
    char face[LF_FACESIZE + 1] = "";
    if (lplf)
        memcpy(face, lplf->lfFaceName, strnlen(lplf->lfFaceName, LF_FACESIZE));
    if (!gdi_enter("CreateFontIndirectA", "%d, %d, \"%s\", %u", lplf ? (int)lplf->lfHeight : 0,
                   lplf ? (int)lplf->lfEscapement : 0, face, lplf ? lplf->lfCharSet : 0))
        return NULL;
    HFONT result = NULL;
    GdiFont *font = lplf ? (GdiFont *)calloc(1, sizeof *font) : NULL;
    if (!lplf) {
        SetLastError(ERROR_INVALID_PARAMETER);
    } else if (!font) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    } else {
        font->logfont = *lplf;
        memset(font->logfont.lfFaceName, 0, LF_FACESIZE);
        memcpy(font->logfont.lfFaceName, face, strnlen(face, LF_FACESIZE - 1));
        fonts_convert_face(lplf->lfFaceName, font->faceName);
        result = (HFONT)gdi_handle_alloc(OBJ_FONT, font);
        if (!result) {
            free(font);
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        }
    }
    gdi_unlock();
    return result;
}
