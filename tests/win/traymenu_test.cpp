// The tray icon under a real pointer: the popup menu, the double-click action
// and the About dialog, with the program's own window inside the test process.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/menulogic.h"
#include "app/traymenu.h"
#include "dialogs/dialogs.h"
#include "tray/tray.h"
#include "inprocess.h"
#include "printers/printers.h"
#include "quorvel-version.h"
#include "res/resource.h"
#include "testsupport.h"

namespace {

struct Item {
    std::string text;
    UINT id;
    bool separator;
    UINT state;  // raw MF_ flags from GetMenuState
    bool operator==(const Item &o) const
    {
        return text == o.text && id == o.id && separator == o.separator;
    }
};

std::ostream &operator<<(std::ostream &os, const Item &item)
{
    return os << (item.separator ? std::string("----") : item.text) << "#" << item.id;
}

Item Command(const char *text, UINT id) { return {text, id, false, 0}; }
Item Separator() { return {"", 0, true, 0}; }
// A printer's row: its command id tells the table row.
Item Printer(const char *text, int row) { return Command(text, MENU_PRINTER_ID_FIRST + row); }

struct MenuSeen {
    bool seen = false;
    std::vector<Item> items;
    int defaultPos = -1;
};

MenuSeen ReadMenu(HMENU hMenu)
{
    MenuSeen m;
    m.seen = true;
    int n = GetMenuItemCount(hMenu);
    for (int i = 0; i < n; i++) {
        char text[256] = "";
        MENUITEMINFOA mii;
        ZeroMemory(&mii, sizeof(mii));
        mii.cbSize = sizeof(mii);
        mii.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STRING;
        mii.dwTypeData = text;
        mii.cch = sizeof(text);
        GetMenuItemInfoA(hMenu, i, TRUE, &mii);
        Item item;
        item.separator = (mii.fType & MFT_SEPARATOR) != 0;
        item.text = item.separator ? "" : text;
        item.id = mii.wID;
        item.state = GetMenuState(hMenu, i, MF_BYPOSITION);
        m.items.push_back(item);
    }
    m.defaultPos = (int)GetMenuDefaultItem(hMenu, TRUE, GMDI_USEDISABLED);
    return m;
}

class TrayMenu : public InProcessTest {
protected:
    void SetUp() override
    {
        InProcessTest::SetUp();
        WriteDeviceEntry("Beta,wineps.drv,CUPS:Beta");
        StartMainWindow();
        ASSERT_TRUE(WaitFor([] { return !TrayIconWindows().empty(); }, 10000));
        hIcon = TrayIconWindows().back();
    }

    // Right-clicks the icon with the real pointer and reads the menu that
    // opens; `whileOpen` runs on the host while the menu is shown (it must
    // close the menu, by default with Escape).
    MenuSeen RightClick(const std::string &whileOpen = "xdotool key Escape")
    {
        MenuSeen seen;
        std::string close = whileOpen;
        onMenuPopup = [&seen, close](HMENU hMenu) {
            if (seen.seen)
                return;
            seen = ReadMenu(hMenu);
            // The menu loop runs on this thread; the host closes it a moment later.
            StartHostCommand("sleep 0.4; " + close);
        };
        EXPECT_TRUE(ClickWindow(hIcon, 3));
        EXPECT_TRUE(WaitFor([&] { return seen.seen; }, 10000)) << "no menu opened";
        Pump(1000);
        onMenuPopup = nullptr;
        return seen;
    }

