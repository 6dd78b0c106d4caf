// The guided tour: starts the real Quorvel.exe with sample locations and
// walks it with the real pointer and keyboard, printing one timeline line per
// step and saving a cropped screenshot of it. Run by scripts/tour.sh inside
// a private session (sample printers) and network namespace, and once more
// on a display at 150 % for the configuration dialog; the exit code is 0
// only when every step did what its line says.
#include <windows.h>
#include <commctrl.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/state.h"
#include "locations/locations.h"
#include "locationfill.h"
#include "res/resource.h"
#include "testsupport.h"

namespace {

const char *const OFFICE_PRINTER = "Office Laser";
const char *const HOME_PRINTER = "Home Inkjet";
const char *const GUEST_PRINTER = "Front Desk";

// Milliseconds since the Unix epoch, to count from the script's start.
long long UnixMs()
{
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    ULARGE_INTEGER t;
    t.LowPart = ft.dwLowDateTime;
    t.HighPart = ft.dwHighDateTime;
    return (long long)(t.QuadPart / 10000ULL) - 11644473600000LL;
}

long long g_t0;
std::string g_shotDir;

std::string Env(const char *name)
{
    const char *v = getenv(name);
    return v ? v : "";
}

// The settings a user would have made: follow the location, an office and a
// home range, no network at home, and a printer for unknown networks.
void StoreSampleSettings()
{
    DeleteRegistryTree(HKEY_CURRENT_USER, "SOFTWARE\\Brennick\\Quorvel\\Settings");
    ZeroMemory(&AutoSettings, sizeof(AutoSettings));
    AutoSettings.bSetByIP = 1;
    AutoSettings.bIfNoMatch = 1;
    lstrcpynA(AutoSettings.szNoMatchPrinter, GUEST_PRINTER, NAME_FIELD_SIZE);
    AutoSettings.bNotifyOnSwitch = 1;
    AutoSettings.iAutoPrinterCount = 3;
    SetLocation(0, "Office", OFFICE_PRINTER, "10.1.2.1", "10.1.2.254");
    SetLocation(1, "Home", HOME_PRINTER, "192.168.5.1", "192.168.5.254");
    SetLocation(2, "No network", HOME_PRINTER, "127.0.0.1", "127.0.0.254");
    SaveSettings();
}

// Without a window manager Wine draws the windows' frames and captions itself.
void DrawOwnFrames()
{
    HKEY hKey;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\X11 Driver", 0, NULL, 0, KEY_ALL_ACCESS,
                        NULL, &hKey, NULL) == ERROR_SUCCESS) {
        RegSetValueExA(hKey, "Decorated", 0, REG_SZ, (const BYTE *)"N", 2);
        RegCloseKey(hKey);
    }
}

std::string DefaultPrinter()
{
    std::string entry = ReadDeviceEntry();
    return entry.substr(0, entry.find(','));
}

RECT Union(RECT a, RECT b)
{
    RECT r;
    UnionRect(&r, &a, &b);
    return r;
}

// Saves the screen area (with a margin of pad pixels) as a small palette PNG.
bool SaveShot(const std::string &name, RECT rc, int pad = 4)
{
    int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);
    long left = rc.left - pad < 0 ? 0 : rc.left - pad;
    long top = rc.top - pad < 0 ? 0 : rc.top - pad;
    long right = rc.right + pad > cx ? cx : rc.right + pad;
    long bottom = rc.bottom + pad > cy ? cy : rc.bottom + pad;
    char geometry[64];
    snprintf(geometry, sizeof(geometry), "%ldx%ld+%ld+%ld", right - left, bottom - top, left, top);
    // -strip: no time stamps, so an unchanged picture is an unchanged file.
    return RunHostCommand(std::string("import -window root -crop ") + geometry +
                              " +repage png:- | convert png:- -strip +dither -colors 64 'PNG8:" +
                              g_shotDir + "/" + name + "'",
                          20000, false);
}

struct WindowSearch {
    const char *cls;
    const char *title;
    HWND found;
};

BOOL CALLBACK FindVisibleWindow(HWND hwnd, LPARAM lParam)
{
    WindowSearch *s = reinterpret_cast<WindowSearch *>(lParam);
    char cls[64], title[128];
    if (!IsWindowVisible(hwnd) || !GetClassNameA(hwnd, cls, sizeof(cls)) || lstrcmpiA(cls, s->cls) != 0)
        return TRUE;
    if (s->title != nullptr && (!GetWindowTextA(hwnd, title, sizeof(title)) || strcmp(title, s->title) != 0))
        return TRUE;
    s->found = hwnd;
    return FALSE;
}

