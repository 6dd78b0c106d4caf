/* Decisions of the configuration and location dialogs over plain text and
   numbers: the location dialog's OK checks and presets, and the row limits
   of the configuration dialog's list. No window is needed for any of them. */
#ifndef QUORVEL_DIALOGLOGIC_H
#define QUORVEL_DIALOGLOGIC_H

#include <stddef.h>
#include <stdint.h>
/* ParseAddressText: the one reader of addresses as the dialog takes them. */
#include "../locations/rangelogic.h"

/* What the location dialog's fields accept from the keyboard. */
#define LOCATION_NAME_LIMIT     35
#define ADDRESS_TEXT_LIMIT      15

/* The "Use settings for no network" preset: a loopback range, which location
   detection reads as "no network". */
#define NO_NETWORK_NAME         "No network"
#define NO_NETWORK_START        "127.0.0.1"
#define NO_NETWORK_FINISH       "127.0.0.254"

/* Outcome of the location dialog's OK checks; the first failing one wins. */
#define LOCATION_FIELDS_OK      0
#define LOCATION_NO_NAME        1
#define LOCATION_BAD_RANGE      2
#define LOCATION_NO_PRINTER     3

/* Checks a location as typed: a name, then a range of two addresses that
   ParseAddressText accepts, the first not above the last, then a printer. */
int CheckLocationFields(const char *pszName, const char *pszIPStart, const char *pszIPFinish,
                        const char *pszPrinter);

/* Text of the message box for a failed check; NULL for LOCATION_FIELDS_OK. */
const char *LocationCheckMessage(int iCheck);


/* The Auto range around an address (network byte order): its first three
   parts followed by ".1" and ".254". Address 0 gives 0.0.0.1 to 0.0.0.254. */
void ComposeAutoRange(uint32_t ipAddress, char *pszStart, char *pszFinish, size_t cchText);

/* The location dialog's router states beyond the ROUTER_ values of a
   reading: a router not known yet and not asked for (the check asks), and a
   look for it going on. */
#define ROUTER_LINE_ASKABLE     10
#define ROUTER_LINE_LOOKING     11

/* The line under the location dialog's network check: the router when one
   is known (pszRouter), what ticking does, or why the check cannot be
   ticked, for a ROUTER_ value or a state above; "" for iRouter -1 (no
   network). */
void ComposeRouterLine(int iRouter, const char *pszRouter, char *pszLine, size_t cchLine);

/* Add opens the location dialog only while the list has fewer than ten rows. */
int IsLocationListFull(int iRows);

/* A row may still be inserted into a list of iRows rows: up to the eleventh,
   one more than Add ever asks for. */
int CanInsertLocationRow(int iRows);

/* A row count that OK may copy into the ten location records. */
int IsUsableRowCount(int iCount);

#endif
