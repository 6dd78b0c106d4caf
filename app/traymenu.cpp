/* The tray icon's popup menu and double-click action. */
#include <string.h>
#include "../core/state.h"
#include "menulogic.h"
#include "traymenu.h"
#include "../dialogs/dialogs.h"
#include "../printers/printerlogic.h"
#include "../printers/printers.h"
#include "../res/resource.h"

/* The printers the last menu showed, by command id. A choice switches to
   the printer the user saw, even when a listing has rewritten the table
   while the menu was open. */
static PrinterRow MenuPrinterNames[MAX_PRINTERS];
static int iMenuPrinterCount;

void OnTrayNotify(HWND hwnd, HINSTANCE hInstance, UINT uMouseMsg)
{
    switch (uMouseMsg) {
    case WM_LBUTTONDBLCLK:
        if (bShellPrinterCommand)
            InvokeIconAction(hwnd);
        else
            DialogBoxParamA(hInstance, MAKEINTRESOURCEA(IDD_ABOUT), hwnd, AboutDlgProc, 0);
        break;
    case WM_RBUTTONUP:
        ShowTrayMenu(hInstance, hwnd);
        break;
    default:
        break;
    }
}

/* After the menu has closed: switches to the printer the menu showed for
   the command it posted, if the user chose a printer. */
static void TakeMenuPrinterChoice(HWND hwnd)
{
    MSG msg;

    /* The menu posts its command before TrackPopupMenu returns, so a
       printer command waiting now is the user's choice: it names the row
       as the menu showed it. Other commands go on to the window as usual. */
    while (PeekMessageA(&msg, hwnd, WM_COMMAND, WM_COMMAND, PM_NOREMOVE) &&
           msg.wParam < (WPARAM)iMenuPrinterCount) {
        PeekMessageA(&msg, hwnd, WM_COMMAND, WM_COMMAND, PM_REMOVE);
        SwitchDefaultPrinterByName(MenuPrinterNames[msg.wParam]);
    }
    iMenuPrinterCount = 0;
}

void ShowTrayMenu(HINSTANCE hInstance, HWND hwnd)
{
    HMENU hMenu;
    char szDefault[256];
    POINT pt;

    (void)hInstance;
    hMenu = CreatePopupMenu();
    if (hMenu == NULL)
        return;
    AppendMenuA(hMenu, MF_STRING, IDM_ABOUT, "About Quorvel");
    AppendMenuA(hMenu, MF_STRING, IDM_CONFIG, "Config...");
    AppendMenuA(hMenu, MF_STRING, IDM_EXIT, "Exit");
    AppendMenuA(hMenu, MF_SEPARATOR, 0, NULL);

    GetDefaultPrinterName(szDefault, 255);
    iMenuPrinterCount = 0;
    if (bEnumBusy) {
        /* Disabled but drawn normally: a notice, not a choice. */
        AppendMenuA(hMenu, MF_STRING | MF_DISABLED, 0, MENU_TEXT_BUSY);
    } else {
        int iCount = iPrinterCount;
        UINT uPos = 4;
        int iRow;
        char szText[MENU_TEXT_SIZE];

        for (iRow = 0; iRow < iCount; iRow++)
            CopyPrinterName(MenuPrinterNames[iRow], PrinterTable[iRow]);
        iMenuPrinterCount = iCount;
        /* Last row first; the walk meets the lowest row last, so of two rows
           with the default's name the lower one ends up bold. */
        for (iRow = iCount - 1; iRow >= 0; iRow--) {
            /* The name as the spooler gives it: an "&" in it is shown, not
               taken as an access key. */
            ComposeMenuText(MenuPrinterNames[iRow], szText, sizeof(szText));
            AppendMenuA(hMenu, MF_STRING, (UINT_PTR)iRow, szText);
            if (strcmp(MenuPrinterNames[iRow], szDefault) == 0)
                SetMenuDefaultItem(hMenu, uPos, TRUE);
            uPos++;
        }
    }
    AppendMenuA(hMenu, MF_SEPARATOR, 0, NULL);

    GetCursorPos(&pt);
    /* Without the foreground the menu would not close when the user clicks
       elsewhere; the posted WM_NULL lets it close properly afterwards. */
    SetForegroundWindow(hwnd);
    TrackPopupMenu(hMenu, TPM_RIGHTBUTTON | TPM_RIGHTALIGN | TPM_BOTTOMALIGN, pt.x, pt.y, 0, hwnd,
                   NULL);
    PostMessageA(hwnd, WM_NULL, 0, 0);
    DestroyMenu(hMenu);
    TakeMenuPrinterChoice(hwnd);
}


UINT IconActionFor(int iIconAction)
{
    return iIconAction == 0 ? PRINTACTION_PROPERTIES : PRINTACTION_OPEN;
}

void InvokeIconAction(HWND hwnd)
{
    char szPrinter[256];

    GetDefaultPrinterName(szPrinter, 255);
    pfnInvokePrinterCommand(hwnd, IconActionFor(AutoSettings.iIconAction), szPrinter, NULL,
                            FALSE);
}