    ScopedDeviceEntry restoreEntry;
    HWND hIcon = NULL;
};

const std::vector<Item> kCommands = {Command("About Quorvel", IDM_ABOUT),
                                     Command("Config...", IDM_CONFIG), Command("Exit", IDM_EXIT),
                                     Separator()};

std::vector<Item> With(std::vector<Item> items)
{
    std::vector<Item> all = kCommands;
    all.insert(all.end(), items.begin(), items.end());
    all.push_back(Separator());
    return all;
}

TEST_F(TrayMenu, ListsTheCommandsThenThePrintersLastRowFirstWithTheDefaultBold)
{
    std::string shot = "tray-menu.png";
    std::string dir = ArtifactsDir();
    MenuSeen m = RightClick("import -window root \"$QUORVEL_ARTIFACTS/" + shot + "\"; xdotool key Escape");
    EXPECT_EQ(m.items, With({Printer("Gamma", 2), Printer("Beta", 1), Printer("Alpha", 0)}));
    EXPECT_EQ(m.defaultPos, 5) << "Beta should be the bold item";
    for (const Item &item : m.items) {
        if (!item.separator) {
            EXPECT_EQ(item.state & (MF_GRAYED | MF_DISABLED), 0u) << item;
        }
    }
}

TEST_F(TrayMenu, WhileAnEnumerationRunsShowsAWaitNoticeInsteadOfPrinters)
{
    bEnumBusy = 1;
    MenuSeen m = RightClick();
    bEnumBusy = 0;
    ASSERT_EQ(m.items, With({Command("Processing - Please wait", 0)}));
    UINT state = m.items[4].state;
    EXPECT_NE(state & MF_DISABLED, 0u) << "the notice must not be choosable";
    EXPECT_EQ(state & MF_GRAYED, 0u) << "the notice is drawn normally, not greyed";
}

TEST_F(TrayMenu, WithNoPrintersHoldsTheCommandsAndTwoSeparators)
{
    iPrinterCount = 0;
    MenuSeen m = RightClick();
    EXPECT_EQ(m.items, With({}));
    EXPECT_EQ(m.defaultPos, -1);
}

TEST_F(TrayMenu, AShorterListingAfterALongerOneHidesTheStaleRows)
{
    {
        ScopedPrinterCount printers(12);
        SendMessageA(hMainWnd, WM_WININICHANGE, 0, 0);
        ASSERT_TRUE(WaitEnumerationIdle());
        ASSERT_EQ(iPrinterCount, 12);
    }
    SendMessageA(hMainWnd, WM_WININICHANGE, 0, 0);
    ASSERT_TRUE(WaitEnumerationIdle());
    MenuSeen m = RightClick();
    EXPECT_EQ(m.items, With({Printer("Gamma", 2), Printer("Beta", 1), Printer("Alpha", 0)}));
}

TEST_F(TrayMenu, MarksOnlyAnExactNameAndOfTwoEqualRowsTheLower)
{
    lstrcpynA(PrinterTable[0], "Beta", NAME_FIELD_SIZE);
    lstrcpynA(PrinterTable[1], "Beta", NAME_FIELD_SIZE);
    lstrcpynA(PrinterTable[2], "beta", NAME_FIELD_SIZE);
    MenuSeen m = RightClick();
    ASSERT_EQ(m.items, With({Printer("beta", 2), Printer("Beta", 1), Printer("Beta", 0)}));
    EXPECT_EQ(m.defaultPos, 6);

    WriteDeviceEntry(nullptr);  // no default printer: "Not set" marks nothing
    m = RightClick();
    EXPECT_EQ(m.defaultPos, -1);
}

TEST_F(TrayMenu, ChoosingAPrinterMakesItTheDefault)
{
    iPlatform = 3;
    // Down four times: About, Config..., Exit, then the first printer (Gamma).
    RightClick("xdotool key --delay 80 Down Down Down Down Return");
    Pump(500);
    EXPECT_EQ(ReadDeviceEntry().substr(0, 6), "Gamma,");
}

// A printer in Wine's spooler for one test, gone again at its end.
struct ScopedSpoolerPrinter {
    explicit ScopedSpoolerPrinter(const std::string &printer)
        : name(printer), added(AddSpoolerPrinter(printer))
    {
    }
    ~ScopedSpoolerPrinter()
    {
        if (added)
            DeleteSpoolerPrinter(name);
    }
    std::string name;
    bool added;
};

TEST_F(TrayMenu, ANameWithAnAmpersandIsShownAsItIsAndNoKeyOfItChoosesIt)
{
    iPlatform = 3;
    ScopedSpoolerPrinter printer("R&D Laser");
    ASSERT_TRUE(printer.added);
    SendMessageA(hMainWnd, WM_WININICHANGE, 0, 0);
    ASSERT_TRUE(WaitEnumerationIdle());
    ASSERT_EQ(iPrinterCount, 4);  // Alpha, Beta, Gamma, R&D Laser

    // "&&" is how a menu shows one "&". With the name as it is, D would be the
    // row's access key and would choose it.
    MenuSeen m = RightClick("xdotool key d; sleep 0.4; xdotool key Escape");
    EXPECT_EQ(m.items, With({Printer("R&&D Laser", 3), Printer("Gamma", 2), Printer("Beta", 1),
                             Printer("Alpha", 0)}));
    EXPECT_EQ(ReadDeviceEntry().substr(0, 5), "Beta,");

    RightClick("xdotool key --delay 80 Down Down Down Down Return");
    Pump(500);
    EXPECT_EQ(ReadDeviceEntry().substr(0, 10), "R&D Laser,");
    // The default is told by its name as the spooler gives it.
    EXPECT_EQ(RightClick().defaultPos, 4);
}

struct ShellCall {
    int calls = 0;
    HWND hwnd = NULL;
    UINT action = 99;
    std::string first;
    bool secondIsNull = false;
    BOOL modal = -1;
} g_shell;

BOOL WINAPI RecordPrinterCommand(HWND hwnd, UINT action, LPCSTR first, LPCSTR second, BOOL modal)
{
    g_shell.calls++;
    g_shell.hwnd = hwnd;
    g_shell.action = action;
    g_shell.first = first ? first : "(null)";
    g_shell.secondIsNull = second == NULL;
    g_shell.modal = modal;
    return TRUE;
}

TEST_F(TrayMenu, DoubleClickOpensTheDefaultPrintersPropertiesOrQueue)
{
    bShellPrinterCommand = 1;
    pfnInvokePrinterCommand = RecordPrinterCommand;

    struct Case { int iIconAction; UINT expected; };
    for (Case c : {Case{0, PRINTACTION_PROPERTIES}, Case{1, PRINTACTION_OPEN}, Case{7, PRINTACTION_OPEN}}) {
        AutoSettings.iIconAction = c.iIconAction;
        g_shell = ShellCall();
        ASSERT_TRUE(ClickWindow(hIcon, 1, 2));
        EXPECT_TRUE(WaitFor([] { return g_shell.calls > 0; }, 5000));
        EXPECT_EQ(g_shell.calls, 1) << "iIconAction " << c.iIconAction;
        EXPECT_EQ(g_shell.action, c.expected) << "iIconAction " << c.iIconAction;
        EXPECT_EQ(g_shell.first, "Beta");
        EXPECT_TRUE(g_shell.secondIsNull);
        EXPECT_EQ(g_shell.modal, FALSE);
        EXPECT_EQ(g_shell.hwnd, hMainWnd);
        Pump(600);  // keep the next clicks from joining these
    }
}

TEST_F(TrayMenu, SingleClicksButtonDownsAndMovesDoNothing)
{
    bShellPrinterCommand = 1;
    pfnInvokePrinterCommand = RecordPrinterCommand;
    g_shell = ShellCall();
    bool menu = false;
    onMenuPopup = [&menu](HMENU) {
        menu = true;
        EndMenu();
    };
    for (UINT mouse : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN, WM_MOUSEMOVE, WM_MBUTTONUP})
        SendMessageA(hMainWnd, MSG_TRAY, 1, mouse);
    Pump(300);
    EXPECT_EQ(g_shell.calls, 0);
    EXPECT_FALSE(menu);
}

