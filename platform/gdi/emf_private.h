/* Shared by the recorder and the metafile object table (the recorder's state is in gdi_private.h). */
#ifndef TAVLINQX_EMF_PRIVATE_H
#define TAVLINQX_EMF_PRIVATE_H

#include "gdi_private.h"

/* The open recorders, newest first, for DeleteObject; under the GDI lock. */
extern EmfRecorder *g_openRecorders;

/* Frees the object table at close. */
void emf_objects_free(EmfRecorder *rec);

#endif
