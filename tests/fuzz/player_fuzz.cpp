/* libFuzzer target over the EMF player: the input is a run of records (type, size, bytes) put
 * between a header and EMR_EOF, so that most inputs pass the reader's framing and reach the
 * player, or a whole metafile when it starts like one. Whatever loads is drawn on a small page;
 * the player must neither crash nor leak, and its page must be the size asked for. */
#include <stdint.h>
#include <string.h>

#include <vector>

#include "emf_player.h"
#include "emf_reader.h"

namespace {

using namespace emf;

const int kPageWidth = 96; /* pixels: small pages keep every run fast */

void Put32(std::vector<uint8_t> &b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; i++)
        b[at + i] = (uint8_t)(v >> (8 * i));
}

/* Header (DISPLAY: 1024 x 768 px, 271 x 203 mm; a frame from the input), the input's records
 * with their sizes made to fit, and EOF. */
std::vector<uint8_t> Wrap(const uint8_t *data, size_t size)
{
    std::vector<uint8_t> out(sizeof(ENHMETAHEADER), 0);
    size_t at = 0;
    auto take = [&](int n) {
        uint32_t v = 0;
        for (int i = 0; i < n; i++)
            v |= (uint32_t)(at < size ? data[at++] : 0) << (8 * i);
        return v;
    };
    uint32_t nHandles = 1 + take(1) % 16;
    uint32_t frameW = 1 + take(2), frameH = 1 + take(2);
    uint32_t records = 2;
    while (at < size) {
        uint32_t type = 1 + take(1) % EMR_MAX;
        uint32_t body = 4 * (take(1) % 64); /* bytes after iType and nSize */
        size_t start = out.size();
        out.resize(start + 8 + body, 0);
        Put32(out, start, type == EMR_HEADER || type == EMR_EOF ? EMR_GDICOMMENT : type);
        Put32(out, start + 4, 8 + body);
        for (uint32_t i = 0; i < body; i++)
            out[start + 8 + i] = (uint8_t)take(1);
        if (type == EMR_HEADER || type == EMR_EOF)
            Put32(out, start + 8, body >= 4 ? body - 4 : 0); /* a comment of the rest */
        records++;
    }
    size_t eof = out.size();
    out.resize(eof + sizeof(EMREOF), 0);
    Put32(out, eof, EMR_EOF);
    Put32(out, eof + 4, sizeof(EMREOF));
    Put32(out, eof + 12, 16);
    Put32(out, eof + 16, sizeof(EMREOF));
    Put32(out, 0, EMR_HEADER);
    Put32(out, 4, sizeof(ENHMETAHEADER));
    Put32(out, 32, frameW);
    Put32(out, 36, frameH);
    Put32(out, 40, ENHMETA_SIGNATURE);
    Put32(out, 44, ENHMETA_VERSION);
    Put32(out, 48, (uint32_t)out.size());
    Put32(out, 52, records);
    out[56] = (uint8_t)nHandles;
    Put32(out, 72, 1024);
    Put32(out, 76, 768);
    Put32(out, 80, 271);
    Put32(out, 84, 203);
    Put32(out, 100, 271000);
    Put32(out, 104, 203000);
    return out;
}

void Play(const uint8_t *bytes, size_t size)
{
    EmfFile file;
    char error[256];
    if (EmfLoadMemory(bytes, size, &file, error, sizeof error) < 0)
        return;
    EmfRenderOptions options = {0, kPageWidth};
    EmfWarnings warnings;
    cairo_surface_t *page = EmfRenderPage(&file, &options, &warnings, error, sizeof error);
    if (page != NULL) {
        if (cairo_image_surface_get_width(page) != kPageWidth)
            __builtin_trap();
        cairo_surface_destroy(page);
    }
    EmfFree(&file);
}

} /* namespace */

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size >= 4 && data[0] == EMR_HEADER && data[1] == 0 && data[2] == 0 && data[3] == 0) {
        Play(data, size);
        return 0;
    }
    std::vector<uint8_t> emf = Wrap(data, size);
    Play(emf.data(), emf.size());
    return 0;
}
