/* The object table of a metafile: which object each index holds, creation records at an object's
 * first selection, EMR_SELECTOBJECT and EMR_DELETEOBJECT. Index 0 is the metafile itself. */
#include "emf_private.h"
#include "text_private.h"

#include <stdlib.h>

namespace {

uint32_t table_find(const EmfRecorder *rec, HGDIOBJ h)
{
    for (uint32_t i = 1; i < rec->slotsEnd; i++)
        if (rec->slots[i] == h)
            return i;
    return 0;
}

/* The lowest free index, growing the table when all are taken; 0 when memory runs out. */
uint32_t table_take(EmfRecorder *rec, HGDIOBJ h)
{
    uint32_t i = 1;
    while (i < rec->slotsEnd && rec->slots[i])
        i++;
    if (i >= rec->slotCount) {
        uint32_t count = rec->slotCount ? 2 * rec->slotCount : 16;
        HGDIOBJ *grown = (HGDIOBJ *)realloc(rec->slots, count * sizeof *grown);
        if (!grown)
            return 0;
        for (uint32_t j = rec->slotCount; j < count; j++)
            grown[j] = NULL;
        rec->slots = grown;
        rec->slotCount = count;
    }
    rec->slots[i] = h;
    if (i >= rec->slotsEnd)
        rec->slotsEnd = i + 1;
    if (++rec->slotsInUse > rec->maxSlotsInUse)
        rec->maxSlotsInUse = rec->slotsInUse;
    return i;
}

void table_release(EmfRecorder *rec, uint32_t i)
{
    rec->slots[i] = NULL;
    rec->slotsInUse--;
}

bool table_create(GdiDC *dc, const HandleEntry *e, uint32_t i)
{
    switch (e->type) {
    case OBJ_PEN:
    case OBJ_EXTPEN:
        return pen_record_create(dc, (const GdiPen *)e->payload, i);
    case OBJ_BRUSH:
        return brush_record_create(dc, (const GdiBrush *)e->payload, i);
    case OBJ_FONT:
        return font_record_create(dc, (const GdiFont *)e->payload, i);
    default:
        return false;
    }
}

} /* namespace */

bool emf_select_object(GdiDC *dc, HGDIOBJ h, HandleEntry *e)
{
    EmfRecorder *rec = dc->emf;
    uint32_t i = e->inMetafile ? table_find(rec, h) : 0;
    if (i == 0) {
        i = table_take(rec, h);
        if (i == 0)
            return false;
        if (!table_create(dc, e, i)) {
            table_release(rec, i);
            return false;
        }
        e->inMetafile = true;
    }
    return emf_record_value(dc, emf::EMR_SELECTOBJECT, i);
}

void emf_forget_object(HGDIOBJ h)
{
    for (EmfRecorder *rec = g_openRecorders; rec; rec = rec->next) {
        uint32_t i = table_find(rec, h);
        if (i == 0)
            continue;
        emf_record_value(rec->dc, emf::EMR_DELETEOBJECT, i);
        table_release(rec, i);
    }
}

void emf_objects_free(EmfRecorder *rec)
{
    free(rec->slots);
    rec->slots = NULL;
    rec->slotCount = 0;
    rec->slotsEnd = 0;
}
