/* The hidden main window. Every event reaches the program here, on the main
   thread, and each message is handed to one operation in a fixed order. */
#include <string.h>
#include "../core/state.h"
#include "../core/syslib.h"
#include "decide.h"
#include "mainwnd.h"
#include "../tray/tray.h"
#include "traymenu.h"
#include "../dialogs/dialogs.h"
#include "../res/resource.h"
#include "../locations/locations.h"
#include "../printers/printers.h"
#include "../printers/spooler.h"

void RefreshTrayTip(HWND hwnd)
{
    char szPrinter[256];

    GetDefaultPrinterName(szPrinter, 255);
    SetTrayTip(hwnd, szPrinter, GetSettingsInForce()->bSetByIP,
               IsLocationDecided() ? szCurrentLocation : NULL);
}

/* Set while the notification area has not yet taken the icon: at sign-in
   the taskbar may not exist yet, or the shell may be too busy to answer. */
static int bTrayWaiting;
static DWORD dwTrayWaitStart;
/* Set once the session ends: nobody is left to read a message box. */
static int bSessionEnding;
/* Set once the program has given up on the notification area: no icon may
   come after the user was told that the program ends. */
static int bTrayGivenUp;

static void StopWaitingForTray(HWND hwnd)
{
    KillTimer(hwnd, TIMER_TRAY_RETRY);
    bTrayWaiting = 0;
}

/* Ends like every other ending, through the window's destruction, so that
   WM_DESTROY releases what the program holds. Posted, since this may run
   while the window is still being created. */
static void GiveUpTrayIcon(HWND hwnd)
{
    bTrayGivenUp = 1;
    MessageBoxA(hwnd, "Error creating taskbar icon.\nExiting Application.", "ERROR",
                MB_ICONERROR);
    PostMessageA(hwnd, WM_CLOSE, 0, 0);
}

/* The icon could not be added: try again every few seconds and whenever the
   shell announces its taskbar, and give up only after two minutes. */
static void WaitForTray(HWND hwnd)
{
    bTrayWaiting = 1;
    dwTrayWaitStart = GetTickCount();
    if (SetTimer(hwnd, TIMER_TRAY_RETRY, TRAY_RETRY_INTERVAL_MS, NULL) == 0) {
        bTrayWaiting = 0;
        GiveUpTrayIcon(hwnd);
    }
}

/* Called while waiting, by the retry timer or the shell's announcement. */
static void RetryTrayIcon(HWND hwnd)
{
    if (AddTrayIcon(hwnd, hAppInstance)) {
        /* No timer outlives the wait: once the icon is in, nothing wakes. */
        StopWaitingForTray(hwnd);
        RefreshTrayTip(hwnd);
    } else if (GetTickCount() - dwTrayWaitStart >= TRAY_WAIT_LIMIT_MS) {
        /* Stopped first, so no tick reaches the window behind the box. */
        StopWaitingForTray(hwnd);
        GiveUpTrayIcon(hwnd);
    }
}

static LRESULT OnCreate(HWND hwnd, const CREATESTRUCTA *pcs)
{
    uTaskbarCreatedMsg = RegisterWindowMessageA("TaskbarCreated");
    hAppInstance = pcs->hInstance;
    /* CreateWindowEx has not returned yet, but what runs from here on may
       address the window through hMainWnd. */
    hMainWnd = hwnd;
    iPlatform = GetPlatformClass();
    /* Before the first listing: every spooler call goes through it. */
    LoadSpooler();
    StartAddressWatch();
    LoadSettings();
    LoadPolicies();
    /* Detected now; the rules apply once the first printer listing can
       name the printers. */
    RequestLocationDecision(hwnd, DECIDE_AT_START);
    ArmAddressWatch(hwnd);

    bTrayWaiting = 0;
    bSessionEnding = 0;
    bTrayGivenUp = 0;
    if (!AddTrayIcon(hwnd, hAppInstance))
        WaitForTray(hwnd);
    RefreshTrayTip(hwnd);
    StartPrinterEnumeration();
    return 0;
}

static void OnAddressChanged(HWND hwnd)
{
    RequestLocationDecision(hwnd, DECIDE_ON_CHANGE);
    /* Each arming yields one report: ask for the next change. */
    ArmAddressWatch(hwnd);
}

/* Group Policy announces each refresh with this text; the parameter of
   every other announcement is some other text, or none. */
static BOOL IsPolicyRefresh(LPARAM lParam)
{
    return lParam != 0 && strcmp((const char *)lParam, "Policy") == 0;
}

