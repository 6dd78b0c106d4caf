/* The location dialog: one location's name, address range and printer. It
   takes the row from LocationEdit and gives it back there only after its
   checks pass; Cancel leaves LocationEdit as it was. */
#include "../core/state.h"
#include "../core/textsafe.h"
#include "../locations/locations.h"
#include "../locations/routerlogic.h"
#include "../res/resource.h"
#include "dialoglogic.h"
#include "dialogs.h"

/* Sets ipCurrent to the host's first address, in the order detection tries
   them (0 when its name does not resolve), and shows it. */
static void ShowCurrentAddress(HWND hDlg)
{
    struct in_addr addr;

    ipCurrent = ReadFirstHostAddress();
    if (ipCurrent == 0)
        return;
    addr.s_addr = ipCurrent;
    SetDlgItemTextA(hDlg, IDC_CURRENTIP, inet_ntoa(addr));
}

/* The router the network check records while ticked: this network's, or the
   stored one of the location being modified; "" when there is none. */
static char szDialogGateway[GATEWAY_TEXT_SIZE];

/* The look for a router not known yet, after Auto or a tick has asked it
   once: the tables are read again on a timer of the dialog, so that it
   stays responsive, for about a second. */
#define TIMER_ROUTER_LOOK       1022
#define ROUTER_LOOK_INTERVAL_MS 250
#define ROUTER_LOOK_READS       4

/* Reads still to come; 0 while no look is going. */
static int iLookReadsLeft;

/* Shows the router line; the check can be ticked only where this system can
   check the router, and there while one is known or can be looked for. */
static void ShowRouter(HWND hDlg, int iRouter, BOOL bTicked)
{
    char szLine[128];
    BOOL bAvailable = IsRouterCheckAvailable();
    BOOL bKnown = szDialogGateway[0] != '\0';
    BOOL bAskable = iRouter == ROUTER_NOT_YET || iRouter == ROUTER_LINE_ASKABLE ||
                    iRouter == ROUTER_LINE_LOOKING;

    if (!bAvailable)
        iRouter = ROUTER_UNAVAILABLE;
    ComposeRouterLine(iRouter, szDialogGateway, szLine, sizeof(szLine));
    SetDlgItemTextA(hDlg, IDC_GATEWAYTEXT, szLine);
    /* A stored router stays ticked where it cannot be checked, so that an
       edit there does not drop it; a look shows the tick it will record. */
    CheckDlgButton(hDlg, IDC_GATEWAYCHECK,
                   (bTicked && (bKnown || iRouter == ROUTER_LINE_LOOKING)) ? BST_CHECKED : BST_UNCHECKED);
    EnableWindow(GetDlgItem(hDlg, IDC_GATEWAYCHECK), bAvailable && (bKnown || bAskable));
}

/* Reads the router behind the address seen at opening; only when bAsk is
   one not known yet sent anything. */
static int ReadCurrentRouter(int bAsk)
{
    return ReadRouterText((uint32_t)ntohl(ipCurrent), bAsk, szDialogGateway, sizeof(szDialogGateway));
}

static void StopRouterLook(HWND hDlg)
{
    KillTimer(hDlg, TIMER_ROUTER_LOOK);
    iLookReadsLeft = 0;
}

/* Records this network's router, ticked: at once when it is known, else
   after asking it once and looking again for a moment. */
static void LookForRouter(HWND hDlg)
{
    int iRouter;

    /* A look going on already asked: it goes on. */
    if (iLookReadsLeft > 0) {
        ShowRouter(hDlg, ROUTER_LINE_LOOKING, TRUE);
        return;
    }
    iRouter = ReadCurrentRouter(TRUE);
    if (iRouter == ROUTER_NOT_YET &&
        SetTimer(hDlg, TIMER_ROUTER_LOOK, ROUTER_LOOK_INTERVAL_MS, NULL) != 0) {
        iLookReadsLeft = ROUTER_LOOK_READS;
        iRouter = ROUTER_LINE_LOOKING;
    }
    ShowRouter(hDlg, iRouter, TRUE);
}

