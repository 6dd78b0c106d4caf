/* The benchmark's reference tray program: a hidden window, one icon, the
   tray menu's fixed commands, exit on command 1011. Built twice: bare, and
   (BENCH_LINKED) importing the same system libraries with the same manifest
   as Quorvel, so that the difference between the two is the libraries' cost. */
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <winspool.h>

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
    (GENERICPROC)EnumPrintersA,
    (GENERICPROC)RegOpenKeyExA,
    (GENERICPROC)GetStockObject,
};
#endif

static void ShowMenu(HWND hwnd)
{
    HMENU hMenu = CreatePopupMenu();
    POINT pt;

    if (hMenu == NULL)
        return;
    AppendMenuA(hMenu, MF_STRING, IDM_ABOUT, "About");
    AppendMenuA(hMenu, MF_STRING, IDM_CONFIG, "Config...");
    AppendMenuA(hMenu, MF_STRING, IDM_EXIT, "Exit");
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