// A visible top-level window of a class (and caption), in any process.
HWND FindVisible(const char *cls, const char *title)
{
    WindowSearch s = {cls, title, NULL};
    EnumWindows(FindVisibleWindow, (LPARAM)&s);
    return s.found;
}

std::string TextOf(HWND hwnd)
{
    char text[256] = "";
    SendMessageTimeoutA(hwnd, WM_GETTEXT, sizeof(text), (LPARAM)text, SMTO_ABORTIFHUNG, 2000, NULL);
    return text;
}

// Hovers over the icon until its tip reads `expected` (the tip is refreshed
// just after a switch); saves the tray with the tip when `shot` is given.
// Returns the tip last read.
std::string ReadTip(HWND hIcon, const std::string &expected, const char *shot)
{
    std::string tip;
    for (int attempt = 0; attempt < 4; attempt++) {
        HWND hTip = HoverAndFindTooltip(hIcon, &tip);
        if (hTip != NULL && tip == expected) {
            if (shot != nullptr) {
                RECT rcTip, rcTray;
                GetWindowRect(hTip, &rcTip);
                GetWindowRect(GetParent(hIcon), &rcTray);
                if (!SaveShot(shot, Union(rcTray, rcTip)))
                    tip += " [screenshot failed]";
            }
            break;
        }
    }
    RunHostCommand("xdotool mousemove 600 500");
    return tip;
}

// One timeline line; the step passes when the default printer and the tip
// are the expected ones.
bool Line(const std::string &step, const std::string &expectedPrinter, const std::string &tip,
          const std::string &expectedTip, const std::string &note = std::string(), bool ok = true)
{
    std::string printer = DefaultPrinter();
    ok = ok && printer == expectedPrinter && tip == expectedTip;
    printf("%5.1f s  %-47s default: %-13s tip: \"%s\"%s\n", (UnixMs() - g_t0) / 1000.0, step.c_str(),
           printer.c_str(), tip.c_str(), note.c_str());
    if (!ok) {
        printf("         FAILED: expected default %s and tip \"%s\"\n", expectedPrinter.c_str(),
               expectedTip.c_str());
        if (!Env("QUORVEL_ARTIFACTS").empty() && SaveScreenshot("tour-failed.png"))
            printf("         the screen then: %s/tour-failed.png\n", Env("QUORVEL_ARTIFACTS").c_str());
        fflush(stdout);
        // What follows builds on this step: stop here (the session ends
        // the program).
        exit(1);
    }
    fflush(stdout);
    return ok;
}

// Changes the host's addresses, then stands in for the socket layer, which
// under Wine never reports the change by itself.
bool Move(HWND hwnd, const std::string &addresses, const std::string &expectedPrinter)
{
    if (!RunHostCommand("\"$QUORVEL_SET_ADDRESSES\" " + addresses))
        return false;
    PostMessageA(hwnd, MSG_ADDRESS_CHANGED, 0, 0);
    return WaitFor([&] { return DefaultPrinter() == expectedPrinter; }, 10000);
}

// Waits for the balloon notice that names the printer, saves it with its
// border when `shot` is given, then waits until it has gone, so that no
// later picture shows it. Returns its text with the line break shown as
// " / ", or "" when none showed.
std::string AwaitNotice(const std::string &printer, const char *shot)
{
    HWND hNotice = NULL;
    std::string text;
    WaitFor([&] {
        for (HWND h : VisibleNotices()) {
            text = NoticeText(h);
            if (text.find(printer) != std::string::npos) {
                hNotice = h;
                return true;
            }
        }
        return false;
    }, 8000);
    if (hNotice == NULL)
        return "";
    RECT rc;
    if (shot != nullptr) {
        Sleep(300);  // drawn
        if (!GetWindowRect(hNotice, &rc) || !SaveShot(shot, rc))
            text += " [screenshot failed]";
    }
    // Wine shows a notice for ten seconds.
    WaitFor([] { return VisibleNotices().empty(); }, 15000);
    size_t br = text.find('\n');
    if (br != std::string::npos)
        text.replace(br, 1, " / ");
    return text;
}

