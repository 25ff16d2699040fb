/* The metafile recorder's state, shared by the recorder and the metafile object table. */
#ifndef TAVLINQX_EMF_PRIVATE_H
#define TAVLINQX_EMF_PRIVATE_H

#include "gdi_private.h"

struct EmfRecorder {
    GdiDC *dc;
    int fd;
    uint8_t *buffer;       /* records not yet written to fd */
    uint32_t buffered;
    uint32_t capacity;     /* of buffer: 64 KiB, or the largest record built in place */
    bool failed;           /* a record was lost: CloseEnhMetaFile fails */
    DWORD error;           /* the last error of the first failure */
    uint32_t nBytes;       /* header included */
    uint32_t nRecords;     /* header included */
    bool haveBounds;
    emf::RECTL bounds;     /* device units, inclusive */
    bool haveFrame;
    emf::RECTL frame;      /* as passed to CreateEnhMetaFileA */
    uint8_t *description;  /* UTF-16LE, zero-padded to 4 bytes; NULL when none */
    uint32_t nDescription; /* UTF-16 units */
    HGDIOBJ *slots;        /* object table: slots[i] holds the object of index i; slot 0 unused */
    uint32_t slotCount;
    uint32_t slotsEnd;     /* every index from here on is free: the searches stop here */
    uint32_t slotsInUse, maxSlotsInUse;
    EmfRecorder *next;     /* the open recorders, newest first */
};

/* The open recorders, for DeleteObject. */
EmfRecorder *emf_open_recorders(void);

/* Frees the object table at close. */
void emf_objects_free(EmfRecorder *rec);

#endif
