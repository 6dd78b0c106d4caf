/* The location subsystem: settings store, detection, rules and address watch. */
#ifndef QUORVEL_LOCATIONS_H
#define QUORVEL_LOCATIONS_H

#include <winsock2.h>
#include <windows.h>

#include "../core/records.h"

#define SETTINGS_KEY "SOFTWARE\\Brennick\\Quorvel\\Settings"

/* Fills AutoSettings from the registry, or the defaults when nothing is stored.
   Asks only to read: a key that users may not change still loads. */
void LoadSettings(void);
/* Writes the whole of a settings record: the values, then the location list
   anew. FALSE when any part of it could not be written (a key made read-only
   by an administrator, say); what could be written stays written. */
BOOL WriteSettings(const AutoSettingsRecord *pSettings);
/* WriteSettings of AutoSettings. */
BOOL SaveSettings(void);

/* The host's own IPv4 addresses, first one first, as name resolution gives
   them; NULL when the name cannot be taken or resolved. */
const struct hostent *ResolveHostAddresses(void);
/* Sets szCurrentLocation from the host's addresses and the location ranges. */
void DetectLocation(void);
/* Row of a printer name in PrinterTable (exact, case-sensitive), or -1; rows
   of printers the code page cannot hold never match. */
int FindPrinterRow(const char *pszName);
/* Makes the current location's printer (or the no-match printer) the default. */
void ApplyLocation(void);

/* Starts Windows Sockets and makes the watch socket; 1 when sockets started. */
int StartAddressWatch(void);
/* Asks for one MSG_ADDRESS_CHANGED at the next change of the address list. */
void ArmAddressWatch(HWND hwnd);

#endif
