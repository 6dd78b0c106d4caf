/* Entry point: registers the window class, creates the hidden main window and
   runs the message loop until the program is told to exit. */
#include "../core/state.h"
#include "../core/syslib.h"
#include <commctrl.h>
#include "mainwnd.h"

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
    SETDEFAULTDLLDIRECTORIESPROC pfnSetDefault = (SETDEFAULTDLLDIRECTORIESPROC)FindLoadedFunction(
        "kernel32.dll", "SetDefaultDllDirectories");

    if (pfnSetDefault != NULL)
        pfnSetDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

/* One copy per sign-in session: without a backslash the name lies in the
   session's own namespace from Windows 2000 on, and Windows 95 and NT 4
   take it as it is. The handle is never closed: the process's end releases
   the name. */
#define ONE_COPY_MUTEX_NAME "Quorvel.OneCopyPerSession"
static HANDLE hOneCopy;

typedef BOOL (WINAPI *ALLOWSETFOREGROUNDWINDOWPROC)(DWORD);

/* Whether the command line carries the switch of the starts that no person
   asked for (sign-in, a restart after an update): such a start, finding a
   copy already running, ends without a word. */
static int IsQuietStart(const char *pszCmdLine)
{
    char szWord[16];
    int i = 0;

    while (*pszCmdLine == ' ' || *pszCmdLine == '\t')
        pszCmdLine++;
    while (pszCmdLine[i] != '\0' && pszCmdLine[i] != ' ' && pszCmdLine[i] != '\t' &&
           i < (int)sizeof(szWord) - 1) {
        szWord[i] = pszCmdLine[i];
        i++;
    }
    szWord[i] = '\0';
    return lstrcmpiA(szWord, QUIET_START_SWITCH) == 0;
}

/* A person started Quorvel again, most often because its icon was out of
   sight: the running copy opens its configuration (or brings it forward),
   and may take the foreground from this process. Windows 98 and 2000 on
   hand the foreground on only when asked to. */
static void ShowRunningCopy(void)
{
    ALLOWSETFOREGROUNDWINDOWPROC pfnAllow = (ALLOWSETFOREGROUNDWINDOWPROC)FindLoadedFunction(
        "user32.dll", "AllowSetForegroundWindow");
    HWND hRunning = NULL;
    DWORD dwProcessId = 0;
    int iTry;

    /* A copy started a moment ago may not have its window yet. */
    for (iTry = 0; iTry < 50; iTry++) {
        hRunning = FindWindowA(MAIN_WINDOW_CLASS, NULL);
        if (hRunning != NULL)
            break;
        Sleep(100);
    }
    if (hRunning == NULL)
        return;
    if (pfnAllow != NULL && GetWindowThreadProcessId(hRunning, &dwProcessId) != 0)
        pfnAllow(dwProcessId);
    PostMessageA(hRunning, WM_COMMAND, IDM_CONFIG, 0);
}

/* The exit code when the message queue fails: not 0, so that whoever
   started the program (a script, an installer) can tell this end from one
   that was asked for. */
#define EXIT_QUEUE_FAILED 2

/* The library stays loaded for the life of the process: its printer command
   may be called at any double-click. */
static HMODULE hShellLibrary;

static void LookUpPrinterCommand(void)
{
    hShellLibrary = LoadSystemLibrary("shell32.dll");
    pfnInvokePrinterCommand = (INVOKEPRINTERCOMMANDPROC)FindLibraryFunction(
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
    (void)nCmdShow;

    RestrictLibrarySearch();

    /* Two copies would each hold their own list, and OK in one would
       overwrite what the user saved in the other. */
    hOneCopy = CreateMutexA(NULL, FALSE, ONE_COPY_MUTEX_NAME);
    if (hOneCopy != NULL && GetLastError() == ERROR_ALREADY_EXISTS) {
        if (!IsQuietStart(pszCmdLine != NULL ? pszCmdLine : ""))
            ShowRunningCopy();
        return 0;
    }

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
        if (bGot == -1) {
            /* The queue can no longer be read. The window still goes as in
               every other ending, so that WM_DESTROY takes the icon away. */
            if (IsWindow(hMainWnd))
                DestroyWindow(hMainWnd);
            return EXIT_QUEUE_FAILED;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return (int)msg.wParam;
}
