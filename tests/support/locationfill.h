// Fills one location of the process's settings the way the configuration
// dialog would, texts cut to their fields.
#ifndef QUORVEL_LOCATIONFILL_H
#define QUORVEL_LOCATIONFILL_H

#include <windows.h>

#include "core/state.h"

inline void SetLocation(int i, const char *name, const char *printer, const char *start,
                        const char *finish)
{
    LocationRecord *r = &AutoSettings.locations[i];
    lstrcpynA(r->szLocationName, name, NAME_FIELD_SIZE);
    lstrcpynA(r->szPrinterName, printer, NAME_FIELD_SIZE);
    lstrcpynA(r->szIPStart, start, NAME_FIELD_SIZE);
    lstrcpynA(r->szIPFinish, finish, NAME_FIELD_SIZE);
}

#endif
