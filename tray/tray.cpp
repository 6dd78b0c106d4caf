/* The notification-area icon and its tip. Every call uses the first layout of
   NOTIFYICONDATA (88 bytes), which every shell since the first accepts. */
#include "../core/textsafe.h"
#include <shellapi.h>
#include "../core/state.h"
#include "tiptext.h"
#include "tray.h"
#include "../res/resource.h"

#define TRAY_ICON_ID 1

#ifndef _WIN64
static_assert(NOTIFYICONDATAA_V1_SIZE == 88, "first NOTIFYICONDATA layout is 88 bytes");
#endif

static void PrepareIconRecord(NOTIFYICONDATAA *pnid, HWND hwnd, UINT uFlags)
{
    ZeroMemory(pnid, sizeof(*pnid));
    pnid->cbSize = NOTIFYICONDATAA_V1_SIZE;
    pnid->hWnd = hwnd;
    pnid->uID = TRAY_ICON_ID;
    pnid->uFlags = uFlags;
}

BOOL AddTrayIcon(HWND hwnd, HINSTANCE hInstance)
{
    NOTIFYICONDATAA nid;

    PrepareIconRecord(&nid, hwnd, NIF_MESSAGE | NIF_ICON | NIF_TIP);
    nid.uCallbackMessage = MSG_TRAY;
    nid.hIcon = LoadIconA(hInstance, MAKEINTRESOURCEA(IDI_IDLE));
    StringCchCopyA(nid.szTip, TIP_FIELD_SIZE, "Quorvel");
    if (Shell_NotifyIconA(NIM_ADD, &nid))
        return TRUE;
    /* A busy shell may time out after it has added the icon; a change it
       accepts shows that the icon is there. */
    return Shell_NotifyIconA(NIM_MODIFY, &nid);
}

void SetTrayIcon(int bSwitched)
{
    NOTIFYICONDATAA nid;

    /* Also called from the enumeration worker; it touches only hMainWnd and the
       instance, both set before any worker starts. */
    PrepareIconRecord(&nid, hMainWnd, NIF_ICON);
    nid.hIcon = LoadIconA(hAppInstance,
                          MAKEINTRESOURCEA(bSwitched ? IDI_SWITCHED : IDI_IDLE));
    Shell_NotifyIconA(NIM_MODIFY, &nid);
}

void SetTrayTip(HWND hwnd, const char *pszPrinterName)
{
    NOTIFYICONDATAA nid;

    PrepareIconRecord(&nid, hwnd, NIF_TIP);
    ComposeTrayTip(pszPrinterName, AutoSettings.bSetByIP, szCurrentLocation, nid.szTip);
    Shell_NotifyIconA(NIM_MODIFY, &nid);
}

BOOL RemoveTrayIcon(HWND hwnd)
{
    NOTIFYICONDATAA nid;

    PrepareIconRecord(&nid, hwnd, 0);
    return Shell_NotifyIconA(NIM_DELETE, &nid);
}
