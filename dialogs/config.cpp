/* The configuration dialog. Its list is a working copy: Add, Modify and
   Delete change only the list's rows, and nothing reaches AutoSettings until
   OK. Cancel, Escape and the close box drop every change. At most one
   configuration dialog is open at a time, so no two ever share the list.
   What a policy manages is shown as it is in force and cannot be changed:
   its controls are disabled, its rows marked, and OK stores only the
   user's own settings. */
#include "../core/state.h"
#include <commctrl.h>
#include <string.h>
#include "../core/textsafe.h"
#include "../locations/locations.h"
#include "../locations/policylogic.h"
#include "../locations/settingslogic.h"
#include "../res/resource.h"
#include "dialoglogic.h"
#include "dialogs.h"

#define ICON_GROUP_DISABLED_TEXT "Taskbar icon default action (DISABLED - see readme.txt)"
#define LOCATION_COLUMNS 5
/* After a managed row's name; such a row is known by its item data. */
#define MANAGED_ROW_MARK " (managed)"
#define MANAGED_ROW     1
#define MANAGED_ROW_TEXT                                                                \
    "This location is managed by your organisation: it cannot be changed or deleted " \
    "here."
#define NO_USER_LOCATIONS_TEXT                                                           \
    "Your organisation allows only the locations it manages. Locations of your own " \
    "cannot be added; those you had are kept, and return if it allows them again."

/* The open configuration dialog, NULL while none is shown. bConfigOpen also
   covers the moment between the request and WM_INITDIALOG. */
static HWND hConfigDlg;
static int bConfigOpen;
/* What the policies managed when the open dialog was filled: those
   controls show the value in force and stay disabled until it closes. */
static unsigned int uDialogManaged;

/* The policy value a control shows, or 0. */
static unsigned int ManagedValueOf(int iId)
{
    switch (iId) {
    case IDC_SETBYIP:
        return POLICY_SET_BY_IP;
    case IDC_IFNOMATCH:
        return POLICY_IF_NO_MATCH;
    case IDC_NOMATCHPRINTER:
        return POLICY_NO_MATCH_PRINTER;
    case IDC_ICONPROPERTIES:
    case IDC_ICONSPOOLER:
        return POLICY_ICON_ACTION;
    case IDC_NOTIFYONSWITCH:
        return POLICY_NOTIFY_ON_SWITCH;
    default:
        return 0;
    }
}

/* A control of a managed value is never enabled. */
static void EnableControl(HWND hDlg, int iId, BOOL bEnable)
{
    EnableWindow(GetDlgItem(hDlg, iId), bEnable && (uDialogManaged & ManagedValueOf(iId)) == 0);
}

