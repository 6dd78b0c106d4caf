/* The benchmark's reference tray program: a hidden window, one icon, and on a
   right-click the menu Quorvel shows in the benchmark's session (its three
   commands, then the 50 printers from a fixed table with the default in
   bold), exit on command 1011. Built twice: bare, and (BENCH_LINKED)
   importing the same system libraries with the same manifest as Quorvel, and
   loading the spooler from the system folder at start as Quorvel does, so
   that the difference between the two is the libraries' cost. */
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <strsafe.h>

#define MSG_TRAY    6667
#define IDM_EXIT    1011
#define IDM_ABOUT   1012
#define IDM_CONFIG  1015

#ifdef BENCH_LINKED
/* One entry of each library Quorvel imports beyond the bare program's, so
   that the loader maps and initialises all of them at start, as it does for
   Quorvel; only the common controls are also called, as Quorvel does. */
typedef void (*GENERICPROC)(void);
GENERICPROC volatile pfnImports[] = {
    (GENERICPROC)WSAStartup,
    (GENERICPROC)RegOpenKeyExA,
    (GENERICPROC)GetStockObject,
};

/* Quorvel imports nothing from the spooler: it loads it by its full path. */
static void LoadSpooler(void)
{
    char szPath[MAX_PATH + 16];
    UINT cch = GetSystemDirectoryA(szPath, MAX_PATH);

    if (cch > 0 && cch < MAX_PATH && SUCCEEDED(StringCchCatA(szPath, sizeof(szPath), "\\winspool.drv")))
        LoadLibraryA(szPath);
}
#endif

/* The printers of the benchmark's session as Quorvel lists them, last row
   first (the spooler lists Alpha, Beta, Extra_03 to Extra_49, Gamma), and
   the default, which the benchmark sets, so that both menus are the same
   without asking the spooler. */
#define BENCH_PRINTERS 50
#define BENCH_DEFAULT "Alpha"
static const char *const apszPrinters[BENCH_PRINTERS] = {
    "Gamma", "Extra_49", "Extra_48", "Extra_47", "Extra_46", "Extra_45", "Extra_44", "Extra_43",
    "Extra_42", "Extra_41", "Extra_40", "Extra_39", "Extra_38", "Extra_37", "Extra_36", "Extra_35",
    "Extra_34", "Extra_33", "Extra_32", "Extra_31", "Extra_30", "Extra_29", "Extra_28", "Extra_27",
    "Extra_26", "Extra_25", "Extra_24", "Extra_23", "Extra_22", "Extra_21", "Extra_20", "Extra_19",
    "Extra_18", "Extra_17", "Extra_16", "Extra_15", "Extra_14", "Extra_13", "Extra_12", "Extra_11",
    "Extra_10", "Extra_09", "Extra_08", "Extra_07", "Extra_06", "Extra_05", "Extra_04", "Extra_03",
    "Beta", "Alpha",
};

static void ShowMenu(HWND hwnd)
{
    HMENU hMenu = CreatePopupMenu();
    POINT pt;
    int i;

    if (hMenu == NULL)
        return;
    AppendMenuA(hMenu, MF_STRING, IDM_ABOUT, "About Quorvel");
    AppendMenuA(hMenu, MF_STRING, IDM_CONFIG, "Config...");
    AppendMenuA(hMenu, MF_STRING, IDM_EXIT, "Exit");
    AppendMenuA(hMenu, MF_SEPARATOR, 0, NULL);
    /* The same command ids as Quorvel's rows: the row numbers. */
    for (i = 0; i < BENCH_PRINTERS; i++) {
        AppendMenuA(hMenu, MF_STRING, (UINT_PTR)(BENCH_PRINTERS - 1 - i), apszPrinters[i]);
        if (lstrcmpA(apszPrinters[i], BENCH_DEFAULT) == 0)
            SetMenuDefaultItem(hMenu, (UINT)(4 + i), TRUE);
    }
    AppendMenuA(hMenu, MF_SEPARATOR, 0, NULL);
    GetCursorPos(&pt);
    SetForegroundWindow(hwnd);
    TrackPopupMenu(hMenu, TPM_RIGHTBUTTON | TPM_RIGHTALIGN | TPM_BOTTOMALIGN, pt.x, pt.y, 0, hwnd,
                   NULL);
    PostMessageA(hwnd, WM_NULL, 0, 0);
    DestroyMenu(hMenu);
}

static LRESULT CALLBACK RefWndProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    NOTIFYICONDATAA nid;

    ZeroMemory(&nid, sizeof(nid));
    nid.cbSize = NOTIFYICONDATAA_V1_SIZE;
    nid.hWnd = hwnd;
    nid.uID = 1;
    switch (uMsg) {
    case WM_CREATE:
        nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
        nid.uCallbackMessage = MSG_TRAY;
        nid.hIcon = LoadIconA(NULL, (LPCSTR)IDI_APPLICATION);
        lstrcpynA(nid.szTip, "Reference", sizeof(nid.szTip));
        return Shell_NotifyIconA(NIM_ADD, &nid) ? 0 : -1;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDM_EXIT)
            PostMessageA(hwnd, WM_CLOSE, 0, 0);
        return 0;
    case MSG_TRAY:
        if (lParam == WM_RBUTTONUP)
            ShowMenu(hwnd);
        break;
    case WM_DESTROY:
        Shell_NotifyIconA(NIM_DELETE, &nid);
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcA(hwnd, uMsg, wParam, lParam);
}

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR pszCmdLine, int nCmdShow)
{
    WNDCLASSA wc;
    MSG msg;

    (void)hPrevInstance;
    (void)pszCmdLine;
    (void)nCmdShow;
#ifdef BENCH_LINKED
    InitCommonControls();
    LoadSpooler();
#endif
    ZeroMemory(&wc, sizeof(wc));
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = RefWndProc;
    wc.hInstance = hInstance;
    /* Quorvel's class name, so that one look-up finds the window of all three. */
    wc.lpszClassName = "Quorvel";
    if (!RegisterClassA(&wc))
        return 1;
    if (CreateWindowExA(0, "Quorvel", "Reference", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0,
                        CW_USEDEFAULT, 0, NULL, NULL, hInstance, NULL) == NULL)
        return 1;
    while (GetMessageA(&msg, NULL, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
