/* libFuzzer target over TextOut32: runs of text in any character set (the double-byte ones
 * included), at any escapement, with options with and without ETO_GLYPH_INDEX and ETO_OPAQUE, a
 * rectangle or none, advances null or holding zeros, lead bytes anywhere in the run and face names
 * that fill all 32 bytes. Within the callers' contract: the run holds its length in bytes (in
 * glyph indices on the glyph road), and the advance array one entry per byte (two per glyph with
 * ETO_PDY), each in a block of exactly that size, so a read past either is caught. After the job
 * the metafile must load and nothing may be left alive. */
#include <stdint.h>
#include <string.h>

#include <vector>

#include "fuzz_job.h"
#include "tavlinqx.h"

namespace {

const int32_t kCharsets[] = {ANSI_CHARSET,   DEFAULT_CHARSET, SYMBOL_CHARSET, SHIFTJIS_CHARSET,
                             HANGUL_CHARSET, JOHAB_CHARSET,   GB2312_CHARSET, CHINESEBIG5_CHARSET,
                             OEM_CHARSET,    77 /* MAC */,    161,            162,
                             163,            177,             178,            186,
                             204,            222,             238};

/* Faces a driver names, and names of no installed face. */
const char *const kFaces[] = {"Arial", "Times New Roman", "Courier New", "MS Gothic", "SimSun",
                              "Symbol", "", "No Such Face"};

/* Bytes that are lead bytes in one Far East code page or another, and plain ones. */
const int32_t kTextBytes[] = {0x81, 0x82, 0x84, 0x88, 0x9F, 0xA1, 0xA4, 0xB0, 0xD8, 0xE0,
                              0xF9, 0xFC, 0xFE, 0x40, 0x41, 0x61, 0xA0, 0x20, 0x00, 0xFF};

const int32_t kOptionBits[] = {ETO_OPAQUE, ETO_CLIPPED, ETO_GLYPH_INDEX, ETO_PDY,
                               0x0080 /* ETO_RTLREADING */, 0x1000 /* ETO_IGNORELANGUAGE */};

void FuzzFont(FuzzInput *in, LOGFONTA *font)
{
    memset(font, 0, sizeof *font);
    font->lfHeight = FuzzTake(in, 1) % 8 == 0 ? FuzzEdge(in) : -(LONG)(FuzzTake(in, 1) % 96);
    font->lfWidth = FuzzTake(in, 1) % 8 == 0 ? FuzzEdge(in) : 0;
    font->lfEscapement = FuzzTake(in, 1) % 2 ? FuzzEdge(in) : (LONG)(FuzzTake(in, 1) % 17) * 225 - 1800;
    font->lfOrientation = font->lfEscapement;
    font->lfWeight = (LONG)FuzzTake(in, 1) * 4;
    font->lfItalic = (BYTE)(FuzzTake(in, 1) & 1);
    font->lfUnderline = (BYTE)(FuzzTake(in, 1) & 1);
    font->lfStrikeOut = (BYTE)(FuzzTake(in, 1) & 1);
    font->lfCharSet = (BYTE)(FuzzTake(in, 1) % 4 ? FuzzPick(in, kCharsets, FUZZ_COUNT(kCharsets)) : FuzzTake(in, 1));
    font->lfQuality = (BYTE)FuzzTake(in, 1);
    font->lfPitchAndFamily = (BYTE)FuzzTake(in, 1);
    uint32_t face = FuzzTake(in, 1);
    if (face % 16 == 0) {
        memset(font->lfFaceName, 'A' + face / 16 % 26, sizeof font->lfFaceName); /* no NUL at all */
    } else if (face % 16 == 1) {
        for (CHAR &c : font->lfFaceName)
            c = (CHAR)FuzzTake(in, 1);
    } else {
        strcpy(font->lfFaceName, kFaces[face % FUZZ_COUNT(kFaces)]);
    }
}

DWORD FuzzOptions(FuzzInput *in)
{
    uint32_t how = FuzzTake(in, 1);
    if (how % 8 == 0)
        return FuzzTake(in, 4);
    DWORD options = 0;
    for (size_t i = 0; i < FUZZ_COUNT(kOptionBits); i++)
        if (how >> (i + 1) & 1)
            options |= (DWORD)kOptionBits[i];
    return options;
}

void FuzzText(FuzzInput *in, HDC *dc)
{
    LOGFONTA font;
    FuzzFont(in, &font);
    DWORD options = FuzzOptions(in);
    bool glyphs = (options & ETO_GLYPH_INDEX) != 0;
    DWORD length = FuzzTake(in, 1) % 16 == 0 ? 0 : FuzzTake(in, 1) % 48 + 1;
    std::vector<uint8_t> text((glyphs ? 2 : 1) * (size_t)length);
    for (uint8_t &b : text)
        b = (uint8_t)(FuzzTake(in, 1) % 2 ? FuzzPick(in, kTextBytes, FUZZ_COUNT(kTextBytes)) : FuzzTake(in, 1));
    size_t entries = (glyphs && (options & ETO_PDY) ? 2 : 1) * (size_t)length;
    uint32_t withAdvances = FuzzTake(in, 1) % 4;
    std::vector<INT> advances(entries);
    for (INT &a : advances)
        a = FuzzTake(in, 1) % 4 == 0 ? 0 : FuzzTake(in, 1) % 8 == 0 ? FuzzEdge(in) : (INT)(FuzzTake(in, 1) % 64);
    RECT rect = {FuzzEdge(in), FuzzEdge(in), FuzzEdge(in), FuzzEdge(in)};
    bool withRect = FuzzTake(in, 1) & 1;
    INT x = FuzzEdge(in), y = FuzzEdge(in);
    DrawMode32 mode = {(INT)(FuzzTake(in, 1) % 18), (INT)(FuzzTake(in, 1) % 4), FuzzTake(in, 4), FuzzTake(in, 4),
                       (INT)(FuzzTake(in, 1) & 1)};
    /* A run of no bytes still gets valid (if empty) pointers, as a caller's buffers are. */
    uint8_t none = 0;
    INT noAdvance = 0;
    TextOut32(dc, &font, &x, &y, &options, withRect ? &rect : NULL,
              text.empty() ? (LPCSTR)&none : (LPCSTR)text.data(), &length,
              withAdvances == 0 ? NULL : advances.empty() ? &noAdvance : advances.data(), &mode);
}

} /* namespace */

extern "C" int LLVMFuzzerInitialize(int *, char ***) { return FuzzJobInit(); }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzJobRun(data, size, 16, FuzzText);
    return 0;
}
