/* The location subsystem: settings store, detection, rules and address watch. */
#ifndef QUORVEL_LOCATIONS_H
#define QUORVEL_LOCATIONS_H

#include <winsock2.h>
#include <windows.h>

#include <stddef.h>
#include <stdint.h>

#include "../core/records.h"

#define SETTINGS_KEY "SOFTWARE\\Brennick\\Quorvel\\Settings"

/* Fills AutoSettings from the registry, or the defaults when nothing is stored.
   Asks only to read: a key that users may not change still loads. */
void LoadSettings(void);
/* What a save came to. */
#define SAVE_WRITTEN            0
/* Some part was refused (a key made read-only by an administrator, say);
   the store holds exactly what it held before. */
#define SAVE_REFUSED            1
/* Some part was refused, and what was written could not all be put back. */
#define SAVE_LEFT_CHANGED       2
/* Writes the whole of a settings record, the location list anew and then
   the values, or nothing: a SAVE_ value. */
int WriteSettings(const AutoSettingsRecord *pSettings);
/* WriteSettings of AutoSettings; TRUE when it was written. */
BOOL SaveSettings(void);

/* The host's own IPv4 addresses, first one first, as name resolution gives
   them; NULL when the name cannot be taken or resolved. */
const struct hostent *ResolveHostAddresses(void);
/* Sets szCurrentLocation from the host's addresses, the location ranges and
   their routers; a router not known yet counts as none. */
void DetectLocation(void);

/* Row of the location that last matched, or -1 for none. */
extern int iMatchedLocation;

/* Why a detection runs, which says whether a delayed decision applies. */
#define DETECT_AT_START         0
#define DETECT_ON_CHANGE        1
#define DETECT_ON_SAVE          2

/* The one-shot timer of the wait for a router, on the main window. */
#define TIMER_ROUTER_WAIT       1021

/* Detects the location. When a location's range holds the host's address
   but the router it requires is not known yet, it asks the system to learn
   it, leaves szCurrentLocation as it was, starts the wait and returns FALSE;
   TRUE when the location was decided now. */
BOOL DetectLocationOrWait(HWND hwnd, int iWhy);

#define WAIT_GOING              0
#define WAIT_DECIDED            1
#define WAIT_APPLY              2
/* A tick of the wait's timer: looks again, and decides on the last tick.
   WAIT_APPLY when the decided location is to be applied now, WAIT_DECIDED
   when only the tip changes, WAIT_GOING while the wait goes on. */
int ContinueRouterWait(HWND hwnd);
/* Ends a wait without deciding (the window is closing). */
void StopRouterWait(HWND hwnd);
/* The first printer listing asks whether it applies the rules itself: FALSE
   while a wait at start decides, which then applies them when it ends. */
BOOL TakeFirstApply(void);

/* The IP helper library and its three tables can be read on this system. */
int IsRouterCheckAvailable(void);
/* Reads the address, route and neighbour tables afresh; 0 when this system
   cannot. */
int LoadRouterTables(void);
/* The router behind a host address (host order) in the tables last read: a
   ROUTER_ value, its bytes when known, its gateway whenever there is one. */
int FindRouter(uint32_t uAddress, unsigned char *pbRouter, uint32_t *puGateway);
/* Reads the tables and gives the router behind an address as text when known
   ("" otherwise), with its ROUTER_ value; a router not known yet is asked
   for, as the wait does. */
int ReadRouterText(uint32_t uAddress, char *pszText, size_t cchText);
/* Sends one empty datagram to a gateway (host order), never waiting. */
void AskForRouter(uint32_t uGateway);
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
