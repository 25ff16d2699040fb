/* A printer DEVMODEA for the tests: the fields named set, orientation and paper, the rest zero. */
#ifndef TAVLINQX_TESTS_DEVMODE_H
#define TAVLINQX_TESTS_DEVMODE_H

#include <string.h>

#include "winapi.h"

inline DEVMODEA TestDevmode(DWORD fields, short orientation, short paper)
{
    DEVMODEA dm;
    memset(&dm, 0, sizeof dm);
    dm.dmSize = sizeof dm;
    dm.dmFields = fields;
    dm.dmOrientation = orientation;
    dm.dmPaperSize = paper;
    return dm;
}

#endif
