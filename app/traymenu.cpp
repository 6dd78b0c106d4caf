/* The tray icon's popup menu and double-click action. */
#include <string.h>
#include "../core/state.h"
#include "../core/syslib.h"
#include "decide.h"
#include "menulogic.h"
#include "traymenu.h"
#include "../locations/locations.h"
#include "../printers/printerlogic.h"
#include "../printers/printers.h"

/* The printers the last menu showed, by command id. A choice switches to
   the printer the user saw, even when a listing has rewritten the table
   while the menu was open. */
static PrinterRow MenuPrinterNames[MAX_PRINTERS];
static PrinterWideRow MenuPrinterWideNames[MAX_PRINTERS];

void OnTrayNotify(HWND hwnd, HINSTANCE hInstance, UINT uMouseMsg)
{
    switch (uMouseMsg) {
    case WM_LBUTTONDBLCLK:
        if (bShellPrinterCommand)
            InvokeIconAction(hwnd);
        else
            /* Through the dispatcher, which opens About only while none of
               the program's own modal windows is open. */
            SendMessageA(hwnd, WM_COMMAND, IDM_ABOUT, 0);
        break;
    case WM_RBUTTONUP:
        ShowTrayMenu(hInstance, hwnd);
        break;
    default:
        break;
    }
}

typedef BOOL (WINAPI *APPENDMENUWPROC)(HMENU, UINT, UINT_PTR, LPCWSTR);

/* Adds a printer's row. A printer the code page cannot hold is shown by its
   own name: its ANSI text is only a look-alike, which may even read like
   another printer's name. */
static void AppendPrinterRow(HMENU hMenu, int iRow)
{
    UINT uId = (UINT)(MENU_PRINTER_ID_FIRST + iRow);

    if (MenuPrinterWideNames[iRow][0] != L'\0') {
        APPENDMENUWPROC pfnAppendW = (APPENDMENUWPROC)FindLoadedFunction("user32.dll", "AppendMenuW");
        if (pfnAppendW != NULL) {
            wchar_t wszText[MENU_TEXT_SIZE];
            ComposeMenuTextW(MenuPrinterWideNames[iRow], wszText, MENU_TEXT_SIZE);
            if (pfnAppendW(hMenu, MF_STRING, (UINT_PTR)uId, wszText))
                return;
        }
    }
    {
        char szText[MENU_TEXT_SIZE];
        /* The name as the spooler gives it: an "&" in it is shown, not
           taken as an access key. */
        ComposeMenuText(MenuPrinterNames[iRow], szText, sizeof(szText));
        AppendMenuA(hMenu, MF_STRING, (UINT_PTR)uId, szText);
    }
}

void ShowTrayMenu(HINSTANCE hInstance, HWND hwnd)
{
    HMENU hMenu;
    char szDefault[256];
    PrinterWideRow wszDefault;
    POINT pt;
    UINT uChoice;
    int iMenuPrinterCount = 0;
    int iChosen;

    (void)hInstance;
    hMenu = CreatePopupMenu();
    if (hMenu == NULL)
        return;
    AppendMenuA(hMenu, MF_STRING, IDM_ABOUT, "About Quorvel");
    AppendMenuA(hMenu, MF_STRING, IDM_CONFIG, "Config...");
    AppendMenuA(hMenu, MF_STRING, IDM_EXIT, "Exit");
    AppendMenuA(hMenu, MF_SEPARATOR, 0, NULL);

    GetDefaultPrinterName(szDefault, 255);
    GetDefaultPrinterWideName(wszDefault, NAME_FIELD_SIZE);
    if (bEnumBusy) {
        /* Disabled but drawn normally: a notice, not a choice. */
        AppendMenuA(hMenu, MF_STRING | MF_DISABLED, 0, MENU_TEXT_BUSY);
    } else {
        int iCount = iPrinterCount;
        UINT uPos = MENU_FIRST_PRINTER_POS;
        int iRow;

        for (iRow = 0; iRow < iCount; iRow++) {
            CopyPrinterName(MenuPrinterNames[iRow], PrinterTable[iRow]);
            CopyPrinterWideName(MenuPrinterWideNames[iRow], PrinterWideNames[iRow]);
        }
        iMenuPrinterCount = iCount;
        /* Last row first; the walk meets the lowest row last, so of two rows
           with the default's name the lower one ends up bold. */
        for (iRow = iCount - 1; iRow >= 0; iRow--) {
            AppendPrinterRow(hMenu, iRow);
            if (IsSamePrinter(MenuPrinterNames[iRow], MenuPrinterWideNames[iRow], szDefault,
                              wszDefault))
                SetMenuDefaultItem(hMenu, uPos, TRUE);
            uPos++;
        }
    }
    AppendMenuA(hMenu, MF_SEPARATOR, 0, NULL);

    GetCursorPos(&pt);
    /* Without the foreground the menu would not close when the user clicks
       elsewhere; the posted WM_NULL lets it close properly afterwards. */
    SetForegroundWindow(hwnd);
    /* The choice comes back here rather than through the queue, where a
       command posted by another program could pass for it. */
    uChoice = (UINT)TrackPopupMenu(hMenu, TPM_RIGHTBUTTON | TPM_RIGHTALIGN | TPM_BOTTOMALIGN |
                                              TPM_RETURNCMD | TPM_NONOTIFY,
                                   pt.x, pt.y, 0, hwnd, NULL);
    PostMessageA(hwnd, WM_NULL, 0, 0);
    DestroyMenu(hMenu);
    if (uChoice == 0)
        return;
    /* A printer row means the printer the menu showed, even when a listing
       has rewritten the table while the menu was open. */
    iChosen = MenuPrinterRowOf(uChoice, iMenuPrinterCount);
    if (iChosen < 0) {
        PostMessageA(hwnd, WM_COMMAND, (WPARAM)uChoice, 0);
        return;
    }
    NoteUserChoice();
    if (MenuPrinterWideNames[iChosen][0] != L'\0')
        SwitchDefaultPrinterByWideName(MenuPrinterWideNames[iChosen]);
    else
        SwitchDefaultPrinterByName(MenuPrinterNames[iChosen]);
}


UINT IconActionFor(int iIconAction)
{
    return iIconAction == 0 ? PRINTACTION_PROPERTIES : PRINTACTION_OPEN;
}

typedef BOOL (WINAPI *INVOKEPRINTERCOMMANDWPROC)(HWND, UINT, LPCWSTR, LPCWSTR, BOOL);

void InvokeIconAction(HWND hwnd)
{
    char szPrinter[256];
    wchar_t wszPrinter[256];
    UINT uAction = IconActionFor(GetSettingsInForce()->iIconAction);

    /* The ANSI form of a name the code page cannot hold may be another
       printer's name: such a default is opened by its own name or not at all. */
    GetDefaultPrinterWideName(wszPrinter, 256);
    if (wszPrinter[0] != L'\0') {
        INVOKEPRINTERCOMMANDWPROC pfnInvokeW = (INVOKEPRINTERCOMMANDWPROC)FindLoadedFunction(
            "shell32.dll", "SHInvokePrinterCommandW");
        if (pfnInvokeW != NULL)
            pfnInvokeW(hwnd, uAction, wszPrinter, NULL, FALSE);
        return;
    }
    GetDefaultPrinterName(szPrinter, 255);
    pfnInvokePrinterCommand(hwnd, uAction, szPrinter, NULL, FALSE);
}
