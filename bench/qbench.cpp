// Measures Quorvel against the two reference tray programs, inside a test
// session, and prints one line per sample: "<measure> <program> <value>".
//   qbench start N    start until the tray icon shows (ms), N rounds
//   qbench running N  with 50 printers: right-click until the menu shows (ms),
//                     N rounds, all three menus the same 50 rows with the
//                     default in bold; processor time (ms), wake-ups and resident
//                     memory (KiB) over 30 s of idling; Quorvel's resident
//                     memory after 500 switches
//   qbench address N  (inside netns.sh) an address-change report that brings a
//                     routed address until the new default is set, against
//                     SetDefaultPrinterA alone and against the platform calls
//                     a decision by network makes (the host's name resolved,
//                     the route table read) plus SetDefaultPrinterA, all until
//                     the default's key changes (ms); then the same change
//                     behind known routers, with locations bound to them and
//                     without (ms)
// The programs take turns, the order rotating from round to round.
#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "core/state.h"
#include "locations/locations.h"
#include "testsupport.h"

namespace {

struct Program {
    const char *name;  // as printed
    std::string path;  // Windows path of the .exe
    PROCESS_INFORMATION pi;
    HWND hwnd;   // its main window
    HWND hIcon;  // its icon in Wine's tray
};

std::vector<Program> Programs()
{
    return {{"quorvel", QuorvelExePath(), {}, NULL, NULL},
            {"bare", ToWindowsPath(BENCH_BARE_BUILT), {}, NULL, NULL},
            {"linked", ToWindowsPath(BENCH_LINKED_BUILT), {}, NULL, NULL}};
}

double NowMs()
{
    LARGE_INTEGER freq, now;
    QueryPerformanceFrequency(&freq);
    QueryPerformanceCounter(&now);
    return (double)now.QuadPart * 1000.0 / (double)freq.QuadPart;
}

[[noreturn]] void Fail(const std::string &what)
{
    fprintf(stderr, "qbench: %s\n", what.c_str());
    fflush(stdout);
    exit(1);
}

void Sample(const char *measure, const char *program, double value)
{
    printf("%s %s %.3f\n", measure, program, value);
    fflush(stdout);
}

// Milliseconds from t0 until cond holds, polled every stepMs (0: yield only).
double Until(double t0, const std::function<bool()> &cond, const char *what, DWORD stepMs = 1)
{
    if (!WaitFor(cond, 10000, stepMs))
        Fail(std::string("timed out waiting for ") + what);
    return NowMs() - t0;
}

HWND NewIcon(const std::vector<HWND> &before)
{
    for (HWND h : TrayIconWindows()) {
        bool known = false;
        for (HWND b : before)
            known = known || b == h;
        if (!known)
            return h;
    }
    return NULL;
}

// Starts a program; the time (ms) from CreateProcess until its icon shows.
double Start(Program *p)
{
    std::vector<HWND> before = TrayIconWindows();
    double t0 = NowMs();
    if (!StartProcess("\"" + p->path + "\"", &p->pi))
        Fail("cannot start " + p->path + ", error " + std::to_string(GetLastError()));
    double ms = Until(t0, [&] { return (p->hIcon = NewIcon(before)) != NULL; }, "a tray icon");
    Until(t0, [&] { return (p->hwnd = FindQuorvelWindow(p->pi.dwProcessId)) != NULL; },
          "a main window");
    return ms;
}

void Stop(Program *p)
{
    PostMessageA(p->hwnd, WM_COMMAND, IDM_EXIT, 0);
    if (WaitProcessExit(p->pi.hProcess, 10000) == STILL_ACTIVE)
        Fail(std::string(p->name) + " did not exit");
    Until(NowMs(), [&] { return !IsWindowVisible(p->hIcon); }, "the icon to go");
    CloseHandle(p->pi.hThread);
    CloseHandle(p->pi.hProcess);
}

void MeasureStart(int rounds)
{
    std::vector<Program> programs = Programs();
    // Round 0 warms Wine's caches up and is not reported.
    for (int r = 0; r <= rounds; r++) {
        for (size_t i = 0; i < programs.size(); i++) {
            Program &p = programs[(r + i) % programs.size()];
            double ms = Start(&p);
            Stop(&p);
            if (r > 0)
                Sample("start", p.name, ms);
            Sleep(300);  // Wine's clean-up after the exit
        }
    }
}

void SendButton(DWORD flags)
{
    INPUT in;
    ZeroMemory(&in, sizeof(in));
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = flags;
    SendInput(1, &in, sizeof(in));
}

// Right-clicks the program's icon; the time (ms) until its menu shows, and
// the menu's size in pixels.
double OpenMenu(const Program &p, SIZE *pSize)
{
    RECT rc;
    GetWindowRect(p.hIcon, &rc);
    SetCursorPos((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    Sleep(50);
    auto menuShown = [&] {
        HWND hMenu = FindProcessWindow(p.pi.dwProcessId, "#32768");
        return hMenu != NULL && IsWindowVisible(hMenu) && GetWindowRect(hMenu, &rc);
    };
    double t0 = NowMs();
    SendButton(MOUSEEVENTF_RIGHTDOWN);
    SendButton(MOUSEEVENTF_RIGHTUP);
    double ms = Until(t0, menuShown, "a menu");
    pSize->cx = rc.right - rc.left;
    pSize->cy = rc.bottom - rc.top;
    // What a click elsewhere does: the owner's default handling ends the menu.
    PostMessageA(p.hwnd, WM_CANCELMODE, 0, 0);
    Until(NowMs(), [&] { return !menuShown(); }, "the menu to close");
    return ms;
}

// Processor time (ms), wake-ups and resident memory (KiB) of a running
// program, as Linux counts them for its Wine process.
struct Usage {
    double cpuMs, wakeups, rssKiB;
};

Usage UsageOf(const Program &p)
{
    std::string exe = p.path.substr(p.path.find_last_of('\\') + 1), out;
    Usage u = {-1, -1, -1};
    if (!RunHostCommandOutput("\"$QUORVEL_BENCH_USAGE\" '" + exe + "'", &out) ||
        sscanf(out.c_str(), "%lf %lf %lf", &u.cpuMs, &u.wakeups, &u.rssKiB) != 3)
        Fail("cannot read the usage of " + exe + ": " + out);
    return u;
}

bool DefaultIs(const std::string &printer)
{
    std::string entry = ReadDeviceEntry();
    return entry.compare(0, entry.find(','), printer) == 0;
}

void MeasureRunning(int rounds)
{
    ScopedPrinterCount printers(50);
    std::vector<std::string> names = SpoolerPrinterNames();
    if (names.size() != 50)
        Fail("the spooler does not list 50 printers");
    // The default the references show in bold, from their table.
    ScopedDeviceEntry restoreEntry;
    if (!SetDefaultPrinterA("Alpha") || !DefaultIs("Alpha"))
        Fail("cannot make Alpha the default");
    std::vector<Program> programs = Programs();
    for (Program &p : programs)
        Start(&p);

    // Until Quorvel's first listing has ended, its menu shows a notice in
    // place of the printers; then it shows the references' rows, the same
    // texts in a menu of the same size.
    auto describe = [](const SIZE &size) {
        return std::to_string(size.cx) + " x " + std::to_string(size.cy) + " pixels";
    };
    SIZE quorvelSize = {0, 0}, bareSize = {0, 0};
    for (int i = 0; quorvelSize.cx == 0 || quorvelSize.cx != bareSize.cx ||
                    quorvelSize.cy != bareSize.cy; i++) {
        if (i == 30)
            Fail("Quorvel's menu is " + describe(quorvelSize) + ", the references' " +
                 describe(bareSize) + ": not the same rows");
        Sleep(1000);
        OpenMenu(programs[0], &quorvelSize);
        OpenMenu(programs[1], &bareSize);
    }
    for (int r = 0; r < rounds; r++) {
        for (size_t i = 0; i < programs.size(); i++) {
            const Program &p = programs[(r + i) % programs.size()];
            SIZE size;
            Sample("menu", p.name, OpenMenu(p, &size));
            if (size.cx != quorvelSize.cx || size.cy != quorvelSize.cy)
                Fail(std::string(p.name) + "'s menu is " + describe(size) + ", Quorvel's " +
                     describe(quorvelSize));
            Sleep(100);
        }
    }

    Sleep(2000);
    std::vector<Usage> before;
    for (const Program &p : programs)
        before.push_back(UsageOf(p));
    Sleep(30000);
    for (size_t i = 0; i < programs.size(); i++) {
        Usage after = UsageOf(programs[i]);
        Sample("idle-cpu", programs[i].name, after.cpuMs - before[i].cpuMs);
        Sample("idle-wakeups", programs[i].name, after.wakeups - before[i].wakeups);
        Sample("rss", programs[i].name, before[i].rssKiB);
    }

    // 500 switches by the tray menu's printer commands, each awaited.
    Program &q = programs[0];
    for (int i = 0; i < 500; i++) {
        PostMessageA(q.hwnd, WM_COMMAND, i % 2, 0);
        Until(NowMs(), [&] { return DefaultIs(names[i % 2]); }, "a switch");
    }
    Sleep(2000);  // the icon restored, the last listing done
    Sample("rss-after-switches", q.name, UsageOf(q).rssKiB);
    for (Program &p : programs)
        Stop(&p);
}

// Runs `start` and returns the milliseconds until `printer` is the default.
// The clock stops when the key holding the default changes, for Quorvel and
// for the references alike, so both end at the same point: before any
// broadcast. The wait sleeps on the key: polling it would compete with
// Quorvel for Wine's server and slow each cross-process call Quorvel makes.
double SwitchAfter(const std::function<void()> &start, const char *printer)
{
    HKEY hKey;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows", 0,
                      KEY_NOTIFY | KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS)
        Fail("cannot open the key of the default printer");
    HANDLE hChanged = CreateEventA(NULL, FALSE, FALSE, NULL);
    if (hChanged == NULL)
        Fail("cannot make an event");
    auto arm = [&] {
        if (RegNotifyChangeKeyValue(hKey, FALSE, REG_NOTIFY_CHANGE_LAST_SET, hChanged, TRUE) != ERROR_SUCCESS)
            Fail("cannot watch the key of the default printer");
    };
    arm();
    double t0 = NowMs();
    start();
    for (;;) {
        double left = t0 + 10000 - NowMs();
        if (left <= 0 || WaitForSingleObject(hChanged, (DWORD)left + 1) != WAIT_OBJECT_0)
            Fail("timed out waiting for the switch");
        double ms = NowMs() - t0;
        arm();
        if (DefaultIs(printer)) {
            CloseHandle(hChanged);
            RegCloseKey(hKey);
            return ms;
        }
    }
}

// Posts the address-change report to Quorvel, as Wine's socket layer never does.
double SwitchOnReport(HWND hQuorvel, const char *printer)
{
    return SwitchAfter([&] { PostMessageA(hQuorvel, MSG_ADDRESS_CHANGED, 0, 0); }, printer);
}

// What any switch decided by the network must ask of the platform besides
// the switch itself: the host's own addresses (its name resolved) and
// whether they lead out (the route table). Under Wine both are calls into
// Wine's services and take milliseconds; on Windows, microseconds.
void LookAtTheNetworkOnce()
{
    static DWORD adwTable[16384];
    ULONG cb = sizeof(adwTable);
    char szHost[256];
    if (gethostname(szHost, sizeof(szHost)) != 0 || gethostbyname(szHost) == NULL)
        Fail("cannot resolve the host's own name");
    if (GetIpForwardTable((PMIB_IPFORWARDTABLE)adwTable, &cb, FALSE) != NO_ERROR)
        Fail("cannot read the route table");
}

void MeasureAddressChange(int rounds)
{
    WSADATA wsaData;
    if (getenv("QUORVEL_SET_ADDRESSES") == nullptr)
        Fail("address needs tests/fixture/netns.sh");
    if (WSAStartup(MAKEWORD(2, 2), &wsaData) != 0)
        Fail("cannot start Windows Sockets");
    ZeroMemory(&AutoSettings, sizeof(AutoSettings));
    AutoSettings.bSetByIP = 1;
    AutoSettings.iAutoPrinterCount = 2;
    const LocationRecord office = {"Office", "Beta", "10.1.2.0", "10.1.2.255", ""};
    const LocationRecord home = {"Home", "Gamma", "192.168.5.0", "192.168.5.255", ""};
    AutoSettings.locations[0] = office;
    AutoSettings.locations[1] = home;
    SaveSettings();
    auto moveHost = [](const char *addresses) {
        if (!RunHostCommand("\"$QUORVEL_SET_ADDRESSES\" " + std::string(addresses)))
            Fail("cannot set the host's addresses");
    };

    Program q = Programs()[0];
    moveHost("10.1.2.3/24 --default qv0");
    Start(&q);
    Until(NowMs(), [] { return DefaultIs("Beta"); }, "the first location's printer");
    Sleep(1000);
    for (int r = 0; r <= rounds; r++) {
        // Quorvel: the host moves; Wine's socket layer never reports it, so
        // the report is posted the way the socket layer would post it.
        // A change that brings a routed address, as joining a network does.
        const char *printer = r % 2 ? "Beta" : "Gamma";
        moveHost(r % 2 ? "10.1.2.3/24 --default qv0" : "192.168.5.17/24 --default qv0");
        double ms = SwitchOnReport(q.hwnd, printer);
        if (r > 0)
            Sample("address", "quorvel", ms);
        Sleep(300);

        // The least any switch costs: set the default.
        ms = SwitchAfter([] { SetDefaultPrinterA("Alpha"); }, "Alpha");
        if (r > 0)
            Sample("address", "reference", ms);
        Sleep(300);
        // The least a switch decided by the network costs: the same look at
        // the network, then the default set.
        ms = SwitchAfter([&] { LookAtTheNetworkOnce(); SetDefaultPrinterA(printer); }, printer);
        if (r > 0)
            Sample("address", "routed", ms);
        Sleep(300);
    }
    Stop(&q);

    // Behind routers whose addresses are known: locations bound to them
    // against the same locations by range alone, one series after the other.
    auto moveBehindRouter = [](int r) {
        const char *net = r % 2 ? "10.1.2" : "192.168.5";
        const char *host = r % 2 ? ".3/24" : ".17/24";
        std::string gw = std::string(net) + ".1";
        std::string mac = r % 2 ? "02:00:00:00:00:0a" : "02:00:00:00:00:0b";
        if (!RunHostCommand("\"$QUORVEL_SET_ADDRESSES\" " + std::string(net) + host +
                            " && ip neigh replace " + gw + " lladdr " + mac +
                            " dev qv0 nud permanent && ip route replace default via " + gw +
                            " dev qv0 onlink"))
            Fail("cannot set the host's addresses and router");
    };
    for (int bound = 0; bound < 2; bound++) {
        lstrcpynA(AutoSettings.locations[0].szGatewayMAC, bound ? "02-00-00-00-00-0A" : "",
                  NAME_FIELD_SIZE);
        lstrcpynA(AutoSettings.locations[1].szGatewayMAC, bound ? "02-00-00-00-00-0B" : "",
                  NAME_FIELD_SIZE);
        SaveSettings();
        Program p = Programs()[0];
        moveBehindRouter(1);
        Start(&p);
        Until(NowMs(), [] { return DefaultIs("Beta"); }, "the first location's printer");
        Sleep(1000);
        for (int r = 0; r <= rounds; r++) {
            const char *printer = r % 2 ? "Beta" : "Gamma";
            moveBehindRouter(r);
            double ms = SwitchOnReport(p.hwnd, printer);
            if (r > 0)
                Sample(bound ? "address-bound" : "address-range", "quorvel", ms);
            Sleep(300);
        }
        Stop(&p);
    }
}

}  // namespace

int main(int argc, char **argv)
{
    int rounds = argc >= 3 ? atoi(argv[2]) : 0;
    std::string what = argc >= 2 ? argv[1] : "";
    if (rounds < 1 || rounds > 1000 || (what != "start" && what != "running" && what != "address")) {
        fprintf(stderr, "usage: qbench start|running|address ROUNDS\n");
        return 2;
    }
    if (what == "start")
        MeasureStart(rounds);
    else if (what == "running")
        MeasureRunning(rounds);
    else
        MeasureAddressChange(rounds);
    return 0;
}