// The printers change while the menu is open (a profile-change broadcast
// starts a listing that rewrites the table): the choice still means the
// printer the menu showed, or nothing once that printer is gone.
TEST_F(TrayMenu, AChoiceMeansThePrinterTheMenuShowedWhateverTheTableHoldsByThen)
{
    iPlatform = 3;
    struct Case {
        const char *change;   // "-Name" deletes a printer, "+Name" adds one
        const char *keys;     // the keys that reach the shown printer
        bool listingRuns;     // a listing is still running when the choice comes
        const char *expected; // the default afterwards
    };
    // The menu shows About, Config..., Exit, then Gamma, Delta, Beta, Alpha.
    const Case cases[] = {
        {"-Alpha", "Down Down Down Down Down Down Return", false, "Beta,"},
        {"+Able", "Down Down Down Down Return", true, "Gamma,"},
        {"-Beta", "Down Down Down Down Down Down Return", false, "Alpha,"},
    };
    for (const Case &c : cases) {
        std::string name = c.change + 1;
        ASSERT_TRUE(AddSpoolerPrinter("Delta", "Gamma"));
        EnumPrinterThread(NULL);
        ASSERT_EQ(iPrinterCount, 4);
        // Where the chosen printer has vanished, the default stays here.
        WriteDeviceEntry("Alpha,wineps.drv,CUPS:Alpha");

        bool opened = false;
        onMenuPopup = [&](HMENU) {
            if (opened)
                return;
            opened = true;
            if (c.change[0] == '-')
                EXPECT_TRUE(DeleteSpoolerPrinter(name));
            else
                EXPECT_TRUE(AddSpoolerPrinter(name, "Alpha"));
            EnumPrinterThread(NULL);
            if (c.listingRuns)
                bEnumBusy = 1;
            StartHostCommand(std::string("sleep 0.4; xdotool key --delay 80 ") + c.keys);
        };
        ASSERT_TRUE(ClickWindow(hIcon, 3));
        EXPECT_TRUE(WaitFor([&] { return opened; }, 10000)) << "no menu opened";
        Pump(1500);
        onMenuPopup = nullptr;
        bEnumBusy = 0;
        EXPECT_EQ(ReadDeviceEntry().substr(0, strlen(c.expected)), c.expected) << c.change;

        if (c.change[0] == '-')
            EXPECT_TRUE(AddSpoolerPrinter(name, name));
        else
            EXPECT_TRUE(DeleteSpoolerPrinter(name));
        EXPECT_TRUE(DeleteSpoolerPrinter("Delta"));
        EnumPrinterThread(NULL);
    }
}

