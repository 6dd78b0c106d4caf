/* Checks on stored settings, over plain data: whatever the registry holds, a
   load ends with texts terminated inside their fields and at most ten
   locations in effect. */
#ifndef QUORVEL_SETTINGSLOGIC_H
#define QUORVEL_SETTINGSLOGIC_H

#include <stddef.h>

/* Locations in effect after a load: none when the stored count and the number
   of location subkeys disagree; at most ten when they agree. */
int CountInEffect(int iStoredCount, unsigned long cSubKeys);

/* Locations any walk of the list may visit: never more than the ten
   records; a negative count is left for the walk's loop to skip. */
int CapLocationCount(int iCount);

/* Location subkeys a load reads: the subkeys present, but never past the ten
   records there are. */
unsigned long SubKeysToRead(unsigned long cSubKeys);

/* Terminates a text the registry put into a field of cchField bytes, cbData
   being the bytes it wrote: a text stored without its NUL is taken with its
   stored length, one that filled the field is cut to cchField - 1. */
void TerminateStoredText(char *pszField, size_t cchField, unsigned long cbData);

#endif
