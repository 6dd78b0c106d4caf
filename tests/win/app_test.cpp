// The real Quorvel.exe, started as a user would: its hidden window, its icon
// in the notification area with the default printer as the tip, and its exit.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/state.h"
#include "testsupport.h"

#include <shellapi.h>

namespace {

TEST(Program, ShowsItsIconWithTheDefaultPrinterAndExitsCleanly)
{
    ScopedDeviceEntry restore;
    WriteDeviceEntry("Beta,wineps.drv,CUPS:Beta");
    size_t iconsBefore = TrayIconWindows().size();

    QuorvelProcess q;
    ASSERT_TRUE(q.Start()) << "no window of class Quorvel appeared";
    EXPECT_FALSE(IsWindowVisible(q.Window())) << "the main window must stay hidden";
    char title[64] = "";
    GetWindowTextA(q.Window(), title, sizeof(title));
    EXPECT_STREQ(title, "Quorvel");

    ASSERT_TRUE(WaitFor([&] { return TrayIconWindows().size() == iconsBefore + 1; }, 10000))
        << "the icon did not appear in the tray";
    HWND hIcon = TrayIconWindows().back();
    EXPECT_EQ(HoverAndReadTooltip(hIcon), "Beta");

    EXPECT_EQ(q.Exit(), 0u);
    EXPECT_TRUE(WaitFor([&] { return TrayIconWindows().size() == iconsBefore; }, 10000))
        << "the icon stayed after the exit";
}

TEST(Program, TipFollowsAProfileChangeBroadcast)
{
    ScopedDeviceEntry restore;
    WriteDeviceEntry("Alpha,wineps.drv,CUPS:Alpha");
    QuorvelProcess q;
    ASSERT_TRUE(q.Start());
    ASSERT_TRUE(WaitFor([] { return !TrayIconWindows().empty(); }, 10000));
    HWND hIcon = TrayIconWindows().back();
    EXPECT_EQ(HoverAndReadTooltip(hIcon), "Alpha");

    // Another program changes the default and tells everyone.
    WriteDeviceEntry("Gamma,wineps.drv,CUPS:Gamma");
    SendMessageTimeoutA(q.Window(), WM_WININICHANGE, 0, 0, SMTO_ABORTIFHUNG, 2000, NULL);
    EXPECT_EQ(HoverAndReadTooltip(hIcon), "Gamma");
    EXPECT_EQ(q.Exit(), 0u);
}

TEST(Program, PutsItsIconBackWhenTheTaskbarIsCreatedAnew)
{
    ScopedDeviceEntry restore;
    WriteDeviceEntry("Beta,wineps.drv,CUPS:Beta");
    size_t iconsBefore = TrayIconWindows().size();
    QuorvelProcess q;
    ASSERT_TRUE(q.Start());
    ASSERT_TRUE(WaitFor([&] { return TrayIconWindows().size() == iconsBefore + 1; }, 10000));

    // The shell lost its icons, as when its taskbar is re-created.
    NOTIFYICONDATAA nid;
    ZeroMemory(&nid, sizeof(nid));
    nid.cbSize = NOTIFYICONDATAA_V1_SIZE;
    nid.hWnd = q.Window();
    nid.uID = 1;
    ASSERT_TRUE(Shell_NotifyIconA(NIM_DELETE, &nid));
    ASSERT_TRUE(WaitFor([&] { return TrayIconWindows().size() == iconsBefore; }, 10000));

    PostMessageA(q.Window(), RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    ASSERT_TRUE(WaitFor([&] { return TrayIconWindows().size() == iconsBefore + 1; }, 10000))
        << "the icon did not come back";
    // Back with the tip it is added with, until the next refresh.
    EXPECT_EQ(HoverAndReadTooltip(TrayIconWindows().back()), "Quorvel");
    SendMessageTimeoutA(q.Window(), WM_WININICHANGE, 0, 0, SMTO_ABORTIFHUNG, 2000, NULL);
    EXPECT_EQ(HoverAndReadTooltip(TrayIconWindows().back()), "Beta");
    EXPECT_EQ(q.Exit(), 0u);
}

struct WindowSearch {
    DWORD pid;
    const char *title;
    int count;
};

BOOL CALLBACK CountWindowOfProcess(HWND hwnd, LPARAM lParam)
{
    WindowSearch *s = reinterpret_cast<WindowSearch *>(lParam);
    DWORD pid = 0;
    char text[128] = "";
    GetWindowThreadProcessId(hwnd, &pid);
    GetWindowTextA(hwnd, text, sizeof(text));
    if (pid == s->pid && IsWindowVisible(hwnd) && lstrcmpA(text, s->title) == 0)
        s->count++;
    return TRUE;
}

// Visible top-level windows of a process with exactly this caption.
int WindowsOfProcess(DWORD processId, const char *title)
{
    WindowSearch search = {processId, title, 0};
    EnumWindows(CountWindowOfProcess, (LPARAM)&search);
    return search.count;
}

// One copy per sign-in session: a second start ends at once with 0 and
// leaves the running copy alone. Started at sign-in it says nothing;
// started by a person it has the running copy open its configuration, or
// bring forward the one already open. Once the copy has ended, a new start
// runs again.
TEST(Program, ASecondStartLeavesTheRunningCopyAndAPersonsStartOpensItsConfiguration)
{
    const char kConfigTitle[] = "Quorvel - Configuration";
    const std::string exe = std::string("\"") + QuorvelExePath() + "\"";
    size_t iconsBefore = TrayIconWindows().size();
    QuorvelProcess first;
    ASSERT_TRUE(first.Start());
    ASSERT_TRUE(WaitFor([&] { return TrayIconWindows().size() == iconsBefore + 1; }, 10000));

    EXPECT_EQ(RunToExit(exe + " /signin", 20000), 0u);
    Sleep(500);
    EXPECT_EQ(WindowsOfProcess(first.ProcessId(), kConfigTitle), 0) << "a sign-in start spoke up";

    for (int start = 0; start < 2; start++) {
        EXPECT_EQ(RunToExit(exe, 20000), 0u) << "start " << start;
        EXPECT_TRUE(WaitFor([&] { return WindowsOfProcess(first.ProcessId(), kConfigTitle) == 1; }, 10000))
            << "start " << start;
    }
    Sleep(500);
    EXPECT_EQ(WindowsOfProcess(first.ProcessId(), kConfigTitle), 1) << "a second dialog opened";
    EXPECT_EQ(TrayIconWindows().size(), iconsBefore + 1);
    EXPECT_EQ(FindWindowA("Quorvel", NULL), first.Window()) << "a second copy runs";
    EXPECT_TRUE(Answers(first.Window()));

    HWND hDlg = FindDialogOfProcess(first.ProcessId(), kConfigTitle);
    PostMessageA(hDlg, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(hDlg); }, 10000));
    EXPECT_EQ(first.Exit(), 0u);
    QuorvelProcess again;
    EXPECT_TRUE(again.Start()) << "the ended copy still holds the session";
    EXPECT_EQ(again.Exit(), 0u);
    EXPECT_TRUE(WaitFor([&] { return TrayIconWindows().size() == iconsBefore; }, 10000));
}

