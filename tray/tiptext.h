/* Tray tip composition, kept apart from the shell call so it can be tested. */
#ifndef QUORVEL_TIPTEXT_H
#define QUORVEL_TIPTEXT_H

#include <stddef.h>
#include "../core/records.h"

/* Longest combination: a 254-character name, " (", a 255-character location,
   ")" and the NUL. */
#define TIP_WORK_SIZE 513
/* A combined text of up to this many characters keeps the location. */
#define TIP_COMBINED_LIMIT 64

/* Fills pszTip (TIP_FIELD_SIZE bytes) with the tip for the default printer
   pszPrinter: "printer (location)" while automatic switching is on, a
   location is known (pszLocation neither NULL nor empty) and that fits,
   otherwise the printer alone; cut to the field. */
void ComposeTrayTip(const char *pszPrinter, int bSetByIP, const char *pszLocation,
                    char *pszTip);

#endif
