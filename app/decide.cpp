/* The one decision point. Detection may have to wait, for a move to settle
   or for a router to answer; each wait is one one-shot timer, and none is
   left once the location is decided, so an idle program never wakes. */
#include "../core/state.h"
#include "../locations/locations.h"
#include "decide.h"
#include "mainwnd.h"

/* The router wait's one-shot delays, about 3 s in all; the last tick
   decides with whatever is known by then. */
static const UINT auWaitDelay[] = {250, 500, 750, 1500};
#define WAIT_TICKS ((int)(sizeof(auWaitDelay) / sizeof(auWaitDelay[0])))

/* The decision, once taken, applies the location rules. */
static int bApplyOwed;
/* The user chose a printer while an apply was owed: that choice stands, and
   the decision only sets the location and the tip. */
static int bUserChose;
static int bDecided;
static int bSettling;
static int bWaiting;
static int iWaitTick;

BOOL IsLocationDecided(void)
{
    return bDecided;
}

void NoteUserChoice(void)
{
    if (bApplyOwed)
        bUserChose = 1;
}

static void EndWaits(HWND hwnd)
{
    if (bSettling)
        KillTimer(hwnd, TIMER_SETTLE);
    if (bWaiting)
        KillTimer(hwnd, TIMER_ROUTER_WAIT);
    bSettling = 0;
    bWaiting = 0;
    iWaitTick = 0;
}

void StopLocationDecision(HWND hwnd)
{
    EndWaits(hwnd);
}

/* The location is decided: apply it if that is owed and the printers are
   known, and show it. */
static void FinishDecision(HWND hwnd)
{
    bDecided = 1;
    /* Before the first listing ends no printer can be found by its name. */
    if (bApplyOwed && !bFirstEnum) {
        if (!bUserChose)
            ApplyLocation();
        bApplyOwed = 0;
        bUserChose = 0;
    }
    RefreshTrayTip(hwnd);
}

/* Until the decision comes, the tip shows the printer alone. */
static void MarkUndecided(HWND hwnd)
{
    bDecided = 0;
    RefreshTrayTip(hwnd);
}

/* Decides from a reading now, or starts the wait for the router a row
   requires. */
static void Decide(HWND hwnd, const HostReading *pReading)
{
    uint32_t uGateway;

    if (FindLocation(pReading, 0, &uGateway) == MATCH_WAIT) {
        /* The system learns the router's hardware address when it has
           something to send there. */
        if (uGateway != 0)
            AskForRouter(uGateway);
        iWaitTick = 0;
        bWaiting = SetTimer(hwnd, TIMER_ROUTER_WAIT, auWaitDelay[0], NULL) != 0;
        if (bWaiting) {
            MarkUndecided(hwnd);
            return;
        }
        /* Without a timer the wait cannot go on: decide with what is known. */
        FindLocation(pReading, 1, &uGateway);
    }
    FinishDecision(hwnd);
}

void RequestLocationDecision(HWND hwnd, int iWhy)
{
    HostReading reading;

    if (iWhy == DECIDE_AT_START) {
        /* A window of a new start: nothing of an earlier one holds. */
        EndWaits(hwnd);
        bApplyOwed = 0;
        bDecided = 0;
    }
    if (!GetSettingsInForce()->bSetByIP) {
        if (iWhy == DECIDE_ON_CHANGE)
            return;
        if (iWhy == DECIDE_AT_START || iWhy == DECIDE_ON_POLICY) {
            /* Only the tip needs it, and only once switching is on: no
               wait, and nothing asked of any router. A policy that turns
               switching off ends what was begun while it was on. */
            EndWaits(hwnd);
            bApplyOwed = 0;
            DetectLocation();
            FinishDecision(hwnd);
            return;
        }
    }
    bApplyOwed = 1;
    bUserChose = 0;
    ReadHost(&reading);
    /* A policy refresh moves no network: it decides at once. */
    if (iWhy != DECIDE_ON_SAVE && iWhy != DECIDE_ON_POLICY && reading.bRoutesKnown &&
        !HasRoutedAddress(reading.aHosts, reading.cHosts)) {
        /* No routed address: the host is leaving a network, or has not yet
           joined one. Each change starts the wait anew. */
        if (bWaiting)
            KillTimer(hwnd, TIMER_ROUTER_WAIT);
        bWaiting = 0;
        bSettling = SetTimer(hwnd, TIMER_SETTLE, SETTLE_DELAY_MS, NULL) != 0;
        if (bSettling) {
            MarkUndecided(hwnd);
            return;
        }
    } else if (bSettling && (iWhy == DECIDE_ON_SAVE || iWhy == DECIDE_ON_POLICY)) {
        /* A move is settling: its end decides, and applies the rules in
           force then. */
        return;
    }
    EndWaits(hwnd);
    Decide(hwnd, &reading);
}

static void ContinueRouterWait(HWND hwnd)
{
    HostReading reading;
    uint32_t uGateway;

    if (!bWaiting)
        return;
    iWaitTick++;
    ReadHost(&reading);
    if (FindLocation(&reading, iWaitTick >= WAIT_TICKS, &uGateway) == MATCH_WAIT) {
        if (SetTimer(hwnd, TIMER_ROUTER_WAIT, auWaitDelay[iWaitTick], NULL) != 0)
            return;
        FindLocation(&reading, 1, &uGateway);
    }
    bWaiting = 0;
    iWaitTick = 0;
    FinishDecision(hwnd);
}

static void EndSettling(HWND hwnd)
{
    HostReading reading;

    if (!bSettling)
        return;
    bSettling = 0;
    ReadHost(&reading);
    Decide(hwnd, &reading);
}

BOOL ContinueLocationDecision(HWND hwnd, WPARAM wTimerId)
{
    if (wTimerId != TIMER_ROUTER_WAIT && wTimerId != TIMER_SETTLE)
        return FALSE;
    /* One-shot: every tick ends its timer, and only a wait still going sets
       the next. */
    KillTimer(hwnd, (UINT_PTR)wTimerId);
    if (wTimerId == TIMER_SETTLE)
        EndSettling(hwnd);
    else
        ContinueRouterWait(hwnd);
    return TRUE;
}

void OnPrintersListed(HWND hwnd)
{
    if (bApplyOwed && bDecided)
        FinishDecision(hwnd);
}