// Another program posts a printer command (a table row) just as the menu
// closes: it means that row of the table when it is handled; the menu takes
// nothing from the queue for its own choice.
TEST_F(TrayMenu, ACommandPostedAsTheMenuClosesKeepsItsRowMeaning)
{
    iPlatform = 3;
    ASSERT_TRUE(AddSpoolerPrinter("Delta", "Gamma"));
    EnumPrinterThread(NULL);
    ASSERT_EQ(iPrinterCount, 4);  // Alpha, Beta, Delta, Gamma
    WriteDeviceEntry("Alpha,wineps.drv,CUPS:Alpha");
    onMenuPopup = [](HMENU) { StartHostCommand("sleep 0.4; xdotool key Escape"); };
    bool closed = false;
    onMenuClosed = [&closed] {
        closed = true;
        // Delta goes, so row 2 is Gamma now.
        EXPECT_TRUE(DeleteSpoolerPrinter("Delta"));
        EnumPrinterThread(NULL);
        PostMessageA(hMainWnd, WM_COMMAND, 2, 0);
    };
    ASSERT_TRUE(ClickWindow(hIcon, 3));
    EXPECT_TRUE(WaitFor([&] { return closed; }, 10000)) << "no menu closed";
    Pump(1000);
    onMenuPopup = nullptr;
    onMenuClosed = nullptr;
    EXPECT_EQ(ReadDeviceEntry().substr(0, 6), "Gamma,");
}

// A printer in Wine's spooler by its wide name, gone again at the end.
struct ScopedWidePrinter {
    explicit ScopedWidePrinter(const std::wstring &printer) : name(printer)
    {
        PRINTER_INFO_2W info;
        ZeroMemory(&info, sizeof(info));
        info.pPrinterName = const_cast<wchar_t *>(name.c_str());
        info.pDriverName = const_cast<wchar_t *>(L"Alpha");
        info.pPortName = const_cast<wchar_t *>(L"CUPS:Alpha");
        info.pPrintProcessor = const_cast<wchar_t *>(L"WinPrint");
        info.pDatatype = const_cast<wchar_t *>(L"RAW");
        HANDLE h = AddPrinterW(NULL, 2, reinterpret_cast<BYTE *>(&info));
        added = h != NULL;
        if (added)
            ClosePrinter(h);
    }
    ~ScopedWidePrinter()
    {
        HANDLE h;
        PRINTER_DEFAULTSW defaults = {NULL, NULL, PRINTER_ALL_ACCESS};
        if (added && OpenPrinterW(const_cast<wchar_t *>(name.c_str()), &h, &defaults)) {
            DeletePrinter(h);
            ClosePrinter(h);
        }
    }
    std::wstring name;
    bool added = false;
};

std::wstring ReadWideDeviceEntry()
{
    wchar_t entry[512] = L"";
    GetProfileStringW(L"windows", L"device", L"", entry, 512);
    return entry;
}