/* A change of the system's settings: the printers may be others. After a
   policy refresh that changed the policies, the location is decided anew
   with the rows and settings now in force. */
static void OnSettingChange(HWND hwnd, LPARAM lParam)
{
    /* Decided before the listing starts, so the rules read a whole table. */
    if (IsPolicyRefresh(lParam) && LoadPolicies())
        RequestLocationDecision(hwnd, DECIDE_ON_POLICY);
    StartPrinterEnumeration();
    RefreshTrayTip(hwnd);
}

static void OnDestroy(HWND hwnd)
{
    StopLocationDecision(hwnd);
    /* Given up, the program never had an icon to remove. */
    if (bTrayWaiting)
        StopWaitingForTray(hwnd);
    else if (!bTrayGivenUp && !RemoveTrayIcon(hwnd) && !bSessionEnding)
        MessageBoxA(NULL, "Could not remove icon", "Error", MB_ICONWARNING);
    /* Also releases the watch socket. */
    WSACleanup();
    PostQuitMessage(0);
}

#ifndef ENDSESSION_CLOSEAPP
#define ENDSESSION_CLOSEAPP 0x00000001
#endif
#ifndef RESTART_NO_CRASH
#define RESTART_NO_CRASH    1
#define RESTART_NO_HANG     2
#define RESTART_NO_REBOOT   8
#endif
/* Take a wide command line: the functions exist in no 8-bit form. */
typedef HRESULT (WINAPI *REGISTERAPPLICATIONRESTARTPROC)(const WCHAR *, DWORD);
typedef HRESULT (WINAPI *UNREGISTERAPPLICATIONRESTARTPROC)(void);

/* Set while the program is registered to be started again. */
static int bRestartRegistered;

/* Windows Installer's Restart Manager asks the program to close so that an
   update can replace its file: registered now, it is started again
   afterwards. Only then: a registration made at start would also bring a
   copy back after an ordinary restart, beside the sign-in start. Vista and
   later. */
static BOOL OnQueryEndSession(LPARAM lParam)
{
    REGISTERAPPLICATIONRESTARTPROC pfnRegister;

    if ((lParam & ENDSESSION_CLOSEAPP) == 0)
        return TRUE;
    pfnRegister = (REGISTERAPPLICATIONRESTARTPROC)FindLoadedFunction("kernel32.dll",
                                                                     "RegisterApplicationRestart");
    if (pfnRegister != NULL &&
        SUCCEEDED(pfnRegister(QUIET_START_SWITCH_W,
                              RESTART_NO_CRASH | RESTART_NO_HANG | RESTART_NO_REBOOT)))
        bRestartRegistered = 1;
    /* Nothing to save: the settings are stored when they are confirmed. */
    return TRUE;
}

/* The end was called off: the program runs on and nothing is to bring it
   back later. */
static void WithdrawRestart(void)
{
    UNREGISTERAPPLICATIONRESTARTPROC pfnUnregister;

    if (!bRestartRegistered)
        return;
    pfnUnregister = (UNREGISTERAPPLICATIONRESTARTPROC)FindLoadedFunction(
        "kernel32.dll", "UnregisterApplicationRestart");
    if (pfnUnregister != NULL)
        pfnUnregister();
    bRestartRegistered = 0;
}

/* Windows ends the session, or Windows Installer's Restart Manager closes
   the program to replace its file (ENDSESSION_CLOSEAPP): the icon goes and
   the program ends cleanly, so no stale icon stays behind. */
static void OnEndSession(HWND hwnd, BOOL bEnding)
{
    if (!bEnding) {
        WithdrawRestart();
        return;
    }
    bSessionEnding = 1;
    DestroyWindow(hwnd);
}

static void OnTimer(HWND hwnd, WPARAM wTimerId)
{
    if (wTimerId == TIMER_TRAY_RETRY) {
        /* The timer runs only while waiting: it is killed when the wait ends. */
        if (bTrayWaiting)
            RetryTrayIcon(hwnd);
        return;
    }
    if (ContinueLocationDecision(hwnd, wTimerId))
        return;
    KillTimer(hMainWnd, TIMER_ICON_RESTORE);
    SetTrayIcon(0);
}

static void OnTaskbarCreated(HWND hwnd)
{
    if (bTrayGivenUp)
        return;
    if (bTrayWaiting)
        RetryTrayIcon(hwnd);
    else
        AddTrayIcon(hwnd, hAppInstance);
}