/* A tick of the look: reads the tables again, never asking anew. */
static void ContinueRouterLook(HWND hDlg)
{
    int iRouter;

    if (iLookReadsLeft <= 0) {
        StopRouterLook(hDlg);
        return;
    }
    iRouter = ReadCurrentRouter(FALSE);
    if (iRouter == ROUTER_NOT_YET && --iLookReadsLeft > 0)
        return;
    StopRouterLook(hDlg);
    ShowRouter(hDlg, iRouter, TRUE);
}

/* The check toggled by the user: a tick records this network's router,
   looked for when not known yet; unticking ends a look. */
static void OnRouterCheck(HWND hDlg)
{
    if (IsDlgButtonChecked(hDlg, IDC_GATEWAYCHECK) == BST_CHECKED) {
        if (szDialogGateway[0] == '\0')
            LookForRouter(hDlg);
    } else if (iLookReadsLeft > 0) {
        StopRouterLook(hDlg);
        ShowRouter(hDlg, ROUTER_LINE_ASKABLE, FALSE);
    }
}

static void InitRouterControls(HWND hDlg)
{
    int iRouter;

    iLookReadsLeft = 0;
    if (LocationEdit.szLocationName[0] != '\0' && LocationEdit.szGatewayMAC[0] != '\0') {
        StringCchCopyA(szDialogGateway, sizeof(szDialogGateway), LocationEdit.szGatewayMAC);
        ShowRouter(hDlg, ROUTER_KNOWN, TRUE);
        return;
    }
    /* Unticked, and only read: opening sends nothing. Ticking it, or Auto,
       records this network's router, asking for it when not known yet. */
    iRouter = ReadCurrentRouter(FALSE);
    ShowRouter(hDlg, iRouter == ROUTER_NOT_YET ? ROUTER_LINE_ASKABLE : iRouter, FALSE);
}

static void InitLocationControls(HWND hDlg)
{
    ShowCurrentAddress(hDlg);
    FillPrinterBox(hDlg, IDC_PRINTER);

    /* Only a named row is shown: Add leaves the other fields' old text. */
    if (LocationEdit.szLocationName[0] != '\0') {
        SetDlgItemTextA(hDlg, IDC_LOCATIONNAME, LocationEdit.szLocationName);
        SetDlgItemTextA(hDlg, IDC_IPSTART, LocationEdit.szIPStart);
        SetDlgItemTextA(hDlg, IDC_IPFINISH, LocationEdit.szIPFinish);
        /* An empty name would select the first printer on some systems. A
           printer not installed (yet) is added to the list, so OK keeps it
           unless the user picks another. */
        if (LocationEdit.szPrinterName[0] != '\0' &&
            !SelectPrinterInBox(hDlg, IDC_PRINTER, LocationEdit.szPrinterName)) {
            LRESULT iItem = SendDlgItemMessageA(hDlg, IDC_PRINTER, CB_ADDSTRING, 0,
                                                (LPARAM)LocationEdit.szPrinterName);
            if (iItem >= 0)
                SendDlgItemMessageA(hDlg, IDC_PRINTER, CB_SETCURSEL, (WPARAM)iItem, 0);
        }
    }

    /* After the pre-fill: a longer stored name is shown whole and can only
       be shortened. */
    SendDlgItemMessageA(hDlg, IDC_LOCATIONNAME, EM_LIMITTEXT, LOCATION_NAME_LIMIT, 0);
    SendDlgItemMessageA(hDlg, IDC_IPSTART, EM_LIMITTEXT, ADDRESS_TEXT_LIMIT, 0);
    SendDlgItemMessageA(hDlg, IDC_IPFINISH, EM_LIMITTEXT, ADDRESS_TEXT_LIMIT, 0);
    InitRouterControls(hDlg);
}

