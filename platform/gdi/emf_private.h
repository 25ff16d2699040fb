/* Shared by the recorder and the metafile object table (the recorder's state is in gdi_private.h). */
#ifndef TAVLINQX_EMF_PRIVATE_H
#define TAVLINQX_EMF_PRIVATE_H

#include "gdi_private.h"

/* The open recorders, for DeleteObject. */
EmfRecorder *emf_open_recorders(void);

/* Frees the object table at close. */
void emf_objects_free(EmfRecorder *rec);

#endif