// Opens the tray menu with a right-click, optionally saves it with the tray,
// then types keys. The click is at the icon's top-left corner: the menu opens
// above and to the left of the pointer and leaves the icon in sight.
bool UseTrayMenu(HWND hIcon, const std::string &keys, const char *shot)
{
    // No tip of an earlier hover in the picture.
    WaitFor([] { return FindVisible("tooltips_class32", NULL) == NULL; }, 5000);
    for (int attempt = 0; attempt < 3; attempt++) {
        RECT rc;
        if (!GetWindowRect(hIcon, &rc) ||
            !RunHostCommand("xdotool mousemove " + std::to_string(rc.left + 1) + " " +
                            std::to_string(rc.top + 1) + " click 3"))
            return false;
        HWND hMenu = NULL;
        if (!WaitFor([&] { return (hMenu = FindVisible("#32768", NULL)) != NULL; }, 5000))
            continue;
        Sleep(300);  // drawn
        RECT rcMenu, rcTray;
        GetWindowRect(hMenu, &rcMenu);
        GetWindowRect(GetParent(hIcon), &rcTray);
        // No margin: the tip that the pointer's visit to the icon brings
        // shows just below the tray.
        if (shot != nullptr && !SaveShot(shot, Union(rcMenu, rcTray), 0))
            return false;
        // With no window manager the keys go to the window under the
        // pointer: rest it on the menu's closing separator, which takes no
        // highlight.
        return RunHostCommand("xdotool mousemove " + std::to_string(rcMenu.left + 12) + " " +
                              std::to_string(rcMenu.bottom - 4)) &&
               PressKeys(keys);
    }
    return false;
}

HWND WaitForDialog(const char *title)
{
    HWND h = NULL;
    WaitFor([&] { return (h = FindVisible("#32770", title)) != NULL; }, 10000);
    if (h != NULL)
        Sleep(500);  // painted
    return h;
}

// Clicks a dialog's button until the dialog is gone (a click on a window
// that has just got its input back may only activate it).
bool ClickUntilClosed(HWND hDlg, int id, const char *title)
{
    for (int attempt = 0; attempt < 3; attempt++) {
        if (!ClickWindow(GetDlgItem(hDlg, id)))
            return false;
        if (WaitFor([&] { return FindVisible("#32770", title) == NULL; }, 2000))
            return true;
    }
    return false;
}

bool ShootWindow(HWND hwnd, const char *shot)
{
    RECT rc;
    return GetWindowRect(hwnd, &rc) && SaveShot(shot, rc, 0);
}

