// The program's own main window, run inside a test process.
#include "inprocess.h"

#include <commctrl.h>
#include <cstring>

#include "app/mainwnd.h"
#include "printers/spooler.h"

namespace {

std::vector<RecordedMessage> g_messages;
WNDPROC g_originalProc;

LRESULT CALLBACK RecordingProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    g_messages.push_back({uMsg, wParam, lParam, GetTickCount()});
    return CallWindowProcA(g_originalProc, hwnd, uMsg, wParam, lParam);
}

#ifndef MN_GETHMENU
#define MN_GETHMENU 0x01E1
#endif

// The tray menu tells its owner nothing (it returns its choice), so a popup
// menu is seen by its window: made when it opens, destroyed when it closes.
LRESULT CALLBACK WatchMenuWindows(int code, WPARAM wParam, LPARAM lParam)
{
    const CWPRETSTRUCT *p = reinterpret_cast<const CWPRETSTRUCT *>(lParam);
    char cls[16] = "";
    if (code == HC_ACTION && (p->message == WM_CREATE || p->message == WM_DESTROY) &&
        GetClassNameA(p->hwnd, cls, sizeof(cls)) && strcmp(cls, "#32768") == 0) {
        if (p->message == WM_CREATE && InProcessTest::onMenuPopup) {
            auto handler = InProcessTest::onMenuPopup;
            handler(reinterpret_cast<HMENU>(SendMessageA(p->hwnd, MN_GETHMENU, 0, 0)));
        } else if (p->message == WM_DESTROY && InProcessTest::onMenuClosed) {
            auto handler = InProcessTest::onMenuClosed;
            handler();
        }
    }
    return CallNextHookEx(NULL, code, wParam, lParam);
}

}  // namespace

std::function<void(HMENU)> InProcessTest::onMenuPopup;
std::function<void()> InProcessTest::onMenuClosed;

void InProcessTest::SetUp()
{
    static bool registered;
    if (!registered) {
        InitCommonControls();
        ASSERT_TRUE(RegisterMainWindowClass(GetModuleHandleA(NULL)));
        // What the main window's creation does first; some tests list
        // printers without a window.
        LoadSpooler();
        SetWindowsHookExA(WH_CALLWNDPROCRET, WatchMenuWindows, NULL, GetCurrentThreadId());
        registered = true;
    }
    WaitEnumerationIdle();
    iPrinterCount = 0;
    bEnumBusy = 0;
    bFirstEnum = 1;
    ZeroMemory(&AutoSettings, sizeof(AutoSettings));
    ZeroMemory(&LocationEdit, sizeof(LocationEdit));
    szCurrentLocation[0] = '\0';
    iPlatform = 0;
    bShellPrinterCommand = 0;
    pfnInvokePrinterCommand = NULL;
    hMainWnd = NULL;
    onMenuPopup = nullptr;
    onMenuClosed = nullptr;
    g_messages.clear();
}

void InProcessTest::TearDown()
{
    WaitEnumerationIdle();
    onMenuPopup = nullptr;
    onMenuClosed = nullptr;
    if (hMainWnd != NULL && IsWindow(hMainWnd))
        DestroyWindow(hMainWnd);
    // WM_DESTROY posts the quit message to this thread; drop it.
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
        if (msg.message != WM_QUIT)
            DispatchMessageA(&msg);
    }
    hMainWnd = NULL;
}

HWND InProcessTest::StartMainWindow()
{
    HWND hwnd = CreateMainWindow(GetModuleHandleA(NULL));
    EXPECT_NE(hwnd, (HWND)NULL);
    if (hwnd == NULL)
        return NULL;
    g_originalProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordingProc)));
    EXPECT_TRUE(WaitEnumerationIdle());
    // The worker's news is queued before its busy flag drops: take it, so
    // that what the first listing brings has happened.
    Pump(50);
    return hwnd;
}

bool InProcessTest::WaitEnumerationIdle(DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (bEnumBusy) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Pump(20);
    }
    return true;
}

void InProcessTest::Pump(DWORD ms)
{
    DWORD start = GetTickCount();
    do {
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT)
                continue;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(10);
    } while (GetTickCount() - start < ms);
}

std::vector<RecordedMessage> InProcessTest::Received(UINT uMsg)
{
    std::vector<RecordedMessage> out;
    for (const RecordedMessage &m : g_messages) {
        if (m.uMsg == uMsg)
            out.push_back(m);
    }
    return out;
}

void InProcessTest::ClearMessages()
{
    g_messages.clear();
}
