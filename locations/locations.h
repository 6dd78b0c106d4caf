/* The location subsystem: settings store, detection, rules and address watch. */
#ifndef QUORVEL_LOCATIONS_H
#define QUORVEL_LOCATIONS_H

#include <winsock2.h>
#include <windows.h>

#include <stddef.h>
#include <stdint.h>

#include "../core/records.h"
#include "policylogic.h"
#include "routerlogic.h"

#define SETTINGS_KEY "SOFTWARE\\Brennick\\Quorvel\\Settings"

/* The policies as last read, from the keys Group Policy writes under
   HKEY_LOCAL_MACHINE (the machine's) and HKEY_CURRENT_USER (the user's):
   each as its key held them. */
extern PolicyRecord MachinePolicy;
extern PolicyRecord UserPolicy;
/* Reads both policy keys afresh (at start, and at each policy refresh);
   1 when they now hold anything other than before. */
int LoadPolicies(void);

/* The settings in force, derived afresh at each call from AutoSettings
   (the user's own, as stored) and the policies as last read: per value the
   machine's policy, else the user's policy, else the user's own. Everything
   that acts on a setting reads it here; only the configuration dialog and
   the store read AutoSettings. The record's list is the user's own rows:
   detection walks the rows below. */
const AutoSettingsRecord *GetSettingsInForce(void);
/* The POLICY_ bits of what the policies manage (policylogic.h). */
unsigned int GetManagedSettings(void);

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

/* The rows detection tries, in order, and how many there are (never more
   than MAX_DETECTION_ROWS): the managed rows first, then the user's own
   unless the policies do not allow them. The user's own rows stay stored
   whatever the policies say. */
#define MAX_DETECTION_ROWS      MAX_LOCATIONS_IN_FORCE
int CountDetectionRows(void);
const LocationRecord *GetDetectionRow(int i);
/* How many of those rows, from the first, are managed. */
int CountManagedRows(void);

/* No host has more addresses; past them the resolver's list is not read. */
#define MAX_HOST_ADDRESSES      32

/* The host's addresses as one look saw them, in the order detection tries
   them: those with a default route first (lowest metric first), then the
   rest as name resolution lists them. */
typedef struct HostReading {
    HostAddress aHosts[MAX_HOST_ADDRESSES];
    int cHosts;
    /* This system can tell routes and routers (the IP helper library). */
    int bHelper;
    /* The routes were read: each address is marked routed or not. */
    int bRoutesKnown;
    /* The neighbour table was read too: FindRouter answers for them. */
    int bRoutersRead;
    /* The detection rows' ranges and routers, read with the addresses. */
    BoundRange aRanges[MAX_DETECTION_ROWS];
    int cRanges;
} HostReading;

/* Resolves the host's addresses, reads the detection rows' ranges, and
   reads the tables that the addresses' order and the rows' routers need. */
void ReadHost(HostReading *pReading);
/* The first address of that order, in network order; 0 when there is none. */
u_long ReadFirstHostAddress(void);

/* Sets szCurrentLocation, iMatchedLocation and the current router from a
   reading and returns MATCH_DECIDED; or returns MATCH_WAIT, leaving them as
   they were, with the gateway to ask in *puGateway, when a row's router is
   not known yet and bFinal is 0. */
int FindLocation(const HostReading *pReading, int bFinal, uint32_t *puGateway);
/* Reads the host and decides at once; a router not known yet counts as none. */
void DetectLocation(void);

/* Row of the detection rows that last matched, or -1 for none. */
extern int iMatchedLocation;
/* The router behind the host address that decided (a ROUTER_ value), and
   its bytes when known: a row tied to another router never switches. */
extern int iCurrentRouter;
extern unsigned char abCurrentRouter[HARDWARE_ADDRESS_LENGTH];

/* The IP helper library and its three tables can be read on this system. */
int IsRouterCheckAvailable(void);
/* Reads the route table afresh, and the address table too when bAddresses
   and some default route exists; 0 when this system cannot. */
int LoadRouteTables(int bAddresses);
/* The same, and the neighbour table when some address has a router to look
   up; 0 when this system cannot. */
int LoadRouterTables(void);
/* Marks the host addresses routed or not from the tables last read; 0, with
   every address ROUTE_UNKNOWN, when the routes could not be read. */
int MarkRoutesFromTables(HostAddress *pHosts, int cHosts);
/* The router behind a host address (host order) in the tables last read: a
   ROUTER_ value, its bytes when known, its gateway whenever there is one. */
int FindRouter(uint32_t uAddress, unsigned char *pbRouter, uint32_t *puGateway);
/* Reads the tables and gives the router behind an address as text when known
   ("" otherwise), with its ROUTER_ value; when bAsk, a router not known yet
   is asked for, as the wait does. */
int ReadRouterText(uint32_t uAddress, int bAsk, char *pszText, size_t cchText);
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
