/* The location subsystem: settings store, detection, rules and address watch. */
#ifndef QUORVEL_LOCATIONS_H
#define QUORVEL_LOCATIONS_H

#include <winsock2.h>
#include <windows.h>

#define SETTINGS_KEY "SOFTWARE\\Brennick\\Quorvel\\Settings"

/* Fills AutoSettings from the registry, or the defaults when nothing is stored. */
void LoadSettings(void);
/* Writes the whole of AutoSettings: the values, then the location list anew. */
void SaveSettings(void);

/* The host's own IPv4 addresses, first one first, as name resolution gives
   them; NULL when the name cannot be taken or resolved. */
const struct hostent *ResolveHostAddresses(void);
/* Sets szCurrentLocation from the host's addresses and the location ranges. */
void DetectLocation(void);
/* Row of a printer name in PrinterTable (exact, case-sensitive), or -1. */
int FindPrinterRow(const char *pszName);
/* Makes the current location's printer (or the no-match printer) the default. */
void ApplyLocation(void);

/* Starts Windows Sockets and makes the watch socket; 1 when sockets started. */
int StartAddressWatch(void);
/* Asks for one MSG_ADDRESS_CHANGED at the next change of the address list. */
void ArmAddressWatch(HWND hwnd);

#endif