static BOOL IsChecked(HWND hDlg, int iId)
{
    return SendDlgItemMessageA(hDlg, iId, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

static void SetCheck(HWND hDlg, int iId, BOOL bChecked)
{
    SendDlgItemMessageA(hDlg, iId, BM_SETCHECK, bChecked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void FillPrinterBox(HWND hDlg, int iBoxId)
{
    int iRow;

    /* The worker may be rewriting the table: the count is read afresh for
       every row and the table's size bounds it whatever it says. */
    for (iRow = 0; iRow < iPrinterCount && iRow < MAX_PRINTERS; iRow++) {
        /* Settings hold ANSI text, which cannot name a printer the code
           page cannot hold: such a printer is not offered. */
        if (PrinterWideNames[iRow][0] == L'\0')
            SendDlgItemMessageA(hDlg, iBoxId, CB_ADDSTRING, 0, (LPARAM)PrinterTable[iRow]);
    }
}

int SelectPrinterInBox(HWND hDlg, int iBoxId, const char *pszName)
{
    char szItem[NAME_FIELD_SIZE];
    LRESULT iFirst, iItem;

    /* The box finds names without regard to case; only the very name
       counts, or a stored printer would turn into another one at OK. */
    iFirst = iItem = SendDlgItemMessageA(hDlg, iBoxId, CB_FINDSTRINGEXACT, (WPARAM)-1,
                                         (LPARAM)pszName);
    while (iItem != CB_ERR) {
        if (SendDlgItemMessageA(hDlg, iBoxId, CB_GETLBTEXTLEN, (WPARAM)iItem, 0) <
                NAME_FIELD_SIZE &&
            SendDlgItemMessageA(hDlg, iBoxId, CB_GETLBTEXT, (WPARAM)iItem, (LPARAM)szItem) !=
                CB_ERR &&
            strcmp(szItem, pszName) == 0) {
            SendDlgItemMessageA(hDlg, iBoxId, CB_SETCURSEL, (WPARAM)iItem, 0);
            return 1;
        }
        iItem = SendDlgItemMessageA(hDlg, iBoxId, CB_FINDSTRINGEXACT, (WPARAM)iItem,
                                    (LPARAM)pszName);
        /* The search wraps around to the top: once round is enough. */
        if (iItem <= iFirst)
            break;
    }
    return 0;
}

void InitConfigControls(HWND hDlg, const AutoSettingsRecord *pSettings)
{
    BOOL bEnabled;

    if (!bShellPrinterCommand) {
        /* Without the shell's printer command the double-click opens About,
           so the choice below has no effect; it is still shown and stored. */
        SetWindowTextA(GetDlgItem(hDlg, IDC_ICONACTIONGROUP), ICON_GROUP_DISABLED_TEXT);
        EnableControl(hDlg, IDC_ICONACTIONGROUP, FALSE);
        EnableControl(hDlg, IDC_ICONPROPERTIES, FALSE);
        EnableControl(hDlg, IDC_ICONSPOOLER, FALSE);
    }

    /* A flag stored by hand as any non-zero number counts as set. */
    SetCheck(hDlg, IDC_SETBYIP, pSettings->bSetByIP != 0);
    bEnabled = IsChecked(hDlg, IDC_SETBYIP);
    EnableControl(hDlg, IDC_LOCATIONLIST, bEnabled);
    EnableControl(hDlg, IDC_ADD, bEnabled);
    EnableControl(hDlg, IDC_DELETE, bEnabled);
    EnableControl(hDlg, IDC_MODIFY, bEnabled);
    EnableControl(hDlg, IDC_IFNOMATCH, bEnabled);
    EnableControl(hDlg, IDC_NOMATCHPRINTER, bEnabled);

    SetCheck(hDlg, pSettings->iIconAction == 0 ? IDC_ICONPROPERTIES : IDC_ICONSPOOLER, TRUE);
    SetCheck(hDlg, IDC_NOTIFYONSWITCH, pSettings->bNotifyOnSwitch != 0);
    /* The rest keep the template's state unless a policy manages them. */
    EnableControl(hDlg, IDC_SETBYIP, TRUE);
    EnableControl(hDlg, IDC_NOTIFYONSWITCH, TRUE);
    if (bShellPrinterCommand) {
        EnableControl(hDlg, IDC_ICONPROPERTIES, TRUE);
        EnableControl(hDlg, IDC_ICONSPOOLER, TRUE);
    }

    if (pSettings->bIfNoMatch) {
        SetCheck(hDlg, IDC_IFNOMATCH, TRUE);
    } else {
        EnableControl(hDlg, IDC_NOMATCHPRINTER, FALSE);
        SetCheck(hDlg, IDC_IFNOMATCH, FALSE);
    }

    FillPrinterBox(hDlg, IDC_NOMATCHPRINTER);
    /* An empty text would match the first printer on some systems; it must
       leave the box empty. A printer not installed (yet) keeps its name as
       the box's text, so OK stores it unchanged. */
    if (pSettings->szNoMatchPrinter[0] != '\0' &&
        !SelectPrinterInBox(hDlg, IDC_NOMATCHPRINTER, pSettings->szNoMatchPrinter))
        SetDlgItemTextA(hDlg, IDC_NOMATCHPRINTER, pSettings->szNoMatchPrinter);
}

/* Dots per inch of the display, 96 at 100 %. The program declares itself
   aware of the display's scale, so Windows no longer enlarges it as a
   blurred bitmap: whatever it sizes in pixels must grow with the scale. */
static int GetDisplayDpi(HWND hwnd)
{
    HDC hdc = GetDC(hwnd);
    int iDpi = 0;

    if (hdc != NULL) {
        iDpi = GetDeviceCaps(hdc, LOGPIXELSY);
        ReleaseDC(hwnd, hdc);
    }
    return iDpi > 0 ? iDpi : 96;
}

static void InsertLocationColumns(HWND hList)
{
    /* The last column shows the router a location requires. */
    static const char *const apszHeader[LOCATION_COLUMNS] = {"Location", "Printer to use",
                                                             "IP Start", "IP End", "Network"};
    /* In pixels at 96 dpi. */
    static const int aiWidth[LOCATION_COLUMNS] = {70, 100, 85, 85, 115};
    LVCOLUMNA col;
    int iDpi = GetDisplayDpi(hList);
    int i;

    for (i = 0; i < LOCATION_COLUMNS; i++) {
        ZeroMemory(&col, sizeof(col));
        col.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
        col.fmt = LVCFMT_LEFT;
        col.cx = MulDiv(aiWidth[i], iDpi, 96);
        col.pszText = (LPSTR)apszHeader[i];
        SendMessageA(hList, LVM_INSERTCOLUMNA, (WPARAM)i, (LPARAM)&col);
    }
}

static int CountRows(HWND hList)
{
    return (int)SendMessageA(hList, LVM_GETITEMCOUNT, 0, 0);
}

static BOOL IsManagedRow(HWND hList, int iRow)
{
    LVITEMA item;

    ZeroMemory(&item, sizeof(item));
    item.mask = LVIF_PARAM;
    item.iItem = iRow;
    return SendMessageA(hList, LVM_GETITEMA, 0, (LPARAM)&item) && item.lParam == MANAGED_ROW;
}

/* The rows that are the user's own: the ten records hold only those. */
static int CountOwnRows(HWND hList)
{
    int iRow, iRows = CountRows(hList), iOwn = 0;

    for (iRow = 0; iRow < iRows; iRow++)
        iOwn += !IsManagedRow(hList, iRow);
    return iOwn;
}

static void SetRowCell(HWND hList, int iRow, int iSubItem, const char *pszText)
{
    LVITEMA item;

    ZeroMemory(&item, sizeof(item));
    item.iSubItem = iSubItem;
    item.pszText = (LPSTR)pszText;
    SendMessageA(hList, LVM_SETITEMTEXTA, (WPARAM)iRow, (LPARAM)&item);
}

/* Every cell is read into a 255-byte field; a longer text is cut there. */
static void ReadRowCell(HWND hList, int iRow, int iSubItem, char *pszField)
{
    LVITEMA item;

    /* A refused request leaves the field empty rather than stale. */
    pszField[0] = '\0';
    ZeroMemory(&item, sizeof(item));
    item.iSubItem = iSubItem;
    item.pszText = pszField;
    item.cchTextMax = NAME_FIELD_SIZE;
    SendMessageA(hList, LVM_GETITEMTEXTA, (WPARAM)iRow, (LPARAM)&item);
    pszField[NAME_FIELD_SIZE - 1] = '\0';
}

static void ReadLocationRow(HWND hList, int iRow, LocationRecord *pRecord)
{
    ReadRowCell(hList, iRow, 0, pRecord->szLocationName);
    ReadRowCell(hList, iRow, 1, pRecord->szPrinterName);
    ReadRowCell(hList, iRow, 2, pRecord->szIPStart);
    ReadRowCell(hList, iRow, 3, pRecord->szIPFinish);
    ReadRowCell(hList, iRow, 4, pRecord->szGatewayMAC);
}

/* Inserts a row showing pszName, with its item data; the row or -1. */
static int InsertRow(HWND hList, const LocationRecord *pRecord, const char *pszName, LPARAM lData)
{
    LVITEMA item;
    int iRow;

    ZeroMemory(&item, sizeof(item));
    item.mask = LVIF_TEXT | LVIF_PARAM;
    /* The sorted list chooses the real place. */
    item.iItem = 0;
    item.pszText = (LPSTR)pszName;
    item.lParam = lData;
    iRow = (int)SendMessageA(hList, LVM_INSERTITEMA, 0, (LPARAM)&item);
    if (iRow == -1)
        return -1;
    SetRowCell(hList, iRow, 1, pRecord->szPrinterName);
    SetRowCell(hList, iRow, 2, pRecord->szIPStart);
    SetRowCell(hList, iRow, 3, pRecord->szIPFinish);
    SetRowCell(hList, iRow, 4, pRecord->szGatewayMAC);
    return iRow;
}

BOOL AddLocationRow(HWND hList, const LocationRecord *pRecord)
{
    if (!CanInsertLocationRow(CountOwnRows(hList)))
        return FALSE;
    return InsertRow(hList, pRecord, pRecord->szLocationName, 0) != -1;
}

/* The managed rows, in the order detection tries them, each marked after
   its name; the name column widens by the mark. They are shown, never read
   back. */
static void AddManagedRows(HWND hList)
{
    char szName[NAME_FIELD_SIZE];
    int i, iManaged = CountManagedRows();

    if (iManaged == 0)
        return;
    SendMessageA(hList, LVM_SETCOLUMNWIDTH, 0,
                 SendMessageA(hList, LVM_GETCOLUMNWIDTH, 0, 0) +
                     SendMessageA(hList, LVM_GETSTRINGWIDTHA, 0, (LPARAM)MANAGED_ROW_MARK));
    for (i = 0; i < iManaged; i++) {
        const LocationRecord *pRecord = GetDetectionRow(i);
        /* A name cut to make room for the mark is only shown. */
        StringCchPrintfA(szName, sizeof(szName), "%s%s", pRecord->szLocationName,
                         MANAGED_ROW_MARK);
        InsertRow(hList, pRecord, szName, MANAGED_ROW);
    }
}

/* Rows whose names the list cannot tell apart (it may compare them with or
   without case) take their stored order among themselves. The list places
   such rows by its own rule, which may reverse them at every filling, and
   confirming the dialog unchanged would then reorder the stored list. */
static void KeepStoredOrderOfEqualNames(HWND hList, const AutoSettingsRecord *pSettings)
{
    BOOL abTaken[MAX_LOCATIONS];
    char szName[NAME_FIELD_SIZE];
    int iRows = CountRows(hList);
    int iRow, i;

    ZeroMemory(abTaken, sizeof(abTaken));
    for (iRow = 0; iRow < iRows; iRow++) {
        if (IsManagedRow(hList, iRow))
            continue;
        ReadRowCell(hList, iRow, 0, szName);
        /* The first record not yet shown whose name is this row's. */
        for (i = 0; i < pSettings->iAutoPrinterCount && i < MAX_LOCATIONS; i++) {
            const LocationRecord *pRecord = &pSettings->locations[i];
            if (abTaken[i] || lstrcmpiA(pRecord->szLocationName, szName) != 0)
                continue;
            abTaken[i] = TRUE;
            if (strcmp(pRecord->szLocationName, szName) != 0)
                SetRowCell(hList, iRow, 0, pRecord->szLocationName);
            SetRowCell(hList, iRow, 1, pRecord->szPrinterName);
            SetRowCell(hList, iRow, 2, pRecord->szIPStart);
            SetRowCell(hList, iRow, 3, pRecord->szIPFinish);
            SetRowCell(hList, iRow, 4, pRecord->szGatewayMAC);
            break;
        }
    }
}

void FillLocationList(HWND hList, AutoSettingsRecord *pSettings)
{
    int i;

    if (pSettings->iAutoPrinterCount == 0)
        return;
    SendMessageA(hList, LVM_DELETEALLITEMS, 0, 0);
    /* Lowered in memory even if the dialog is cancelled: nothing may walk
       past the ten records. */
    pSettings->iAutoPrinterCount = CapLocationCount(pSettings->iAutoPrinterCount);
    for (i = 0; i < pSettings->iAutoPrinterCount; i++)
        AddLocationRow(hList, &pSettings->locations[i]);
    KeepStoredOrderOfEqualNames(hList, pSettings);
}

BOOL ReadLocationList(HWND hList, AutoSettingsRecord *pSettings)
{
    int iCount = CountOwnRows(hList), iRows = CountRows(hList);
    int iRow, i = 0;

    if (!IsUsableRowCount(iCount))
        return FALSE;
    pSettings->iAutoPrinterCount = iCount;
    /* Records past the count keep their old text; nothing counts them. */
    for (iRow = 0; iRow < iRows && i < iCount; iRow++) {
        if (!IsManagedRow(hList, iRow))
            ReadLocationRow(hList, iRow, &pSettings->locations[i++]);
    }
    return TRUE;
}

void ReadConfigControls(HWND hDlg, AutoSettingsRecord *pSettings)
{
    pSettings->bSetByIP = IsChecked(hDlg, IDC_SETBYIP) ? 1 : 0;
    pSettings->bIfNoMatch = IsChecked(hDlg, IDC_IFNOMATCH) ? 1 : 0;
    pSettings->iIconAction = IsChecked(hDlg, IDC_ICONPROPERTIES) ? 0 : 1;
    pSettings->bNotifyOnSwitch = IsChecked(hDlg, IDC_NOTIFYONSWITCH) ? 1 : 0;
    /* Whatever the user picked or typed, even a printer that does not exist. */
    GetDlgItemTextA(hDlg, IDC_NOMATCHPRINTER, pSettings->szNoMatchPrinter, NAME_FIELD_SIZE);
}

static void ApplyIfNoMatchRule(HWND hDlg)
{
    EnableControl(hDlg, IDC_NOMATCHPRINTER,
                  IsChecked(hDlg, IDC_IFNOMATCH) && IsChecked(hDlg, IDC_SETBYIP));
}

static void ApplySetByIPRule(HWND hDlg)
{
    BOOL bEnabled = IsChecked(hDlg, IDC_SETBYIP);

    EnableControl(hDlg, IDC_LOCATIONLIST, bEnabled);
    EnableControl(hDlg, IDC_ADD, bEnabled);
    EnableControl(hDlg, IDC_DELETE, bEnabled);
    EnableControl(hDlg, IDC_MODIFY, bEnabled);
    EnableControl(hDlg, IDC_IFNOMATCH, bEnabled);
    SendMessageA(hDlg, WM_COMMAND, IDC_IFNOMATCH, 0);
}

static void RunLocationDialog(HWND hDlg)
{
    DialogBoxParamA(hAppInstance, MAKEINTRESOURCEA(IDD_LOCATION), hDlg, LocationDlgProc, 0);
}

/* The selected row, or -1 when there is none. A mark left past the last row
   by a Delete counts as none. */
static int SelectedRow(HWND hList)
{
    int iRow = (int)SendMessageA(hList, LVM_GETSELECTIONMARK, 0, 0);

    return (iRow >= 0 && iRow < CountRows(hList)) ? iRow : -1;
}

/* What the policies manage while the dialog is open: what they managed when
   it was filled, and what they manage now. */
static unsigned int DialogManaged(void)
{
    return uDialogManaged | GetManagedSettings();
}

static void AddLocation(HWND hDlg)
{
    HWND hList = GetDlgItem(hDlg, IDC_LOCATIONLIST);

    if (DialogManaged() & POLICY_NO_USER_LOCATIONS) {
        MessageBoxA(hDlg, NO_USER_LOCATIONS_TEXT, "Cannot add location", MB_ICONWARNING);
        return;
    }
    if (IsLocationListFull(CountOwnRows(hList))) {
        MessageBoxA(hDlg, "Too many printers defined", "Cannot add printer", MB_ICONWARNING);
        return;
    }
    /* An empty name opens the location dialog with empty fields. */
    LocationEdit.szLocationName[0] = '\0';
    RunLocationDialog(hDlg);
    /* A name came back only from OK. */
    if (LocationEdit.szLocationName[0] != '\0')
        AddLocationRow(hList, &LocationEdit);
    LocationEdit.szLocationName[0] = '\0';
}

static void ModifyLocation(HWND hDlg)
{
    HWND hList = GetDlgItem(hDlg, IDC_LOCATIONLIST);
    int iRow = SelectedRow(hList);

    if (iRow == -1) {
        MessageBoxA(hDlg, "Please select a location to modify", "Error", MB_ICONWARNING);
        return;
    }
    if (IsManagedRow(hList, iRow)) {
        MessageBoxA(hDlg, MANAGED_ROW_TEXT, "Managed location", MB_ICONINFORMATION);
        return;
    }
    ReadLocationRow(hList, iRow, &LocationEdit);
    RunLocationDialog(hDlg);
    /* After Cancel LocationEdit still holds the row's own texts, so writing
       back leaves the row as it was. */
    SetRowCell(hList, iRow, 0, LocationEdit.szLocationName);
    SetRowCell(hList, iRow, 1, LocationEdit.szPrinterName);
    SetRowCell(hList, iRow, 2, LocationEdit.szIPStart);
    SetRowCell(hList, iRow, 3, LocationEdit.szIPFinish);
    SetRowCell(hList, iRow, 4, LocationEdit.szGatewayMAC);
    LocationEdit.szLocationName[0] = '\0';
}

static void DeleteLocation(HWND hDlg)
{
    HWND hList = GetDlgItem(hDlg, IDC_LOCATIONLIST);
    int iRow = SelectedRow(hList);
    char szName[NAME_FIELD_SIZE];

    if (iRow == -1) {
        MessageBoxA(hDlg, "Please select a location to delete", "Error", MB_ICONWARNING);
        return;
    }
    if (IsManagedRow(hList, iRow)) {
        MessageBoxA(hDlg, MANAGED_ROW_TEXT, "Managed location", MB_ICONINFORMATION);
        return;
    }
    ReadRowCell(hList, iRow, 0, szName);
    if (MessageBoxA(hDlg, szName, "Delete location?", MB_YESNO | MB_ICONWARNING) != IDNO)
        SendMessageA(hList, LVM_DELETEITEM, (WPARAM)iRow, 0);
}

#define SAVE_FAILED_TEXT                                                                    \
    "The settings could not be saved: the registry refused them (an administrator may "    \
    "have made them read-only). Nothing was changed.\r\n\r\nThe settings in force stay "  \
    "as they were, and your changes stay in this window: click OK to try again, or "       \
    "Cancel to discard them."
#define SAVE_LEFT_CHANGED_TEXT                                                              \
    "The settings could not be saved: the registry refused them (an administrator may "    \
    "have made them read-only), and what was already written could not all be taken "     \
    "back: the stored settings are now partly changed.\r\n\r\nThe settings in force stay as "   \
    "they were until Quorvel starts again, and your changes stay in this window: click "   \
    "OK to try again, or Cancel to discard them."

static void ConfirmConfig(HWND hDlg)
{
    /* The edits go into a copy until they are saved: a save the registry
       refuses leaves the settings in force as they were, and this dialog
       open with the user's edits, to try again or cancel. */
    static AutoSettingsRecord edited;
    int iOutcome;

    CopyMemory(&edited, &AutoSettings, sizeof(edited));
    /* An unusable row count keeps the stored locations; the rest is still
       read, saved and applied. */
    ReadLocationList(GetDlgItem(hDlg, IDC_LOCATIONLIST), &edited);
    ReadConfigControls(hDlg, &edited);
    /* Only what no policy manages, now or when the dialog was filled, is the
       user's to store. */
    ComposeStoredSettings(&edited, &AutoSettings, DialogManaged(), &edited);
    iOutcome = WriteSettings(&edited);
    if (iOutcome != SAVE_WRITTEN) {
        MessageBoxA(hDlg, iOutcome == SAVE_REFUSED ? SAVE_FAILED_TEXT : SAVE_LEFT_CHANGED_TEXT,
                    "Error", MB_ICONWARNING);
        return;
    }
    CopyMemory(&AutoSettings, &edited, sizeof(AutoSettings));
    /* Handled after the dialog has gone: detect and apply the location. */
    PostMessageA(hMainWnd, MSG_SETTINGS_SAVED, 0, 0);
    EndDialog(hDlg, 0);
}

INT_PTR CALLBACK ConfigDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    HWND hList;

    (void)lParam;
    switch (uMsg) {
    case WM_INITDIALOG:
        hConfigDlg = hDlg;
        hList = GetDlgItem(hDlg, IDC_LOCATIONLIST);
        uDialogManaged = GetManagedSettings();
        InitConfigControls(hDlg, GetSettingsInForce());
        InsertLocationColumns(hList);
        /* The user's own rows that are not in force are not shown: they
           stay stored as they are. */
        if ((uDialogManaged & POLICY_NO_USER_LOCATIONS) == 0)
            FillLocationList(hList, &AutoSettings);
        AddManagedRows(hList);
        if (uDialogManaged & (POLICY_DIALOG_VALUES | POLICY_LOCATIONS | POLICY_NO_USER_LOCATIONS))
            ShowWindow(GetDlgItem(hDlg, IDC_MANAGEDNOTE), SW_SHOW);
        return TRUE;
    case WM_DESTROY:
        if (hDlg == hConfigDlg) {
            hConfigDlg = NULL;
            uDialogManaged = 0;
        }
        break;
    case WM_SYSCOMMAND:
        /* The low four bits are the system's own. */
        if ((LOWORD(wParam) & 0xFFF0) == SC_CLOSE) {
            EndDialog(hDlg, 0);
            return TRUE;
        }
        break;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            ConfirmConfig(hDlg);
            return TRUE;
        case IDCANCEL:
            EndDialog(hDlg, 0);
            return TRUE;
        case IDC_SETBYIP:
            ApplySetByIPRule(hDlg);
            break;
        case IDC_IFNOMATCH:
            ApplyIfNoMatchRule(hDlg);
            break;
        case IDC_ADD:
            AddLocation(hDlg);
            break;
        case IDC_MODIFY:
            ModifyLocation(hDlg);
            break;
        case IDC_DELETE:
            DeleteLocation(hDlg);
            break;
        default:
            break;
        }
        break;
    default:
        break;
    }
    return FALSE;
}

void OpenConfigDialog(HWND hOwner)
{
    if (bConfigOpen) {
        /* A second request brings the open dialog forward, or the location
           dialog that runs over it. */
        if (hConfigDlg != NULL) {
            HWND hPopup = GetLastActivePopup(hConfigDlg);
            SetForegroundWindow(hPopup != NULL ? hPopup : hConfigDlg);
        }
        return;
    }
    bConfigOpen = 1;
    DialogBoxParamA(hAppInstance, MAKEINTRESOURCEA(IDD_CONFIG), hOwner, ConfigDlgProc, 0);
    bConfigOpen = 0;
    hConfigDlg = NULL;
}
