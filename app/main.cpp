/* Entry point: registers the window class, creates the hidden main window and
   runs the message loop until the program is told to exit. */
#include "../core/state.h"
#include <commctrl.h>
#include "mainwnd.h"

/* GetProcAddress returns a generic pointer; a detour through a plain function
   type keeps the cast to the real signature well-defined for every compiler. */
typedef void (*GENERICPROC)(void);

static void LookUpPrinterCommand(void)
{
    HMODULE hShell = LoadLibraryA("Shell32.DLL");

    /* The library stays loaded for the life of the process. */
    if (hShell == NULL)
        return;
    pfnInvokePrinterCommand = (INVOKEPRINTERCOMMANDPROC)(GENERICPROC)GetProcAddress(
        hShell, "SHInvokePrinterCommandA");
    if (pfnInvokePrinterCommand != NULL)
        bShellPrinterCommand = 1;
}

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR pszCmdLine,
                   int nCmdShow)
{
    MSG msg;
    BOOL bGot;

    (void)hPrevInstance;
    (void)pszCmdLine;
    (void)nCmdShow;

    InitCommonControls();

    if (!RegisterMainWindowClass(hInstance)) {
        MessageBoxA(NULL, "Could not register windows class", "Quorvel", MB_ICONERROR);
        return 0;
    }
    /* WM_CREATE runs inside this call and does all the start-up work. */
    if (CreateMainWindow(hInstance) == NULL) {
        MessageBoxA(NULL, "Could not create the main window", "Quorvel", MB_ICONERROR);
        return 1;
    }
    UpdateWindow(hMainWnd);

    LookUpPrinterCommand();

    msg.wParam = 0;
    while ((bGot = GetMessageA(&msg, NULL, 0, 0)) != 0) {
        if (bGot == -1)
            break;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return (int)msg.wParam;
}
