/* The working parts of the EMF record lister and the EMF comparator, shared by the two programs and
 * their tests. Both take files that EmfLoadFile/EmfLoadMemory accepted. */
#ifndef TAVLINQX_EMFTOOLS_H
#define TAVLINQX_EMFTOOLS_H

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include "emf_reader.h"

/* Writes the one-line description of record index ("#1 @108 POLYGON16 size=40 bounds=...") into
 * line, cut to lineSize - 1 characters and NUL-terminated when lineSize > 0. Returns the length
 * of the whole line, so a result >= lineSize means it was cut. */
size_t EmfFormatRecord(const EmfFile *file, uint32_t index, char *line, size_t lineSize);

/* Where two files first differ. */
struct EmfDiff {
    uint32_t index;    /* record index */
    uint32_t at;       /* byte inside the record */
    const char *field; /* name of the field holding that byte; "" when not known */
};

/* Adds the exclusion called name to *mask. Returns -1, leaving *mask unchanged, for an unknown
 * name. */
int EmfCompareExclude(const char *name, uint32_t *mask);

/* Lists every exclusion name with the fields it covers and why it may be excluded. */
void EmfCompareListExclusions(FILE *out);

/* Compares record by record: in order the same types, sizes and bytes, except the bytes the
 * exclusions in mask cover (a different count shows as a different record). The header's nBytes and nRecords are not compared as bytes: the
 * reader proved they equal the file size and the record count, which the walk compares. Returns 0
 * when the files match, 1 when they differ, with *diff saying where first. */
int EmfCompareFiles(const EmfFile *a, const EmfFile *b, uint32_t mask, EmfDiff *diff);

/* Prints the record's bytes as lines ready to paste into a C array, headed by label. A long
 * record is shown as its start and the lines around byte at. */
void EmfDumpRecord(FILE *out, const char *label, const EmfRecord *rec, uint32_t at);

/* What EmfSummarize counts. */
struct EmfSummary {
    uint32_t countByType[emf::EMR_MAX + 1];
    uint64_t bytesByType[emf::EMR_MAX + 1];
    uint32_t slotCount;      /* the header's nHandles: slot 0 is the metafile itself */
    uint32_t *creatorBySlot; /* slotCount entries, owned: index of the record that made the object
                                still in the slot at the end, 0 for an empty slot */
    uint32_t aliveObjects;   /* slots still holding an object at the end */
    uint32_t emptyDeletes;   /* EMR_DELETEOBJECT of a slot that held nothing */
};

/* Counts the records by type and follows the object table through the file. Returns 0, or -1
 * when memory runs out; the caller releases a filled summary with EmfFreeSummary. */
int EmfSummarize(const EmfFile *file, EmfSummary *out);
void EmfFreeSummary(EmfSummary *summary);

/* Prints the summary: size, bounds, frame and device, counts by type (most frequent first), the
 * objects alive at the end with the records that made them, and deletes of empty slots. */
void EmfPrintSummary(const EmfFile *file, const EmfSummary *summary, FILE *out);

#endif
