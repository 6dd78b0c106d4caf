/* The notification-area icon, its tip and its notices. The icon's calls use
   the first layout of NOTIFYICONDATA (88 bytes), which every shell since the
   first accepts; a notice takes the layout the shell's version asks for. */
/* Before strsafe.h, whose warnings would rename what this header declares. */
#include <winsock2.h>
#include <windows.h>
#include <shlwapi.h>
#include "../core/textsafe.h"
#include <shellapi.h>
#include "../core/state.h"
#include "../core/syslib.h"
#include "noticelogic.h"
#include "tiptext.h"
#include "tray.h"
#include "../res/resource.h"

#define TRAY_ICON_ID 1

#ifndef _WIN64
static_assert(NOTIFYICONDATAA_V1_SIZE == 88, "first NOTIFYICONDATA layout is 88 bytes");
static_assert(NOTIFYICONDATAA_V2_SIZE == 488, "second NOTIFYICONDATA layout is 488 bytes");
#endif
static_assert(NOTICE_FLAG_INFO == NIIF_INFO && NOTICE_FLAG_NOSOUND == NIIF_NOSOUND,
              "notice flags are the shell's");
#ifdef NIIF_RESPECT_QUIET_TIME
static_assert(NOTICE_FLAG_RESPECT_QUIET_TIME == NIIF_RESPECT_QUIET_TIME, "quiet-time flag is the shell's");
#endif
static_assert(NOTICE_TEXT_SIZE == sizeof(((NOTIFYICONDATAA *)0)->szInfo) &&
                  NOTICE_TITLE_SIZE == sizeof(((NOTIFYICONDATAA *)0)->szInfoTitle),
              "notice fields are the shell's");

/* The notice record this shell takes; read once, on the main thread, before
   any switch can happen, and never changed after. Zero size: no notice. */
static NoticeRecordChoice NoticeRecord;
static int bNoticeRecordKnown;

/* The shell library is already loaded: the icon calls come from it. Shells
   before 4.71 have no version function, and no balloon either. */
static void LookUpNoticeRecord(void)
{
    DLLGETVERSIONPROC pfnGetVersion;
    DLLVERSIONINFO dvi;

    if (bNoticeRecordKnown)
        return;
    bNoticeRecordKnown = 1;
    pfnGetVersion = (DLLGETVERSIONPROC)FindLoadedFunction("shell32.dll", "DllGetVersion");
    if (pfnGetVersion == NULL)
        return;
    ZeroMemory(&dvi, sizeof(dvi));
    dvi.cbSize = sizeof(dvi);
    if (FAILED(pfnGetVersion(&dvi)))
        return;
    NoticeRecord = ChooseNoticeRecord(dvi.dwMajorVersion, dvi.dwMinorVersion,
                                      (unsigned long)NOTIFYICONDATAA_V2_SIZE);
}

/* The picture made for the display's small-icon size (16 pixels at 100 %,
   24 at 150 %), which the shell would otherwise shrink from the 32-pixel one.
   Not a shared load: that keeps the first size asked for, which the About
   dialog would then get too. The shell keeps its own copy of the picture, so
   the caller destroys it once the shell has been told. */
static HICON LoadTrayPicture(HINSTANCE hInstance, int iIconId)
{
    return (HICON)LoadImageA(hInstance, MAKEINTRESOURCEA(iIconId), IMAGE_ICON,
                             GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0);
}

static void ReleaseTrayPicture(HICON hIcon)
{
    if (hIcon != NULL)
        DestroyIcon(hIcon);
}

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
    BOOL bAdded;

    LookUpNoticeRecord();
    PrepareIconRecord(&nid, hwnd, NIF_MESSAGE | NIF_ICON | NIF_TIP);
    nid.uCallbackMessage = MSG_TRAY;
    nid.hIcon = LoadTrayPicture(hInstance, IDI_IDLE);
    StringCchCopyA(nid.szTip, TIP_FIELD_SIZE, "Quorvel");
    bAdded = Shell_NotifyIconA(NIM_ADD, &nid);
    /* A busy shell may time out after it has added the icon; a change it
       accepts shows that the icon is there. */
    if (!bAdded)
        bAdded = Shell_NotifyIconA(NIM_MODIFY, &nid);
    ReleaseTrayPicture(nid.hIcon);
    return bAdded;
}

void SetTrayIcon(int bSwitched)
{
    NOTIFYICONDATAA nid;

    PrepareIconRecord(&nid, hMainWnd, NIF_ICON);
    nid.hIcon = LoadTrayPicture(hAppInstance, bSwitched ? IDI_SWITCHED : IDI_IDLE);
    Shell_NotifyIconA(NIM_MODIFY, &nid);
    ReleaseTrayPicture(nid.hIcon);
}

void SetTrayTip(HWND hwnd, const char *pszPrinterName, int bSetByIP, const char *pszLocation)
{
    NOTIFYICONDATAA nid;

    PrepareIconRecord(&nid, hwnd, NIF_TIP);
    ComposeTrayTip(pszPrinterName, bSetByIP, pszLocation, nid.szTip);
    Shell_NotifyIconA(NIM_MODIFY, &nid);
}

void ShowSwitchNotice(const char *pszPrinter, const char *pszLocation)
{
    NOTIFYICONDATAA nid;
    CPINFO cpi;

    if (NoticeRecord.cbSize == 0)
        return;
    PrepareIconRecord(&nid, hMainWnd, NIF_INFO);
    nid.cbSize = (DWORD)NoticeRecord.cbSize;
    nid.dwInfoFlags = (DWORD)NoticeRecord.dwInfoFlags;
    /* The shortest time older shells allow; newer ones choose their own. */
    nid.uTimeout = 10000;
    if (!GetCPInfo(CP_ACP, &cpi))
        ZeroMemory(&cpi, sizeof(cpi));
    ComposeSwitchNotice(pszPrinter, pszLocation, cpi.LeadByte, nid.szInfo);
    StringCchCopyA(nid.szInfoTitle, NOTICE_TITLE_SIZE, NOTICE_TITLE);
    /* Nothing waits for the balloon's callbacks, which some shells never
       send; one the shell refuses is simply not shown. A newer notice
       replaces the one still showing. */
    Shell_NotifyIconA(NIM_MODIFY, &nid);
}

BOOL RemoveTrayIcon(HWND hwnd)
{
    NOTIFYICONDATAA nid;

    PrepareIconRecord(&nid, hwnd, 0);
    return Shell_NotifyIconA(NIM_DELETE, &nid);
}