/* The command of the program's own top-level modal window that is open
   (About, configuration, printer error), 0 while none is. Other programs
   may post these commands too, and a modal loop dispatches them: each would
   otherwise open its window inside the loop of the one before. */
static WPARAM wOpenModal;

/* Brings the open modal window forward, or the popup over it. */
static void BringModalForward(HWND hwnd)
{
    HWND hPopup;

    if (wOpenModal == IDM_CONFIG) {
        /* It knows its own dialog and the location dialog over it. */
        OpenConfigDialog(hwnd);
        return;
    }
    hPopup = GetLastActivePopup(hwnd);
    if (hPopup != NULL && hPopup != hwnd)
        SetForegroundWindow(hPopup);
}

/* One of them at a time: a request while one is open opens nothing. */
static void ShowOwnModal(HWND hwnd, WPARAM wCommand)
{
    if (wOpenModal != 0) {
        BringModalForward(hwnd);
        return;
    }
    wOpenModal = wCommand;
    if (wCommand == IDM_ABOUT)
        DialogBoxParamA(hAppInstance, MAKEINTRESOURCEA(IDD_ABOUT), hwnd, AboutDlgProc, 0);
    else if (wCommand == IDM_CONFIG)
        OpenConfigDialog(hwnd);
    else
        MessageBoxA(hwnd, "There was an error processing the printers.", "Error",
                    MB_ICONWARNING);
    wOpenModal = 0;
}

static void OnCommand(HWND hwnd, WPARAM wParam)
{
    switch (wParam) {
    case IDM_EXIT:
        PostMessageA(hwnd, WM_CLOSE, 0, 0);
        break;
    case IDM_ABOUT:
    case IDM_CONFIG:
    case IDM_PRINTERS_ERROR:
        ShowOwnModal(hwnd, wParam);
        break;
    default:
        /* Only rows of the current table are printers; any other id (a stale
           or foreign command) must never index the table. */
        if (wParam < (WPARAM)iPrinterCount) {
            NoteUserChoice();
            SwitchDefaultPrinter((int)wParam);
        }
        break;
    }
}

LRESULT CALLBACK MainWndProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg) {
    case WM_CREATE:
        return OnCreate(hwnd, (const CREATESTRUCTA *)lParam);
    case WM_DESTROY:
        OnDestroy(hwnd);
        return 0;
    case WM_COMMAND:
        OnCommand(hwnd, wParam);
        return 0;
    case WM_WININICHANGE:
        OnSettingChange(hwnd, lParam);
        break;
    case MSG_TRAY:
        OnTrayNotify(hwnd, hAppInstance, (UINT)lParam);
        break;
    case MSG_ADDRESS_CHANGED:
        OnAddressChanged(hwnd);
        break;
    case MSG_SETTINGS_SAVED:
        /* Confirmed settings apply at once, even with automatic switching off. */
        RequestLocationDecision(hwnd, DECIDE_ON_SAVE);
        break;
    case MSG_PRINTERS_LISTED:
        OnPrintersListed(hwnd);
        return 0;
    case WM_TIMER:
        OnTimer(hwnd, wParam);
        break;
    case WM_QUERYENDSESSION:
        return OnQueryEndSession(lParam);
    case WM_ENDSESSION:
        OnEndSession(hwnd, (BOOL)wParam);
        return 0;
    default:
        if (uMsg == uTaskbarCreatedMsg && uMsg != 0)
            OnTaskbarCreated(hwnd);
        break;
    }
    return DefWindowProcA(hwnd, uMsg, wParam, lParam);
}

BOOL RegisterMainWindowClass(HINSTANCE hInstance)
{
    WNDCLASSA wc;

    ZeroMemory(&wc, sizeof(wc));
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = MainWndProc;
    wc.hInstance = hInstance;
    wc.hIcon = LoadIconA(NULL, IDI_APPLICATION);
    wc.hCursor = LoadCursorA(NULL, IDC_ARROW);
    wc.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
    wc.lpszClassName = MAIN_WINDOW_CLASS;
    return RegisterClassA(&wc) != 0;
}

HWND CreateMainWindow(HINSTANCE hInstance)
{
    /* Never shown: the tray icon is the program's only presence. */
    hMainWnd = CreateWindowExA(0, MAIN_WINDOW_CLASS, "Quorvel", WS_OVERLAPPEDWINDOW,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                               NULL, NULL, hInstance, NULL);
    return hMainWnd;
}