// "\u0141aser" (Łaser) has no place in the Western code page, whose look-alike
// of it reads "Laser", the name of another printer.
TEST_F(TrayMenu, APrinterTheCodePageCannotHoldIsShownAndChosenByItsOwnNameButNotOfferedForLocations)
{
    ASSERT_EQ(GetACP(), 1252u) << "the test needs a Western code page";
    const std::wstring kLaser = L"Laser", kBarredLaser = L"\u0141aser";
    iPlatform = 3;
    ScopedWidePrinter laser(kLaser), barredLaser(kBarredLaser);
    ASSERT_TRUE(laser.added && barredLaser.added);
    EnumPrinterThread(NULL);
    ASSERT_EQ(iPrinterCount, 5);

    // Opens the menu, reads its rows as shown, and leaves it with the keys.
    std::vector<std::wstring> rows;
    int defaultPos = -1;
    auto menu = [&](const std::string &keys) {
        bool seen = false;
        onMenuPopup = [&](HMENU hMenu) {
            if (seen)
                return;
            seen = true;
            rows.clear();
            for (int i = 0; i < GetMenuItemCount(hMenu); i++) {
                wchar_t text[256] = L"";
                GetMenuStringW(hMenu, i, text, 256, MF_BYPOSITION);
                rows.push_back(text);
            }
            defaultPos = (int)GetMenuDefaultItem(hMenu, TRUE, GMDI_USEDISABLED);
            StartHostCommand("sleep 0.4; xdotool key --delay 80 " + keys);
        };
        EXPECT_TRUE(ClickWindow(hIcon, 3));
        EXPECT_TRUE(WaitFor([&] { return seen; }, 10000)) << "no menu opened";
        Pump(1000);
        onMenuPopup = nullptr;
        WaitEnumerationIdle();
    };
    auto shownAt = [&](const std::wstring &name) {
        int at = -1, times = 0;
        for (size_t i = 0; i < rows.size(); i++) {
            if (rows[i] == name) {
                at = (int)i;
                times++;
            }
        }
        return times == 1 ? at : -1;
    };
    auto downs = [](int pos) {
        std::string keys;
        for (int i = 0; i < pos; i++)  // the separator takes no key
            keys += "Down ";
        return keys + "Return";
    };

    menu("Escape");
    const int laserAt = shownAt(kLaser), barredAt = shownAt(kBarredLaser);
    ASSERT_GE(laserAt, 4) << "\"Laser\" is shown once";
    ASSERT_GE(barredAt, 4) << "\"\u0141aser\" is shown once, by its own name";

    for (int pass = 0; pass < 2; pass++) {
        const std::wstring &chosen = pass == 0 ? kBarredLaser : kLaser;
        const int chosenAt = pass == 0 ? barredAt : laserAt;
        menu(downs(chosenAt));
        EXPECT_EQ(ReadWideDeviceEntry().substr(0, chosen.size() + 1), chosen + L",") << pass;
        menu("Escape");
        EXPECT_EQ(defaultPos, chosenAt) << "the default is bold, and only the default";
    }

    HWND hLoc = CreateDialogParamA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDD_LOCATION), NULL,
                                   LocationDlgProc, 0);
    ASSERT_NE(hLoc, (HWND)NULL);
    std::vector<std::string> offered;
    int n = (int)SendDlgItemMessageA(hLoc, IDC_PRINTER, CB_GETCOUNT, 0, 0);
    for (int i = 0; i < n; i++) {
        char text[256] = "";
        SendDlgItemMessageA(hLoc, IDC_PRINTER, CB_GETLBTEXT, i, (LPARAM)text);
        offered.push_back(text);
    }
    DestroyWindow(hLoc);
    EXPECT_EQ(offered, std::vector<std::string>({"Alpha", "Beta", "Gamma", "Laser"}));
}

// A notification area that does not exist yet, or is too busy to answer, as
// at sign-in: the shell hands icon requests to the first window of the
// taskbar's class, and this stand-in refuses them all.
int g_refusedIconRequests;
LRESULT CALLBACK RefusingTrayProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (uMsg == WM_COPYDATA) {
        g_refusedIconRequests++;
        return FALSE;
    }
    return DefWindowProcA(hwnd, uMsg, wParam, lParam);
}

// Closes, and counts, any error box this process shows.
volatile LONG g_errorBoxes, g_stopWatching;
DWORD WINAPI WatchForErrorBox(LPVOID)
{
    while (!g_stopWatching) {
        HWND box = FindDialogOfProcess(GetCurrentProcessId(), "ERROR");
        if (box != NULL) {
            InterlockedIncrement(&g_errorBoxes);
            PostMessageA(box, WM_COMMAND, IDOK, 0);
        }
        Sleep(50);
    }
    return 0;
}

class LateNotificationArea : public InProcessTest {
protected:
    void SetUp() override
    {
        InProcessTest::SetUp();
        static bool registered;
        if (!registered) {
            WNDCLASSA wc;
            ZeroMemory(&wc, sizeof(wc));
            wc.lpfnWndProc = RefusingTrayProc;
            wc.hInstance = GetModuleHandleA(NULL);
            wc.lpszClassName = "Shell_TrayWnd";
            ASSERT_NE(RegisterClassA(&wc), 0);
            registered = true;
        }
        // Topmost, so that the shell finds it before the real one.
        hStandIn = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, "Shell_TrayWnd", NULL, WS_POPUP,
                                   0, 0, 1, 1, NULL, NULL, GetModuleHandleA(NULL), NULL);
        ASSERT_NE(hStandIn, (HWND)NULL);
        g_refusedIconRequests = 0;
        g_errorBoxes = 0;
        g_stopWatching = 0;
        watcher = CreateThread(NULL, 0, WatchForErrorBox, NULL, 0, NULL);
        iconsBefore = TrayIconWindows().size();
        WriteDeviceEntry("Beta,wineps.drv,CUPS:Beta");
    }
    void TearDown() override
    {
        g_stopWatching = 1;
        WaitForSingleObject(watcher, 5000);
        CloseHandle(watcher);
        if (hStandIn != NULL)
            DestroyWindow(hStandIn);
        InProcessTest::TearDown();
    }
    // The notification area comes up.
    void ShellAnswers()
    {
        DestroyWindow(hStandIn);
        hStandIn = NULL;
    }
    bool IconShown()
    {
        return WaitFor([&] { return TrayIconWindows().size() == iconsBefore + 1; }, 5000);
    }
    // Once the icon is in, nothing may wake the program.
    void ExpectNoTimerLeft()
    {
        ClearMessages();
        Pump(4500);
        EXPECT_TRUE(Received(WM_TIMER).empty()) << "a timer still wakes the program";
        EXPECT_EQ(g_errorBoxes, 0) << "an error box was shown";
    }

    ScopedDeviceEntry restoreEntry;
    HWND hStandIn = NULL;
    HANDLE watcher = NULL;
    size_t iconsBefore = 0;
};

