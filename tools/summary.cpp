/* A metafile in a few lines: its size and bounds, its records counted by type, and the objects its
 * object table still holds at the end (a job that forgot to delete what it created). */
#include "emftools.h"

#include <stdlib.h>
#include <string.h>

/* Record types that put a new object into the table slot given in their first field. */
static bool summary_creates_object(uint32_t type)
{
    switch (type) {
    case emf::EMR_CREATEPEN:
    case emf::EMR_CREATEBRUSHINDIRECT:
    case emf::EMR_EXTCREATEFONTINDIRECTW:
    case emf::EMR_CREATEMONOBRUSH:
    case emf::EMR_CREATEDIBPATTERNBRUSHPT:
    case emf::EMR_EXTCREATEPEN:
    case emf::EMR_CREATEPALETTE:
    case emf::EMR_CREATECOLORSPACE:
    case emf::EMR_CREATECOLORSPACEW:
        return true;
    default:
        return false;
    }
}

int EmfSummarize(const EmfFile *file, EmfSummary *out)
{
    memset(out, 0, sizeof *out);
    emf::ENHMETAHEADER header;
    EmfGetHeader(file, &header);
    out->slotCount = header.nHandles;
    out->creatorBySlot = (uint32_t *)calloc(header.nHandles ? header.nHandles : 1, sizeof(uint32_t));
    if (out->creatorBySlot == NULL)
        return -1;
    for (uint32_t i = 0; i < file->count; i++) {
        const EmfRecord *rec = &file->records[i];
        out->countByType[rec->iType]++;
        out->bytesByType[rec->iType] += rec->nSize;
        bool creates = summary_creates_object(rec->iType);
        if (!creates && rec->iType != emf::EMR_DELETEOBJECT)
            continue;
        uint32_t slot = EmfU32(rec, 8); /* the reader proved it a slot of the table */
        if (creates)
            out->creatorBySlot[slot] = i;
        else if (out->creatorBySlot[slot] == 0)
            out->emptyDeletes++;
        else
            out->creatorBySlot[slot] = 0;
    }
    for (uint32_t slot = 1; slot < out->slotCount; slot++)
        if (out->creatorBySlot[slot] != 0)
            out->aliveObjects++;
    return 0;
}

void EmfFreeSummary(EmfSummary *summary)
{
    free(summary->creatorBySlot);
    memset(summary, 0, sizeof *summary);
}

void EmfPrintSummary(const EmfFile *file, const EmfSummary *summary, FILE *out)
{
    emf::ENHMETAHEADER h;
    EmfGetHeader(file, &h);
    fprintf(out, "%u records, %u bytes\n", file->count, file->size);
    fprintf(out, "bounds: (%d,%d)-(%d,%d) device units\n", h.rclBounds.left, h.rclBounds.top,
            h.rclBounds.right, h.rclBounds.bottom);
    fprintf(out, "frame: (%d,%d)-(%d,%d) in 0.01 mm\n", h.rclFrame.left, h.rclFrame.top, h.rclFrame.right,
            h.rclFrame.bottom);
    fprintf(out, "device: %d x %d px, %d x %d mm\n", h.szlDevice.cx, h.szlDevice.cy, h.szlMillimeters.cx,
            h.szlMillimeters.cy);

    /* Types by count, most frequent first; equal counts in type order. */
    uint32_t order[emf::EMR_MAX + 1];
    uint32_t kinds = 0;
    for (uint32_t type = 0; type <= emf::EMR_MAX; type++)
        if (summary->countByType[type] != 0)
            order[kinds++] = type;
    for (uint32_t i = 1; i < kinds; i++)
        for (uint32_t j = i; j > 0 && summary->countByType[order[j]] > summary->countByType[order[j - 1]]; j--) {
            uint32_t t = order[j];
            order[j] = order[j - 1];
            order[j - 1] = t;
        }
    fprintf(out, "records by type:\n");
    for (uint32_t i = 0; i < kinds; i++)
        fprintf(out, "  %8u %10llu bytes  %s\n", summary->countByType[order[i]],
                (unsigned long long)summary->bytesByType[order[i]], EmfRecordName(order[i]));

    fprintf(out, "objects alive at the end: %u of %u slots\n", summary->aliveObjects,
            summary->slotCount ? summary->slotCount - 1 : 0);
    for (uint32_t slot = 1; slot < summary->slotCount; slot++) {
        uint32_t creator = summary->creatorBySlot[slot];
        if (creator != 0)
            fprintf(out, "  slot %u: %s (record #%u)\n", slot, EmfRecordName(file->records[creator].iType),
                    creator);
    }
    if (summary->emptyDeletes != 0)
        fprintf(out, "deletes of an empty slot: %u\n", summary->emptyDeletes);
}