/* Returns TRUE when the location was taken and the dialog closed. */
static BOOL ConfirmLocation(HWND hDlg)
{
    char szName[NAME_FIELD_SIZE];
    char szIPStart[NAME_FIELD_SIZE];
    char szIPFinish[NAME_FIELD_SIZE];
    char szPrinter[NAME_FIELD_SIZE];
    int iCheck;

    GetDlgItemTextA(hDlg, IDC_LOCATIONNAME, szName, NAME_FIELD_SIZE);
    GetDlgItemTextA(hDlg, IDC_IPSTART, szIPStart, NAME_FIELD_SIZE);
    GetDlgItemTextA(hDlg, IDC_IPFINISH, szIPFinish, NAME_FIELD_SIZE);
    GetDlgItemTextA(hDlg, IDC_PRINTER, szPrinter, NAME_FIELD_SIZE);

    iCheck = CheckLocationFields(szName, szIPStart, szIPFinish, szPrinter);
    if (iCheck != LOCATION_FIELDS_OK) {
        /* No owner: the dialog stays enabled while the box is shown. */
        MessageBoxA(NULL, LocationCheckMessage(iCheck), "Error", MB_ICONWARNING);
        return FALSE;
    }
    /* Stored as typed: in the form the checks accept, detection reads each
       text back as this very address. */
    StringCchCopyA(LocationEdit.szLocationName, NAME_FIELD_SIZE, szName);
    StringCchCopyA(LocationEdit.szIPStart, NAME_FIELD_SIZE, szIPStart);
    StringCchCopyA(LocationEdit.szIPFinish, NAME_FIELD_SIZE, szIPFinish);
    StringCchCopyA(LocationEdit.szPrinterName, NAME_FIELD_SIZE, szPrinter);
    /* OK during a look takes the router if it has answered by now. */
    if (iLookReadsLeft > 0)
        ReadCurrentRouter(FALSE);
    if (IsDlgButtonChecked(hDlg, IDC_GATEWAYCHECK) == BST_CHECKED)
        StringCchCopyA(LocationEdit.szGatewayMAC, NAME_FIELD_SIZE, szDialogGateway);
    else
        LocationEdit.szGatewayMAC[0] = '\0';
    EndDialog(hDlg, 0);
    return TRUE;
}

static void FillAutoRange(HWND hDlg)
{
    char szIPStart[NAME_FIELD_SIZE];
    char szIPFinish[NAME_FIELD_SIZE];

    /* The address seen at opening; the host is not asked again. */
    ComposeAutoRange((uint32_t)ipCurrent, szIPStart, szIPFinish, NAME_FIELD_SIZE);
    SetDlgItemTextA(hDlg, IDC_IPSTART, szIPStart);
    SetDlgItemTextA(hDlg, IDC_IPFINISH, szIPFinish);
    /* This network's router, read now: it may have become known since. */
    LookForRouter(hDlg);
}

static void FillNoNetwork(HWND hDlg)
{
    SetDlgItemTextA(hDlg, IDC_IPSTART, NO_NETWORK_START);
    SetDlgItemTextA(hDlg, IDC_IPFINISH, NO_NETWORK_FINISH);
    SetDlgItemTextA(hDlg, IDC_LOCATIONNAME, NO_NETWORK_NAME);
    /* Without a network there is no router to require. */
    StopRouterLook(hDlg);
    szDialogGateway[0] = '\0';
    ShowRouter(hDlg, -1, FALSE);
}

INT_PTR CALLBACK LocationDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    (void)lParam;
    switch (uMsg) {
    case WM_INITDIALOG:
        InitLocationControls(hDlg);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            return ConfirmLocation(hDlg);
        case IDCANCEL:
            EndDialog(hDlg, 0);
            return TRUE;
        case IDC_AUTORANGE:
            FillAutoRange(hDlg);
            break;
        case IDC_NONETWORK:
            FillNoNetwork(hDlg);
            break;
        case IDC_GATEWAYCHECK:
            if (HIWORD(wParam) == BN_CLICKED)
                OnRouterCheck(hDlg);
            break;
        default:
            break;
        }
        break;
    case WM_TIMER:
        if (wParam == TIMER_ROUTER_LOOK) {
            ContinueRouterLook(hDlg);
            return TRUE;
        }
        break;
    case WM_DESTROY:
        /* No look outlives the dialog. */
        StopRouterLook(hDlg);
        break;
    default:
        break;
    }
    return FALSE;
}
