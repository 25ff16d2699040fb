/* Loading an enhanced metafile and walking its records, with the structural checks every reader
 * of our files relies on.
 *
 * A file that loads has: a header record first (signature, sizes and counts that agree with the
 * file), records of the types [MS-EMF] defines whose sizes are non-zero multiples of 4 that tile
 * the file exactly, one EMR_EOF as the last record, and, for the record types we write, counts
 * and offsets that stay inside their record. Consumers may then read any fixed field of such a record without further checks.
 *
 * Convention: functions returning int give 0 on success and -1 on failure.
 */
#ifndef TAVLINQX_EMF_READER_H
#define TAVLINQX_EMF_READER_H

#include <stddef.h>
#include <stdint.h>

#include "emf_format.h"

struct EmfRecord {
    uint32_t iType;
    uint32_t nSize;
    uint32_t offset;     /* from the start of the file */
    const uint8_t *data; /* the record's nSize bytes, inside EmfFile.bytes */
};

struct EmfFile {
    uint8_t *bytes;      /* the whole file, owned */
    uint32_t size;
    EmfRecord *records;  /* count entries, owned; records[0] is the header */
    uint32_t count;
};

/* Reads and checks the file at path. On success fills *out, which the caller releases with
 * EmfFree. On failure returns -1, leaves *out zeroed, and writes a message without the path into
 * error (NUL-terminated when errorSize > 0): the system's reason when the file cannot be read,
 * else what is wrong and where ("record 2 at offset 148: ..."). */
int EmfLoadFile(const char *path, EmfFile *out, char *error, size_t errorSize);

/* As EmfLoadFile for size bytes in memory; the bytes are copied, data may be freed afterwards. */
int EmfLoadMemory(const void *data, size_t size, EmfFile *out, char *error, size_t errorSize);

/* Releases what a successful load allocated and zeroes *file; a zeroed file is accepted. */
void EmfFree(EmfFile *file);

/* The [MS-EMF] name of a record type without its "EMR_" prefix ("POLYGON16"), or NULL for a
 * value that names no record type. */
const char *EmfRecordName(uint32_t iType);

/* Copies the first size bytes of the record into out (a layout from emf_format.h). Returns -1,
 * leaving out unchanged, when the record is shorter than size. */
int EmfRecordFixed(const EmfRecord *rec, void *out, size_t size);

/* The header with the fields a short (88- or 100-byte) header lacks set to zero. */
void EmfGetHeader(const EmfFile *file, emf::ENHMETAHEADER *out);

/* Little-endian fields at byte offset off of the record; 0 when the field does not lie wholly
 * inside the record. */
uint32_t EmfU32(const EmfRecord *rec, uint32_t off);
int32_t EmfI32(const EmfRecord *rec, uint32_t off);
uint16_t EmfU16(const EmfRecord *rec, uint32_t off);
int16_t EmfI16(const EmfRecord *rec, uint32_t off);

#endif