// The sample settings stored, the host on the office network, Quorvel
// started: its tray icon, or NULL after saying what went wrong.
HWND StartOnTheOfficeNetwork(QuorvelProcess *pq)
{
    StoreSampleSettings();
    DrawOwnFrames();
    // Signed in at the office, where its printer is the default already: the
    // start applies the location and brings no notice.
    WriteDeviceEntry((std::string(OFFICE_PRINTER) + ",winspool,Ne00:").c_str());
    if (!RunHostCommand("\"$QUORVEL_SET_ADDRESSES\" 10.1.2.3/24 --default qv0")) {
        printf("tour: cannot set the host's address\n");
        return NULL;
    }
    if (!pq->Start()) {
        printf("tour: Quorvel did not start\n");
        return NULL;
    }
    HWND hIcon = NULL;
    WaitFor([&] {
        std::vector<HWND> icons = TrayIconWindows();
        hIcon = icons.empty() ? NULL : icons.back();
        return hIcon != NULL;
    }, 10000);
    if (hIcon == NULL) {
        printf("tour: no tray icon\n");
        return NULL;
    }
    // Wine's stand-alone tray sits at the top left edge, where the menu,
    // which opens above and left of the pointer, would be pushed over the
    // icon: room for both, and for the tip below (not at the very bottom,
    // where Wine shows no tip).
    HWND hTray = GetParent(hIcon);
    RECT rcTray;
    GetWindowRect(hTray, &rcTray);
    SetWindowPos(hTray, NULL, 600, 120, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    WaitFor([&] {
        RECT rc;
        GetWindowRect(hTray, &rc);
        return rc.left != rcTray.left;
    }, 3000);
    return hIcon;
}

int Tour()
{
    const std::string notice = "  (address-change notice posted by the tour: Wine does not send it)";
    QuorvelProcess q;
    HWND hIcon = StartOnTheOfficeNetwork(&q);
    if (hIcon == NULL)
        return 1;
    HWND hwnd = q.Window();
    // The first printer listing applies the location of the start.
    bool ok = WaitFor([] { return DefaultPrinter() == OFFICE_PRINTER; }, 10000);
    Line("start on the office network (10.1.2.3)", OFFICE_PRINTER,
         ReadTip(hIcon, "Office Laser (Office)", "start.png"), "Office Laser (Office)", "", ok);

    ok = UseTrayMenu(hIcon, "Down Down Down Down Down Return", "tray-menu.png") &&
         WaitFor([] { return DefaultPrinter() == HOME_PRINTER; }, 5000);
    Line("tray menu: right-click, \"Home Inkjet\" chosen", HOME_PRINTER,
         ReadTip(hIcon, "Home Inkjet (Office)", nullptr), "Home Inkjet (Office)", "", ok);

    struct {
        const char *step;
        const char *addresses;
        const char *printer;
        const char *tip;
        const char *shot;
        const char *notice;  // the location the notice names, when the printer changes
        const char *noticeShot;
    } moves[] = {
        {"moved: office network (10.1.2.3)", "10.1.2.3/24 --default qv0", OFFICE_PRINTER, "Office Laser (Office)",
         "office.png", "Office", nullptr},
        {"moved: home network (192.168.5.17)", "192.168.5.17/24 --default qv0", HOME_PRINTER, "Home Inkjet (Home)",
         "home.png", "Home", "notice.png"},
        {"moved: no network (loopback only)", "", HOME_PRINTER, "Home Inkjet (No network)",
         "no-network.png", nullptr, nullptr},
        {"moved: unknown network (172.16.9.9)", "172.16.9.9/16 --default qv0", GUEST_PRINTER,
         "Front Desk (No match)", "unknown-network.png", "", nullptr},
    };
    for (const auto &m : moves) {
        ok = Move(hwnd, m.addresses, m.printer);
        // The notice first: it is gone before the tip is pictured.
        std::string told, expected;
        if (m.notice != nullptr) {
            told = AwaitNotice(m.printer, m.noticeShot);
            expected = std::string("Default printer: ") + m.printer + " / " +
                       (m.notice[0] != '\0' ? std::string("Location: ") + m.notice
                                             : std::string("No location matched"));
        }
        Line(m.step, m.printer, ReadTip(hIcon, m.tip, m.shot), m.tip, notice, ok);
        if (m.notice != nullptr)
            Line("  its notice: \"" + told + "\"", m.printer, m.tip, m.tip, "", told == expected);
    }

    // Config... is the second item of the menu.
    HWND hConfig = NULL;
    if (UseTrayMenu(hIcon, "Down Down Return", nullptr))
        hConfig = WaitForDialog("Quorvel - Configuration");
    ok = hConfig != NULL && ShootWindow(hConfig, "config-dialog.png");
    Line("configuration dialog opened from the menu", GUEST_PRINTER,
         ReadTip(hIcon, "Front Desk (No match)", nullptr), "Front Desk (No match)", "", ok);

    HWND hLocation = NULL;
    std::string range, why, router;
    // This network's router, so that Auto can record it.
    if (!RunHostCommand("ip route replace default via 172.16.9.1 dev qv0 onlink && "
                        "ip neigh replace 172.16.9.1 lladdr 02:00:00:00:00:0a dev qv0 nud permanent"))
        why = "no router set up";
    if (hConfig != NULL && ClickWindow(GetDlgItem(hConfig, IDC_ADD)))
        hLocation = WaitForDialog("Quorvel - Location");
    if (hLocation == NULL) {
        why = "no location dialog";
    } else {
        if (!ClickWindow(GetDlgItem(hLocation, IDC_AUTORANGE)) ||
            !WaitFor([&] { return TextOf(GetDlgItem(hLocation, IDC_IPFINISH)) == "172.16.9.254"; }, 5000))
            why = "Auto filled no range";
        range = TextOf(GetDlgItem(hLocation, IDC_IPSTART)) + " - " +
                TextOf(GetDlgItem(hLocation, IDC_IPFINISH));
        if (TextOf(GetDlgItem(hLocation, IDC_CURRENTIP)) != "172.16.9.9")
            why = "current address shown: " + TextOf(GetDlgItem(hLocation, IDC_CURRENTIP));
        router = TextOf(GetDlgItem(hLocation, IDC_GATEWAYTEXT));
        if (SendMessageA(GetDlgItem(hLocation, IDC_GATEWAYCHECK), BM_GETCHECK, 0, 0) != BST_CHECKED)
            why = "the network check is not ticked";
        Sleep(300);
        if (!ShootWindow(hLocation, "location-dialog.png"))
            why = "no screenshot";
        if (!ClickUntilClosed(hLocation, IDCANCEL, "Quorvel - Location"))
            why = "the location dialog stayed";
    }
    if (hConfig != NULL && !ClickUntilClosed(hConfig, IDCANCEL, "Quorvel - Configuration"))
        why = "the configuration dialog stayed";
    ok = why.empty() && range == "172.16.9.1 - 172.16.9.254" && router == "Router 02-00-00-00-00-0A";
    Line("Add, Auto: " + (range.empty() ? std::string("nothing") : range) + ", " +
             (router.empty() ? std::string("no router") : router) + ", cancelled",
         GUEST_PRINTER, ReadTip(hIcon, "Front Desk (No match)", nullptr), "Front Desk (No match)",
         why.empty() ? "" : "  (" + why + ")", ok);

    DWORD code = q.Exit();
    if (code != 0) {
        printf("tour: Quorvel ended with %lu\n", code);
        return 1;
    }
    return 0;
}

// The configuration dialog once more, on a display scaled to QUORVEL_DPI
// (scripts/tour.sh runs this under tests/fixture/dpi.sh): sharp, with the
// location list's columns grown with the scale.
int ScaledTour(int iDpi)
{
    QuorvelProcess q;
    HWND hIcon = StartOnTheOfficeNetwork(&q);
    if (hIcon == NULL)
        return 1;
    bool ok = WaitFor([] { return DefaultPrinter() == OFFICE_PRINTER; }, 10000);
    const std::string scale = std::to_string(iDpi * 100 / 96) + " % (" + std::to_string(iDpi) + " dpi)";
    const std::string startShot = "start-" + std::to_string(iDpi) + "dpi.png";
    Line("start at " + scale, OFFICE_PRINTER,
         ReadTip(hIcon, "Office Laser (Office)", startShot.c_str()), "Office Laser (Office)", "", ok);

    HWND hConfig = NULL;
    if (UseTrayMenu(hIcon, "Down Down Return", nullptr))
        hConfig = WaitForDialog("Quorvel - Configuration");
    std::string widths, why;
    if (hConfig == NULL) {
        why = "no configuration dialog";
    } else {
        // Read from this process, as Windows allows for a list's columns.
        HWND hList = GetDlgItem(hConfig, IDC_LOCATIONLIST);
        const int rgAt96[] = {70, 100, 85, 85};
        for (int i = 0; i < 4; i++) {
            int cx = (int)SendMessageA(hList, LVM_GETCOLUMNWIDTH, i, 0);
            widths += (i ? "/" : "") + std::to_string(cx);
            if (abs(cx * 96 - rgAt96[i] * iDpi) > 96)
                why = "a column did not grow with the scale";
        }
        if (SendMessageA(hList, LVM_GETITEMCOUNT, 0, 0) != 3)
            why = "the list does not show the three locations";
        if (!ShootWindow(hConfig, ("config-dialog-" + std::to_string(iDpi) + "dpi.png").c_str()))
            why = "no screenshot";
        if (!ClickUntilClosed(hConfig, IDCANCEL, "Quorvel - Configuration"))
            why = "the configuration dialog stayed";
    }
    Line("configuration dialog at " + scale + ", columns " + (widths.empty() ? "?" : widths),
         OFFICE_PRINTER, ReadTip(hIcon, "Office Laser (Office)", nullptr), "Office Laser (Office)",
         why.empty() ? "" : "  (" + why + ")", why.empty());

    DWORD code = q.Exit();
    if (code != 0) {
        printf("tour: Quorvel ended with %lu\n", code);
        return 1;
    }
    return 0;
}

}  // namespace

int main()
{
    std::string t0 = Env("QUORVEL_TOUR_T0");
    g_t0 = t0.empty() ? UnixMs() : atoll(t0.c_str());
    g_shotDir = Env("QUORVEL_TOUR_DIR");
    if (g_shotDir.empty() || Env("QUORVEL_SET_ADDRESSES").empty()) {
        printf("tour: run me through scripts/tour.sh\n");
        return 2;
    }
    // Lines end in "\n" alone, as on the terminal that shows them.
    _setmode(_fileno(stdout), _O_BINARY);
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    int iDpi = atoi(Env("QUORVEL_DPI").c_str());
    return iDpi > 0 && iDpi != 96 ? ScaledTour(iDpi) : Tour();
}
