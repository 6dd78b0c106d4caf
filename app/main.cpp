/* Entry point: registers the window class, creates the hidden main window and
   runs the message loop until the program is told to exit. */
#include "../core/state.h"
#include <commctrl.h>
#include "mainwnd.h"

/* GetProcAddress returns a generic pointer; a detour through a plain function
   type keeps the cast to the real signature well-defined for every compiler. */
typedef void (*GENERICPROC)(void);

/* A kernel32 entry point that older systems lack: NULL there. */
static GENERICPROC FindKernelFunction(const char *pszName)
{
    HMODULE hKernel = GetModuleHandleA("kernel32.dll");

    return hKernel != NULL ? (GENERICPROC)GetProcAddress(hKernel, pszName) : NULL;
}

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif
typedef BOOL (WINAPI *SETDEFAULTDLLDIRECTORIESPROC)(DWORD);

/* Libraries loaded later by name, the system's own delay-loaded ones
   included, come from the system folder only, never from the program's
   folder, where a download may have planted one. Windows offers this from
   Windows 8 (and Windows 7 with its update); older systems lack it. */
static void RestrictLibrarySearch(void)
{
    SETDEFAULTDLLDIRECTORIESPROC pfnSetDefault =
        (SETDEFAULTDLLDIRECTORIESPROC)FindKernelFunction("SetDefaultDllDirectories");

    if (pfnSetDefault != NULL)
        pfnSetDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

#ifndef RESTART_NO_CRASH
#define RESTART_NO_CRASH    1
#define RESTART_NO_HANG     2
#define RESTART_NO_REBOOT   8
#endif
/* Takes a wide command line: the function exists in no 8-bit form. */
typedef HRESULT (WINAPI *REGISTERAPPLICATIONRESTARTPROC)(const WCHAR *, DWORD);

/* An update that Windows Installer makes while the user is signed in closes
   the program (Restart Manager); registered, it is started again afterwards.
   Only then: after a crash, a hang or a reboot the sign-in start (or the
   user) brings it back, and a second copy must not appear. Vista and later. */
static void RegisterRestartAfterUpdate(void)
{
    REGISTERAPPLICATIONRESTARTPROC pfnRegister =
        (REGISTERAPPLICATIONRESTARTPROC)FindKernelFunction("RegisterApplicationRestart");

    if (pfnRegister != NULL)
        pfnRegister(NULL, RESTART_NO_CRASH | RESTART_NO_HANG | RESTART_NO_REBOOT);
}

/* The library stays loaded for the life of the process: its printer command
   may be called at any double-click. */
static HMODULE hShellLibrary;

static void LookUpPrinterCommand(void)
{
    hShellLibrary = LoadLibraryA("Shell32.DLL");
    if (hShellLibrary == NULL)
        return;
    pfnInvokePrinterCommand = (INVOKEPRINTERCOMMANDPROC)(GENERICPROC)GetProcAddress(
        hShellLibrary, "SHInvokePrinterCommandA");
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

    RestrictLibrarySearch();
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
    RegisterRestartAfterUpdate();

    msg.wParam = 0;
    while ((bGot = GetMessageA(&msg, NULL, 0, 0)) != 0) {
        if (bGot == -1)
            break;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return (int)msg.wParam;
}
