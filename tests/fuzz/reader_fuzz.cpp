/* libFuzzer target over the EMF reader: any bytes as a metafile. A file that loads must keep what
 * the reader promises its consumers (emf_reader.h): a header first and one EMR_EOF last, records
 * of defined types whose sizes are non-zero multiples of 4 that tile the file exactly, each
 * record's data the file's own bytes, and field reads that stay inside their record. A file that
 * is refused leaves a zeroed result and a terminated reason, whatever room the reason has. */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "emf_reader.h"
#include "fuzz_input.h"

namespace {

void Fail(const char *what, uint32_t index)
{
    fprintf(stderr, "record %u: %s\n", index, what);
    abort();
}

/* Every promise of a loaded file, checked record by record; every byte of each is read. */
void CheckLoaded(const EmfFile *file, const uint8_t *data, size_t size)
{
    if (file->size != size || memcmp(file->bytes, data, size) != 0)
        Fail("the file's bytes are not the input's", 0);
    if (file->count < 2 || file->records[0].iType != emf::EMR_HEADER ||
        file->records[file->count - 1].iType != emf::EMR_EOF)
        Fail("no header first or no EOF last", 0);
    uint32_t at = 0, sum = 0;
    for (uint32_t i = 0; i < file->count; i++) {
        const EmfRecord *r = &file->records[i];
        if (r->offset != at || r->data != file->bytes + at || r->nSize < 8 || r->nSize % 4 != 0 ||
            r->nSize > file->size - at)
            Fail("the records do not tile the file", i);
        if (EmfU32(r, 0) != r->iType || EmfU32(r, 4) != r->nSize || EmfRecordName(r->iType) == NULL)
            Fail("a record's type or size is not its bytes'", i);
        if (i + 1 < file->count && r->iType == emf::EMR_EOF)
            Fail("an EOF before the last record", i);
        for (uint32_t b = 0; b < r->nSize; b++)
            sum += r->data[b];
        if (EmfU32(r, r->nSize - 2) != 0 || EmfU16(r, r->nSize - 1) != 0 || EmfU32(r, UINT32_MAX) != 0)
            Fail("a field read past the record's end gave a value", i);
        at += r->nSize;
    }
    if (at != file->size)
        Fail("the records do not reach the end of the file", file->count);
    emf::ENHMETAHEADER header;
    EmfGetHeader(file, &header);
    if (header.nBytes != file->size || header.dSignature != emf::ENHMETA_SIGNATURE)
        Fail("the header does not describe the file", 0);
    volatile uint32_t keep = sum; /* the reads above must not be optimised away */
    (void)keep;
}

} /* namespace */

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    char error[256];
    size_t room = FuzzReasonRoom(data, size, error, sizeof error);
    EmfFile file;
    if (EmfLoadMemory(data, size, &file, error, room) == 0) {
        CheckLoaded(&file, data, size);
        EmfFree(&file);
        return 0;
    }
    if (file.bytes != NULL || file.records != NULL || file.count != 0 || file.size != 0)
        Fail("a refused file left a result", 0);
    FuzzCheckReason(error, room, sizeof error);
    return 0;
}