BOOL CALLBACK CollectDialogOfProcess(HWND hwnd, LPARAM lParam)
{
    auto *search = reinterpret_cast<std::pair<DWORD, std::vector<HWND>> *>(lParam);
    DWORD pid = 0;
    char cls[16] = "";
    GetWindowThreadProcessId(hwnd, &pid);
    GetClassNameA(hwnd, cls, sizeof(cls));
    if (pid == search->first && IsWindowVisible(hwnd) && lstrcmpA(cls, "#32770") == 0)
        search->second.push_back(hwnd);
    return TRUE;
}

// The visible dialogs and message boxes of a process.
std::vector<HWND> DialogsOfProcess(DWORD processId)
{
    std::pair<DWORD, std::vector<HWND>> search(processId, {});
    EnumWindows(CollectDialogOfProcess, (LPARAM)&search);
    return search.second;
}

// Other programs may post the commands of About, the configuration and the
// printer-error box, many at once: one window opens, the program still
// answers, and once that window is closed no other comes up from the flood.
TEST(Program, AFloodOfPostedCommandsShowsOneWindowAtATime)
{
    QuorvelProcess q;
    ASSERT_TRUE(q.Start());
    for (int i = 0; i < 20; i++) {
        for (WPARAM command : {IDM_ABOUT, IDM_PRINTERS_ERROR, IDM_CONFIG})
            PostMessageA(q.Window(), WM_COMMAND, command, 0);
    }
    ASSERT_TRUE(WaitFor([&] { return !DialogsOfProcess(q.ProcessId()).empty(); }, 10000));
    Sleep(1500);  // the open window's loop takes the rest of the flood
    std::vector<HWND> shown = DialogsOfProcess(q.ProcessId());
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_TRUE(Answers(q.Window()));

    // OK would save the configuration; About and the box close only by OK.
    char title[64] = "";
    GetWindowTextA(shown[0], title, sizeof(title));
    PostMessageA(shown[0], WM_COMMAND, lstrcmpA(title, "Quorvel - Configuration") == 0 ? IDCANCEL : IDOK, 0);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(shown[0]); }, 5000));
    Sleep(1000);
    EXPECT_TRUE(DialogsOfProcess(q.ProcessId()).empty()) << "another window came up from the flood";
    EXPECT_EQ(q.Exit(), 0u);
}