TEST_F(LateNotificationArea, WaitsAndAddsItsIconWhenTheTaskbarIsAnnounced)
{
    StartMainWindow();
    ASSERT_NE(hMainWnd, (HWND)NULL) << "the program ended";
    int refusedAtStart = g_refusedIconRequests;
    EXPECT_GT(refusedAtStart, 0);
    EXPECT_EQ(TrayIconWindows().size(), iconsBefore);
    Pump(2500);
    EXPECT_GT(g_refusedIconRequests, refusedAtStart) << "no second try";
    EXPECT_EQ(g_errorBoxes, 0);

    ShellAnswers();
    SendMessageA(hMainWnd, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    ASSERT_TRUE(IconShown());
    EXPECT_EQ(HoverAndReadTooltip(TrayIconWindows().back()), "Beta");
    ExpectNoTimerLeft();
}

TEST_F(LateNotificationArea, AddsItsIconWhenTheShellAnswersAgainUnannounced)
{
    StartMainWindow();
    ASSERT_NE(hMainWnd, (HWND)NULL) << "the program ended";
    ShellAnswers();
    ASSERT_TRUE(IconShown()) << "the retry did not add the icon";
    ExpectNoTimerLeft();
}

// The opaque pixels of an icon, top row first; clear ones are -1.
std::vector<long> OpaquePixels(HICON hIcon, int cx)
{
    std::vector<long> pixels;
    ICONINFO ii;
    if (hIcon == NULL || !GetIconInfo(hIcon, &ii))
        return pixels;
    BITMAPINFO bmi = TopDownBitmapInfo(cx, cx);
    std::vector<DWORD> colour(cx * cx), mask(cx * cx);
    HDC hdc = GetDC(NULL);
    bool ok = ii.hbmColor != NULL &&
              GetDIBits(hdc, ii.hbmColor, 0, cx, colour.data(), &bmi, DIB_RGB_COLORS) == cx &&
              GetDIBits(hdc, ii.hbmMask, 0, cx, mask.data(), &bmi, DIB_RGB_COLORS) == cx;
    ReleaseDC(NULL, hdc);
    DeleteObject(ii.hbmColor);
    DeleteObject(ii.hbmMask);
    for (int i = 0; ok && i < cx * cx; i++)
        pixels.push_back((mask[i] & 0xFFFFFF) != 0 ? -1 : (long)(colour[i] & 0xFFFFFF));
    return pixels;
}

// Whether the picture's opaque pixels show unchanged somewhere in the window.
bool ShowsExactly(HWND hwnd, const std::vector<long> &picture, int cx)
{
    RECT rc;
    if (picture.empty() || !GetWindowRect(hwnd, &rc))
        return false;
    int w = rc.right - rc.left, h = rc.bottom - rc.top;
    HDC hScreen = GetDC(NULL);
    HDC hMem = CreateCompatibleDC(hScreen);
    BITMAPINFO bmi = TopDownBitmapInfo(w, h);
    DWORD *pBits = nullptr;
    HBITMAP hbm = CreateDIBSection(hScreen, &bmi, DIB_RGB_COLORS, (void **)&pBits, NULL, 0);
    HGDIOBJ hOld = SelectObject(hMem, hbm);
    bool found = false;
    if (BitBlt(hMem, 0, 0, w, h, hScreen, rc.left, rc.top, SRCCOPY)) {
        for (int y0 = 0; y0 + cx <= h && !found; y0++)
            for (int x0 = 0; x0 + cx <= w && !found; x0++) {
                found = true;
                for (int i = 0; i < cx * cx && found; i++)
                    found = picture[i] < 0 ||
                            (long)(pBits[(y0 + i / cx) * w + x0 + i % cx] & 0xFFFFFF) == picture[i];
            }
    }
    SelectObject(hMem, hOld);
    DeleteObject(hbm);
    DeleteDC(hMem);
    ReleaseDC(NULL, hScreen);
    return found;
}

// The low word of a new icon handle: the slot in the handle table, which
// grows when icons are made and never destroyed.
unsigned NextIconSlot()
{
    BYTE bits[32 * 4] = {};
    HICON h = CreateIcon(GetModuleHandleA(NULL), 32, 32, 1, 1, bits, bits);
    unsigned slot = LOWORD((ULONG_PTR)h);
    DestroyIcon(h);
    return slot;
}

// The shell gets the pictures made for the display's small-icon size, not
// the 32-pixel ones shrunk, and showing them leaves no icon behind.
TEST_F(TrayMenu, TheIconShowsThePictureMadeForItsSizeAndLeavesNoIconBehind)
{
    const int cx = GetSystemMetrics(SM_CXSMICON);
    for (int bSwitched : {1, 0}) {
        HICON hMade = (HICON)LoadImageA(GetModuleHandleA(NULL),
                                        MAKEINTRESOURCEA(bSwitched ? IDI_SWITCHED : IDI_IDLE),
                                        IMAGE_ICON, cx, cx, 0);
        std::vector<long> picture = OpaquePixels(hMade, cx);
        DestroyIcon(hMade);
        ASSERT_EQ(picture.size(), (size_t)(cx * cx));
        SetTrayIcon(bSwitched);
        EXPECT_TRUE(WaitFor([&] { return ShowsExactly(hIcon, picture, cx); }, 5000))
            << (bSwitched ? "switched" : "idle") << " picture at " << cx << " pixels";
    }

    unsigned before = NextIconSlot();
    for (int i = 0; i < 200; i++)
        SetTrayIcon(i % 2);
    EXPECT_LT(NextIconSlot(), before + 50) << "the icons of 200 switches are still there";
}

// Finds this process's About dialog.
HWND FindAbout()
{
    HWND h = FindWindowA("#32770", QUORVEL_ABOUT_CAPTION);
    DWORD pid = 0;
    if (h != NULL)
        GetWindowThreadProcessId(h, &pid);
    return pid == GetCurrentProcessId() && IsWindowVisible(h) ? h : NULL;
}

// Lines in the file named by QUORVEL_URL_LOG. Read through the process
// environment: the fixture sets it with SetEnvironmentVariableA, which the C
// runtime's getenv never sees.
int CountUrlLogLines()
{
    char path[MAX_PATH];
    DWORD cch = GetEnvironmentVariableA("QUORVEL_URL_LOG", path, sizeof(path));
    if (cch == 0 || cch >= sizeof(path))
        return 0;
    int n = 0;
    FILE *f = fopen(path, "r");
    if (f == NULL)
        return 0;
    for (int c; (c = fgetc(f)) != EOF;)
        n += c == '\n';
    fclose(f);
    return n;
}

struct AboutCheck {
    bool opened = false;
    bool openAfterEscape = false;
    bool openAfterWebClicks = false;
    bool closedByEnter = false;
};

// Runs on its own thread while the dialog's modal loop holds the main thread.
DWORD WINAPI DriveAbout(LPVOID param)
{
    AboutCheck *check = static_cast<AboutCheck *>(param);
    HWND hDlg = NULL;
    check->opened = WaitFor([&] { return (hDlg = FindAbout()) != NULL; }, 10000);
    if (!check->opened)
        return 0;
    Sleep(300);
    SaveScreenshot("about-dialog.png");
    PressKeysIn(QUORVEL_ABOUT_CAPTION, "Escape");
    Sleep(500);
    check->openAfterEscape = FindAbout() != NULL;
    for (int i = 0; i < 3; i++) {
        ClickWindow(GetDlgItem(hDlg, IDC_WEBLINK));
        Sleep(300);
    }
    check->openAfterWebClicks = FindAbout() != NULL;
    // On a busy machine the clicks are still on their way: wait until the
    // three addresses have been opened before the keys go to the dialog.
    WaitFor([] { return CountUrlLogLines() >= 3; }, 30000);
    // The browser took the foreground: the user clicks the dialog to come
    // back. The click may only reach a window that is not active yet, so
    // the keyboard is given to the dialog as well, and the focus awaited:
    // until the dialog is active again no control has it.
    ClickWindow(hDlg);
    GUITHREADINFO gti;
    auto focus = [&] {
        ZeroMemory(&gti, sizeof(gti));
        gti.cbSize = sizeof(gti);
        return GetGUIThreadInfo(GetWindowThreadProcessId(hDlg, NULL), &gti) && gti.hwndFocus != NULL;
    };
    for (int attempt = 0; attempt < 3 && !focus(); attempt++) {
        RunHostCommand(std::string("xdotool windowfocus --sync $(xdotool search --name '^") +
                       QUORVEL_ABOUT_CAPTION + "$' | head -n 1)");
        WaitFor(focus, 2000);
    }
    // Return presses OK, the default, unless the web button holds the
    // focus: Tab takes it to OK first.
    bool webHasFocus = gti.hwndFocus == GetDlgItem(hDlg, IDC_WEBLINK);
    PressKeysIn(QUORVEL_ABOUT_CAPTION, webHasFocus ? "Tab Return" : "Return");
    check->closedByEnter = WaitFor([] { return FindAbout() == NULL; }, 5000);
    if (!check->closedByEnter)
        PostMessageA(hDlg, WM_COMMAND, IDOK, 0);
    return 0;
}

class AboutDialog : public TrayMenu {
protected:
    void SetUp() override
    {
        TrayMenu::SetUp();
        // Web addresses go to a recorder instead of a browser: nothing leaves the machine.
        urlLog = std::string(getenv("QUORVEL_SESSION_DIR") ? getenv("QUORVEL_SESSION_DIR") : "/tmp") +
                 "/urls.log";
        DeleteFileA(ToWindowsPath(urlLog).c_str());
        ASSERT_FALSE(ProbeExePath().empty()) << "QUORVEL_PROBE is not set";
        std::string command = "\"" + ProbeExePath() + "\" record-url \"%1\"";
        HKEY hKey;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, "http\\shell\\open\\command", 0, NULL, 0,
                                  KEY_ALL_ACCESS, NULL, &hKey, NULL), ERROR_SUCCESS);
        char old[1024] = "";
        DWORD cb = sizeof(old);
        hadOld = RegQueryValueExA(hKey, NULL, NULL, NULL, (BYTE *)old, &cb) == ERROR_SUCCESS;
        oldCommand = old;
        RegSetValueExA(hKey, NULL, 0, REG_SZ, (const BYTE *)command.c_str(), (DWORD)command.size() + 1);
        RegCloseKey(hKey);
        SetEnvironmentVariableA("QUORVEL_URL_LOG", ToWindowsPath(urlLog).c_str());
    }
    void TearDown() override
    {
        HKEY hKey;
        if (RegOpenKeyExA(HKEY_CLASSES_ROOT, "http\\shell\\open\\command", 0, KEY_ALL_ACCESS, &hKey) ==
            ERROR_SUCCESS) {
            if (hadOld)
                RegSetValueExA(hKey, NULL, 0, REG_SZ, (const BYTE *)oldCommand.c_str(),
                               (DWORD)oldCommand.size() + 1);
            RegCloseKey(hKey);
        }
        TrayMenu::TearDown();
    }
    std::vector<std::string> OpenedUrls()
    {
        std::vector<std::string> urls;
        FILE *f = fopen(ToWindowsPath(urlLog).c_str(), "r");
        if (f == NULL)
            return urls;
        char line[512];
        while (fgets(line, sizeof(line), f)) {
            std::string s(line);
            while (!s.empty() && (s.back() == '\n' || s.back() == '\r'))
                s.pop_back();
            urls.push_back(s);
        }
        fclose(f);
        return urls;
    }
    void Check(const AboutCheck &check)
    {
        EXPECT_TRUE(check.opened) << "the About dialog did not open";
        EXPECT_TRUE(check.openAfterEscape) << "Escape must not close the About dialog";
        EXPECT_TRUE(check.openAfterWebClicks) << "the web button must not close the dialog";
        EXPECT_TRUE(check.closedByEnter) << "Enter (OK) must close the dialog";
        EXPECT_TRUE(WaitFor([&] { return OpenedUrls().size() >= 3; }, 30000));
        std::vector<std::string> urls = OpenedUrls();
        ASSERT_EQ(urls.size(), 3u);
        for (const std::string &url : urls)
            EXPECT_EQ(url, "http://quorvel.example.org/");
    }
    std::string urlLog;
    bool hadOld = false;
    std::string oldCommand;
};

TEST_F(AboutDialog, DoubleClickWithoutTheShellsPrinterCommandOpensAbout)
{
    ASSERT_EQ(bShellPrinterCommand, 0);
    AboutCheck check;
    HANDLE driver = CreateThread(NULL, 0, DriveAbout, &check, 0, NULL);
    // The real double-click reaches the window; the dialog runs modally here.
    ASSERT_TRUE(ClickWindow(hIcon, 1, 2));
    WaitFor([&] { return WaitForSingleObject(driver, 0) == WAIT_OBJECT_0; }, 60000);
    CloseHandle(driver);
    Check(check);
}

TEST_F(AboutDialog, TheMenusAboutCommandOpensTheSameDialog)
{
    AboutCheck check;
    HANDLE driver = CreateThread(NULL, 0, DriveAbout, &check, 0, NULL);
    SendMessageA(hMainWnd, WM_COMMAND, IDM_ABOUT, 0);
    WaitFor([&] { return WaitForSingleObject(driver, 0) == WAIT_OBJECT_0; }, 60000);
    CloseHandle(driver);
    Check(check);
}

}  // namespace
