/* libFuzzer target over the EMF player: the input is a whole metafile when it starts like one,
 * else a run of records (type, size, bytes) put between a header and EMR_EOF, so that most
 * inputs pass the reader's framing and reach the player. Whatever loads has its device shrunk to
 * fit a small square, is drawn on the raster page and written as a vector PDF page (to /dev/null)
 * patched from it; the player must neither crash nor leak, and its page must be the device's.
 *
 * Whole metafiles (the corpus holds the scenarios' own) are mutated record-wise as well as
 * byte-wise: a field of a record set to an extreme (counts, offsets, sizes, coordinates), a
 * record grown or cut short, repeated, removed or moved, with the file's framing kept so that the
 * mutant reaches the reader's checks of each record and the player behind them. */
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <algorithm>
#include <random>
#include <vector>

#include <fontconfig/fontconfig.h>
#include <sanitizer/lsan_interface.h>

#include "emf_player.h"
#include "emf_reader.h"

namespace {

using namespace emf;

const int kPageSide = 128; /* device pixels a side at most: small pages keep every run fast */

void Put32(std::vector<uint8_t> &b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; i++)
        b[at + i] = (uint8_t)(v >> (8 * i));
}

/* Header (DISPLAY: 1024 x 768 px, 271 x 203 mm, shrunk by Play; a frame from the input), the input's records
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
        if ((type == EMR_HEADER || type == EMR_EOF) && body >= 4)
            Put32(out, start + 8, body - 4); /* a comment of the rest */
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

/* A whole metafile split into its records; empty when its sizes do not tile it. */
typedef std::vector<std::vector<uint8_t>> Records;

uint32_t Get32(const uint8_t *p) { return (uint32_t)p[0] | p[1] << 8 | p[2] << 16 | (uint32_t)p[3] << 24; }

Records Split(const uint8_t *data, size_t size)
{
    Records records;
    for (size_t at = 0; at < size;) {
        uint32_t nSize = size - at >= 8 ? Get32(data + at + 4) : 0;
        if (nSize < 8 || nSize % 4 != 0 || nSize > size - at)
            return Records();
        records.emplace_back(data + at, data + at + nSize);
        at += nSize;
    }
    return records.size() >= 2 ? records : Records();
}

/* Joins the records with the header's byte and record counts set to match. */
size_t Join(Records &records, uint8_t *out, size_t maxSize)
{
    size_t size = 0;
    for (const std::vector<uint8_t> &r : records)
        size += r.size();
    if (size > maxSize || size > UINT32_MAX || records[0].size() < 56)
        return 0;
    Put32(records[0], 48, (uint32_t)size);
    Put32(records[0], 52, (uint32_t)records.size());
    size_t at = 0;
    for (const std::vector<uint8_t> &r : records) {
        memcpy(out + at, r.data(), r.size());
        at += r.size();
    }
    return size;
}

/* A value where the reader's and the player's arithmetic turn: around 0, the 16- and 32-bit
 * limits, and the record's own size. */
uint32_t Extreme(std::minstd_rand &rng, uint32_t nSize)
{
    const uint32_t values[] = {0,          1,          2,          3,          0xFFFFFFFF, 0x7FFFFFFF,
                               0x80000000, 0x8000,     0x7FFF,     0xFFFF,     0x10000,    nSize,
                               nSize - 4,  nSize - 8,  nSize + 4,  nSize / 2,  0x40000000, 0xFFFFFF00};
    return values[rng() % (sizeof values / sizeof values[0])];
}

/* One record-wise change of a whole metafile; false when it has too few records for it. The
 * header stays first and EMR_EOF last. */