// Counts the profile-change broadcasts that reach this process.
int g_broadcasts;
LRESULT CALLBACK ListenerProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (uMsg == WM_WININICHANGE)
        g_broadcasts++;
    return DefWindowProcA(hwnd, uMsg, wParam, lParam);
}

HWND MakeBroadcastListener()
{
    WNDCLASSA wc;
    ZeroMemory(&wc, sizeof(wc));
    wc.lpfnWndProc = ListenerProc;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.lpszClassName = "QuorvelTestListener";
    RegisterClassA(&wc);
    return CreateWindowExA(0, "QuorvelTestListener", "listener", WS_OVERLAPPED, 0, 0, 10, 10, NULL,
                           NULL, GetModuleHandleA(NULL), NULL);
}

std::string DeviceEntryOf(const char *name)
{
    HANDLE h;
    if (!OpenPrinterA(const_cast<char *>(name), &h, NULL))
        return "";
    DWORD needed = 0;
    GetPrinterA(h, 2, NULL, 0, &needed);
    std::vector<BYTE> buf(needed);
    GetPrinterA(h, 2, buf.data(), needed, &needed);
    ClosePrinter(h);
    PRINTER_INFO_2A *info = reinterpret_cast<PRINTER_INFO_2A *>(buf.data());
    return std::string(info->pPrinterName) + "," + info->pDriverName + "," + info->pPortName;
}

// Starts the program as the given Windows version, opens its tray menu with
// the real pointer and chooses the first printer (Gamma) with the keyboard.
void ChooseFirstPrinterFromTheMenu(const char *version, const char *screenshot,
                                   const std::function<bool()> &switched,
                                   const std::string &exePath = QuorvelExePath())
{
    ScopedWineVersion scoped("Quorvel.exe", version);
    QuorvelProcess q;
    ASSERT_TRUE(q.StartFrom(exePath));
    ASSERT_TRUE(WaitFor([] { return !TrayIconWindows().empty(); }, 10000));
    HWND hIcon = TrayIconWindows().back();
    // A right-click while the first listing still runs shows a notice
    // instead of printers; the user simply tries again.
    for (int attempt = 0; attempt < 3 && !switched(); attempt++) {
        ASSERT_TRUE(ClickWindow(hIcon, 3));
        Sleep(500);
        if (screenshot != nullptr && attempt == 0)
            SaveScreenshot(screenshot);
        // About, Config..., Exit, then the first printer.
        ASSERT_TRUE(PressKeys("Down Down Down Down Return"));
        WaitFor(switched, 3000);
    }
    EXPECT_EQ(q.Exit(), 0u);
}

TEST(Program, ChoosingAPrinterFromTheMenuMakesItTheDefaultOnNt5)
{
    ScopedDeviceEntry restore;
    WriteDeviceEntry("Alpha,wineps.drv,CUPS:Alpha");
    ChooseFirstPrinterFromTheMenu("win7", "tray-menu-program.png",
                                  [] { return ReadDeviceEntry().substr(0, 6) == "Gamma,"; });
    EXPECT_EQ(ReadDeviceEntry().substr(0, 6), "Gamma,");
}

TEST(Program, ChoosingAPrinterOnNt4WritesNameDriverAndPort)
{
    ScopedDeviceEntry restore;
    WriteDeviceEntry("Alpha,wineps.drv,CUPS:Alpha");
    ChooseFirstPrinterFromTheMenu("nt40", nullptr,
                                  [] { return ReadDeviceEntry().substr(0, 6) == "Gamma,"; });
    EXPECT_EQ(ReadDeviceEntry(), DeviceEntryOf("Gamma"));
}

TEST(Program, ChoosingAPrinterOnWindows98StillAnnouncesTheSwitch)
{
    ScopedDeviceEntry restore;
    WriteDeviceEntry("Alpha,wineps.drv,CUPS:Alpha");
    HWND listener = MakeBroadcastListener();
    g_broadcasts = 0;
    ChooseFirstPrinterFromTheMenu("win98", nullptr, [] { return g_broadcasts > 0; });
    // Wine ignores the 9x default attribute, so the default stays; the
    // broadcast that follows the attribute write still goes out.
    EXPECT_EQ(ReadDeviceEntry(), "Alpha,wineps.drv,CUPS:Alpha");
    EXPECT_GE(g_broadcasts, 1);
    DestroyWindow(listener);
}

