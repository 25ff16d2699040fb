/* The PDF cairo writes, copied with its images compressed anew: cairo deflates an image's samples
 * as they are, which leaves a smooth picture (a colour wheel, a photograph) nearly as large as
 * its raw bytes; each row predicted from the one above and the pixel before it first, as PNG
 * does, it shrinks to a fraction. The copy is object by object, one object in memory at a time,
 * every object at its new place in a new cross-reference table. */
#include "player_private.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <zlib.h>

#include <map>
#include <string>
#include <vector>

namespace {

struct Repack {
    FILE *in, *out;
    std::map<long, long> offsets;      /* object number -> where it now starts */
    std::map<long, long> lengths;      /* length object number -> its new value */
};

/* Reads up to and with the line end; false at the end of the file. */
bool repack_line(FILE *in, std::string *line)
{
    line->clear();
    for (int c; (c = fgetc(in)) != EOF;) {
        line->push_back((char)c);
        if (c == '\n')
            return true;
    }
    return !line->empty();
}

/* The number after key in dict, or -1. */
long repack_number(const std::string &dict, const char *key)
{
    size_t at = dict.find(key);
    return at == std::string::npos ? -1 : strtol(dict.c_str() + at + strlen(key), NULL, 10);
}

/* Reads a stream's bytes up to "endstream" (cairo ends the data with a line end before it). */
bool repack_stream(FILE *in, std::vector<uint8_t> *data)
{
    static const char kEnd[] = "\nendstream\n";
    const size_t n = sizeof kEnd - 1;
    data->clear();
    for (int c; (c = fgetc(in)) != EOF;) {
        data->push_back((uint8_t)c);
        if (c == '\n' && data->size() >= n && memcmp(data->data() + data->size() - n, kEnd, n) == 0) {
            data->resize(data->size() - n);
            return true;
        }
    }
    return false;
}

uint8_t repack_paeth(int a, int b, int c)
{
    int p = a + b - c, pa = abs(p - a), pb = abs(p - b), pc = abs(p - c);
    return (uint8_t)(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

/* rows (height of them, rowBytes each, bpp bytes a pixel) with a PNG filter byte before each:
 * per row the filter of the smallest sum of magnitudes, as PNG encoders choose. */
std::vector<uint8_t> repack_predict(const std::vector<uint8_t> &rows, size_t rowBytes, size_t bpp)
{
    std::vector<uint8_t> out;
    std::vector<uint8_t> zero(rowBytes, 0), trial[5];
    for (size_t y = 0; y * rowBytes < rows.size(); y++) {
        const uint8_t *r = &rows[y * rowBytes], *up = y ? &rows[(y - 1) * rowBytes] : zero.data();
        size_t best = 0;
        uint64_t bestSum = UINT64_MAX;
        for (size_t f = 0; f < 5; f++) {
            trial[f].resize(rowBytes);
            uint64_t sum = 0;
            for (size_t i = 0; i < rowBytes; i++) {
                int a = i >= bpp ? r[i - bpp] : 0, b = up[i], c = i >= bpp ? up[i - bpp] : 0;
                int predicted = f == 0 ? 0 : f == 1 ? a : f == 2 ? b : f == 3 ? (a + b) / 2 : repack_paeth(a, b, c);
                uint8_t v = (uint8_t)(r[i] - predicted);
                trial[f][i] = v;
                sum += v < 128 ? v : 256 - v;
            }
            if (sum < bestSum)
                bestSum = sum, best = f;
        }
        out.push_back((uint8_t)best);
        out.insert(out.end(), trial[best].begin(), trial[best].end());
    }
    return out;
}

bool repack_inflate(const std::vector<uint8_t> &in, size_t size, std::vector<uint8_t> *out)
{
    out->resize(size);
    uLongf got = (uLongf)size;
    return uncompress(out->data(), &got, in.data(), (uLong)in.size()) == Z_OK && got == size;
}

bool repack_deflate(const std::vector<uint8_t> &in, std::vector<uint8_t> *out)
{
    uLongf size = compressBound((uLong)in.size());
    out->resize(size);
    if (compress2(out->data(), &size, in.data(), (uLong)in.size(), Z_DEFAULT_COMPRESSION) != Z_OK)
        return false;
    out->resize(size);
    return true;
}

/* An image of 8-bit samples, deflated without a predictor, written anew with one where that is
 * smaller: its dictionary then names the predictor, and its length object the new length. */
void repack_image(Repack *r, std::string *dict, std::vector<uint8_t> *data)
{
    long width = repack_number(*dict, "/Width "), height = repack_number(*dict, "/Height ");
    long lengthObject = repack_number(*dict, "/Length ");
    size_t colors = dict->find("/DeviceRGB") != std::string::npos    ? 3
                    : dict->find("/DeviceGray") != std::string::npos ? 1
                                                                      : 0;
    if (colors == 0 || width <= 0 || height <= 0 || dict->find("/DecodeParms") != std::string::npos ||
        dict->find("/BitsPerComponent 8") == std::string::npos ||
        dict->find("/Filter /FlateDecode") == std::string::npos ||
        repack_number(*dict, "/Length ") < 0 || dict->find(" 0 R", dict->find("/Length ")) == std::string::npos ||
        (double)width * height * colors > (double)(1u << 30))
        return;
    std::vector<uint8_t> rows, packed;
    if (!repack_inflate(*data, (size_t)width * height * colors, &rows) ||
        !repack_deflate(repack_predict(rows, (size_t)width * colors, colors), &packed) ||
        packed.size() >= data->size())
        return;
    char parms[128];
    snprintf(parms, sizeof parms, "   /DecodeParms << /Predictor 15 /Colors %zu /BitsPerComponent 8 /Columns %ld >>\n",
             colors, width);
    dict->insert(dict->rfind(">>"), parms);
    data->swap(packed);
    r->lengths[lengthObject] = (long)data->size();
}

/* Copies one object, its first line read; false after a failure. */
bool repack_object(Repack *r, long number, const std::string &first)
{
    r->offsets[number] = ftell(r->out);
    fputs(first.c_str(), r->out);
    std::string dict, line;
    while (repack_line(r->in, &line)) {
        if (line == "endobj\n") {
            auto length = r->lengths.find(number);
            if (length != r->lengths.end() && dict.find("<<") == std::string::npos)
                fprintf(r->out, "%ld\n", length->second);
            else
                fputs(dict.c_str(), r->out);
            fputs(line.c_str(), r->out);
            return true;
        }
        if (line == "stream\n") {
            std::vector<uint8_t> data;
            if (!repack_stream(r->in, &data))
                return false;
            if (dict.find("/Subtype /Image") != std::string::npos)
                repack_image(r, &dict, &data);
            fputs(dict.c_str(), r->out);
            fputs(line.c_str(), r->out);
            fwrite(data.data(), 1, data.size(), r->out);
            fputs("\nendstream\n", r->out);
            dict.clear();
            continue;
        }
        dict += line;
    }
    return false;
}

/* A cross-reference table of every object's new place, then the trailer as cairo wrote it. */
bool repack_xref(Repack *r)
{
    std::string line, trailer;
    if (!repack_line(r->in, &line) || line.compare(0, 2, "0 ") != 0)
        return false;
    long count = strtol(line.c_str() + 2, NULL, 10);
    while (repack_line(r->in, &line) && line != "trailer\n") {
    }
    while (repack_line(r->in, &line) && line != "startxref\n")
        trailer += line;
    long at = ftell(r->out);
    fprintf(r->out, "xref\n0 %ld\n0000000000 65535 f \n", count);
    for (long i = 1; i < count; i++) {
        auto o = r->offsets.find(i);
        if (o == r->offsets.end())
            fputs("0000000000 65535 f \n", r->out);
        else
            fprintf(r->out, "%010ld 00000 n \n", o->second);
    }
    fprintf(r->out, "trailer\n%sstartxref\n%ld\n%%%%EOF\n", trailer.c_str(), at);
    return true;
}

} // namespace

int repack_pdf(FILE *from, const char *to, char *error, size_t errorSize)
{
    rewind(from);
    Repack r = {from, fopen(to, "wb"), {}, {}};
    bool ok = r.in && r.out;
    bool xref = false;
    std::string line;
    while (ok && repack_line(r.in, &line)) {
        long number, generation;
        if (line == "xref\n") {
            ok = xref = repack_xref(&r);
            break;
        }
        if (sscanf(line.c_str(), "%ld %ld obj", &number, &generation) == 2)
            ok = repack_object(&r, number, line);
        else
            fputs(line.c_str(), r.out); /* the header and its binary comment */
    }
    if (r.out && (ferror(r.out) | fclose(r.out)) != 0)
        ok = false;
    if (r.out == NULL)
        snprintf(error, errorSize, "%s cannot be written", to);
    else if (!ok || !xref)
        snprintf(error, errorSize, "the PDF could not be written whole");
    return r.out && ok && xref ? 0 : -1;
}