bool MutateRecords(Records &records, std::minstd_rand &rng)
{
    size_t inner = records.size() - 2; /* records between the header and EOF */
    size_t pick = inner ? 1 + rng() % inner : 0;
    std::vector<uint8_t> &r = records[rng() % 8 == 0 ? 0 : pick];
    switch (rng() % 6) {
    case 0: /* a field set to an extreme */
    case 1: {
        if (r.size() <= 8)
            return false;
        size_t at = 8 + 4 * (rng() % ((r.size() - 8) / 4));
        uint32_t v = Extreme(rng, (uint32_t)r.size());
        if (rng() % 4 == 0)
            r[at] = (uint8_t)v, r[at + 1] = (uint8_t)(v >> 8);
        else
            Put32(r, at, v);
        return true;
    }
    case 2: { /* grown by up to 64 bytes, or cut short */
        size_t words = 1 + rng() % 16;
        if (rng() % 2 || r.size() - 8 < 4 * words)
            r.resize(r.size() + 4 * words, rng() % 2 ? 0 : 0xFF);
        else
            r.resize(r.size() - 4 * words);
        Put32(r, 4, (uint32_t)r.size());
        return true;
    }
    case 3: /* repeated */
        if (!inner)
            return false;
    {
        std::vector<uint8_t> copy = records[pick];
        records.insert(records.begin() + 1 + rng() % (inner + 1), copy);
        return true;
    }
    case 4: /* removed */
        if (!inner)
            return false;
        records.erase(records.begin() + pick);
        return true;
    default: { /* moved */
        if (inner < 2)
            return false;
        std::vector<uint8_t> moved = records[pick];
        records.erase(records.begin() + pick);
        records.insert(records.begin() + 1 + rng() % (inner - 1), moved);
        return true;
    }
    }
}

/* The device of a whole metafile made to fit a kPageSide square, its millimetres kept: the
 * raster page and the PDF page, both drawn at the device's own pixels, stay small. */
void ShrinkDevice(std::vector<uint8_t> &emf)
{
    if (emf.size() < offsetof(ENHMETAHEADER, szlMillimeters))
        return;
    int32_t cx, cy;
    memcpy(&cx, &emf[offsetof(ENHMETAHEADER, szlDevice.cx)], 4);
    memcpy(&cy, &emf[offsetof(ENHMETAHEADER, szlDevice.cy)], 4);
    int32_t longer = cx > cy ? cx : cy;
    if (cx <= 0 || cy <= 0 || longer <= kPageSide)
        return;
    Put32(emf, offsetof(ENHMETAHEADER, szlDevice.cx), (uint32_t)std::max<int64_t>(1, (int64_t)cx * kPageSide / longer));
    Put32(emf, offsetof(ENHMETAHEADER, szlDevice.cy), (uint32_t)std::max<int64_t>(1, (int64_t)cy * kPageSide / longer));
}

/* The page on the raster device and, from the same walk's plan and those pixels, as a vector PDF
 * page written to /dev/null. */
void Play(std::vector<uint8_t> &emf)
{
    ShrinkDevice(emf);
    EmfFile file;
    char error[256];
    if (EmfLoadMemory(emf.data(), emf.size(), &file, error, sizeof error) < 0)
        return;
    EmfPage device;
    EmfRenderOptions options = {0, 0};
    EmfWarnings warnings;
    cairo_surface_t *page = EmfRenderPage(&file, &options, &warnings, error, sizeof error);
    if (page != NULL && (EmfGetPage(&file, &device, error, sizeof error) != 0 ||
                         cairo_image_surface_get_width(page) != device.width))
        __builtin_trap();
    EmfPdf *pdf = EmfPdfOpen("/dev/null");
    EmfPdfAddPage(pdf, &file, page, &warnings, NULL);
    EmfPdfClose(pdf, error, sizeof error);
    if (page != NULL)
        cairo_surface_destroy(page);
    EmfFree(&file);
}

} /* namespace */

/* fontconfig loses a few blocks of its own while it parses its configuration, which it loads once
 * for the process: loaded here, with the leak checker looking away, they are no input's leak. */
extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    __lsan_disable();
    FcBool loaded = FcInit();
    __lsan_enable();
    return loaded ? 0 : -1;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    bool whole = size >= 4 && data[0] == EMR_HEADER && data[1] == 0 && data[2] == 0 && data[3] == 0;
    std::vector<uint8_t> emf = whole ? std::vector<uint8_t>(data, data + size) : Wrap(data, size);
    Play(emf);
    return 0;
}

extern "C" size_t LLVMFuzzerMutate(uint8_t *data, size_t size, size_t maxSize);

extern "C" size_t LLVMFuzzerCustomMutator(uint8_t *data, size_t size, size_t maxSize, unsigned int seed)
{
    std::minstd_rand rng(seed);
    Records records = size >= 4 && data[0] == EMR_HEADER && rng() % 4 != 0 ? Split(data, size) : Records();
    if (records.empty())
        return LLVMFuzzerMutate(data, size, maxSize);
    for (int changes = 1 + rng() % 3; changes > 0; changes--)
        MutateRecords(records, rng);
    size_t joined = Join(records, data, maxSize);
    return joined ? joined : LLVMFuzzerMutate(data, size, maxSize);
}
