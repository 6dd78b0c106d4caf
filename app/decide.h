/* The one place where the location is decided and applied, on the main
   thread: the switch, the notice and the tip. Whatever starts a detection
   (the start, an address change, the router wait, the first printer
   listing, a confirmed configuration, a policy refresh) ends here. */
#ifndef QUORVEL_DECIDE_H
#define QUORVEL_DECIDE_H

#include <windows.h>

/* Why a decision is asked for. */
#define DECIDE_AT_START         0
#define DECIDE_ON_CHANGE        1
#define DECIDE_ON_SAVE          2
/* The policies changed: the rows and settings in force may be others. */
#define DECIDE_ON_POLICY        3

/* One-shot timers on the main window: the wait for a router, and the wait
   for a move to settle. */
#define TIMER_ROUTER_WAIT       1021
#define TIMER_SETTLE            1022
/* A move that leaves no routed address decides once the address list has
   been quiet this long, so that passing through "no network" on the way to
   another network switches once, not twice. */
#define SETTLE_DELAY_MS         2000

/* Decides the location for this reason, now or after a wait. */
void RequestLocationDecision(HWND hwnd, int iWhy);
/* A tick of one of the timers above; FALSE for any other timer. */
BOOL ContinueLocationDecision(HWND hwnd, WPARAM wTimerId);
/* A printer listing has ended: the first one lets an owed decision apply. */
void OnPrintersListed(HWND hwnd);
/* The user chose a printer: a decision still owed keeps that choice. */
void NoteUserChoice(void);
/* Whether szCurrentLocation holds a decision that no look has put in doubt. */
BOOL IsLocationDecided(void);
/* Ends every wait without deciding (the window is closing). */
void StopLocationDecision(HWND hwnd);

#endif