// Sets a variable of this process's environment, which the programs it
// starts inherit, while the object lives.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char *name, const std::string &value) : name_(name)
    {
        char old[2048];
        DWORD n = GetEnvironmentVariableA(name, old, sizeof(old));
        had_ = n > 0 && n < sizeof(old);
        if (had_)
            old_.assign(old, n);
        SetEnvironmentVariableA(name, value.c_str());
    }
    ~ScopedEnvironment() { SetEnvironmentVariableA(name_, had_ ? old_.c_str() : NULL); }

private:
    const char *name_;
    bool had_;
    std::string old_;
};

bool FileExists(const std::string &path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Windows looks for a library that is not a known system one in the
// program's folder first; Wine prefers its own unless told otherwise, so the
// test tells it to search as Windows does.
TEST(Program, NeverLoadsASpoolerPlantedBesideIt)
{
    char session[MAX_PATH] = "";
    ASSERT_GT(GetEnvironmentVariableA("QUORVEL_SESSION_DIR", session, sizeof(session)), 0u);
    std::string dir = ToWindowsPath(std::string(session) + "/downloads");
    CreateDirectoryA(dir.c_str(), NULL);
    std::string exe = dir + "\\Quorvel.exe", probe = dir + "\\qprobe.exe";
    std::string log = dir + "\\planted.log";
    ASSERT_TRUE(CopyFileA(QuorvelExePath(), exe.c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(ProbeExePath().c_str(), probe.c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(ToWindowsPath(QUORVEL_PLANTED_SPOOLER).c_str(),
                          (dir + "\\winspool.drv").c_str(), FALSE));

    ScopedEnvironment logName("QUORVEL_PLANTED_LOG", log);
    ScopedWineDllOverride probeSearchesLikeWindows("qprobe.exe", "winspool.drv", "native,builtin");
    ScopedWineDllOverride searchesLikeWindows("Quorvel.exe", "winspool.drv", "native,builtin");

    // The folder is a real trap: a program there that loads the spooler by
    // name, as a static import does, gets the stand-in.
    ASSERT_EQ(RunToExit("\"" + probe + "\" load-spooler", 20000), 1u);
    ASSERT_TRUE(FileExists(log));
    ASSERT_TRUE(DeleteFileA(log.c_str()));

    // Quorvel from the same folder lists and switches with the system's spooler.
    ScopedDeviceEntry restore;
    WriteDeviceEntry("Alpha,wineps.drv,CUPS:Alpha");
    ChooseFirstPrinterFromTheMenu("win7", nullptr,
                                  [] { return ReadDeviceEntry().substr(0, 6) == "Gamma,"; }, exe);
    EXPECT_EQ(ReadDeviceEntry().substr(0, 6), "Gamma,");
    EXPECT_FALSE(FileExists(log)) << "the planted library was loaded";
}

// Windows Installer's Restart Manager closes a running program before it
// replaces the program's file: it asks, then tells it the "session" ends.
TEST(Program, ClosesCleanlyWhenAnUpdateAsksItTo)
{
    size_t iconsBefore = TrayIconWindows().size();
    QuorvelProcess q;
    ASSERT_TRUE(q.Start());
    ASSERT_TRUE(WaitFor([&] { return TrayIconWindows().size() == iconsBefore + 1; }, 10000));

    DWORD_PTR answer = 0;
    ASSERT_TRUE(SendMessageTimeoutA(q.Window(), WM_QUERYENDSESSION, 0, ENDSESSION_CLOSEAPP,
                                    SMTO_ABORTIFHUNG, 5000, &answer));
    EXPECT_EQ(answer, (DWORD_PTR)TRUE) << "the program must agree to close";
    // Another program refused: the end is called off and Quorvel runs on.
    SendMessageTimeoutA(q.Window(), WM_ENDSESSION, FALSE, ENDSESSION_CLOSEAPP, SMTO_ABORTIFHUNG,
                        5000, NULL);
    EXPECT_EQ(WaitForSingleObject(q.Process(), 500), (DWORD)WAIT_TIMEOUT);
    EXPECT_EQ(TrayIconWindows().size(), iconsBefore + 1);

    SendMessageTimeoutA(q.Window(), WM_QUERYENDSESSION, 0, ENDSESSION_CLOSEAPP, SMTO_ABORTIFHUNG,
                        5000, NULL);
    SendMessageTimeoutA(q.Window(), WM_ENDSESSION, TRUE, ENDSESSION_CLOSEAPP, SMTO_ABORTIFHUNG,
                        5000, NULL);
    EXPECT_EQ(WaitProcessExit(q.Process(), 10000), 0u);
    EXPECT_TRUE(WaitFor([&] { return TrayIconWindows().size() == iconsBefore; }, 10000))
        << "the icon stayed after the program closed";
}

}  // namespace
