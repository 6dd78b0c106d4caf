// Measures Quorvel against the two reference tray programs, inside a test
// session, and prints one line per sample: "<measure> <program> <value>".
//   qbench start N    start until the tray icon shows (ms), N rounds
//   qbench running N  with 50 printers: right-click until the menu shows (ms),
//                     N rounds; processor time (ms), wake-ups and resident
//                     memory (KiB) over 30 s of idling; Quorvel's resident
//                     memory after 500 switches
//   qbench address N  (inside netns.sh) an address-change report until the new
//                     default is set, against SetDefaultPrinterA plus the
//                     broadcast alone (ms)
// The three programs run in turn, the order rotating from round to round.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
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

// Polls cond (every 1 ms, or without sleeping when spin is set) until it
// holds; the time at which it first held, or Fail after 10 s.
double WhenTrue(double t0, bool (*cond)(void *), void *arg, const char *what, bool spin = false)
{
    for (;;) {
        if (cond(arg))
            return NowMs() - t0;
        if (NowMs() - t0 > 10000)
            Fail(std::string("timed out waiting for ") + what);
        if (spin)
            SwitchToThread();
        else
            Sleep(1);
    }
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

struct IconWait {
    std::vector<HWND> before;
    HWND found;
};

bool IconAppeared(void *arg)
{
    IconWait *w = static_cast<IconWait *>(arg);
    w->found = NewIcon(w->before);
    return w->found != NULL;
}

// Starts a program; the time (ms) from CreateProcess until its icon shows.
double Start(Program *p)
{
    IconWait wait = {TrayIconWindows(), NULL};
    double t0 = NowMs();
    if (!StartProcess("\"" + p->path + "\"", &p->pi))
        Fail("cannot start " + p->path + ", error " + std::to_string(GetLastError()));
    double ms = WhenTrue(t0, IconAppeared, &wait, "a tray icon");
    p->hIcon = wait.found;
    if (!WaitFor([&] { return (p->hwnd = FindQuorvelWindow(p->pi.dwProcessId)) != NULL; }, 10000))
        Fail(std::string("no main window of ") + p->name);
    return ms;
}

bool IconGone(void *arg)
{
    return !IsWindowVisible(*static_cast<HWND *>(arg));
}

void Stop(Program *p)
{
    PostMessageA(p->hwnd, WM_COMMAND, IDM_EXIT, 0);
    if (WaitProcessExit(p->pi.hProcess, 10000) == STILL_ACTIVE)
        Fail(std::string(p->name) + " did not exit");
    WhenTrue(NowMs(), IconGone, &p->hIcon, "the icon to go");
    CloseHandle(p->pi.hThread);
    CloseHandle(p->pi.hProcess);
    p->hwnd = p->hIcon = NULL;
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

struct MenuSearch {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK FindMenuOf(HWND hwnd, LPARAM lParam)
{
    MenuSearch *s = reinterpret_cast<MenuSearch *>(lParam);
    char cls[16];
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == s->pid && IsWindowVisible(hwnd) && GetClassNameA(hwnd, cls, sizeof(cls)) &&
        strcmp(cls, "#32768") == 0) {
        s->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

bool MenuShown(void *arg)
{
    MenuSearch *s = static_cast<MenuSearch *>(arg);
    s->found = NULL;
    EnumWindows(FindMenuOf, (LPARAM)s);
    return s->found != NULL;
}

bool MenuClosed(void *arg)
{
    return !MenuShown(arg);
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
// the menu's height in pixels.
double OpenMenu(const Program &p, int *pHeight)
{
    RECT rc;
    GetWindowRect(p.hIcon, &rc);
    SetCursorPos((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    Sleep(50);
    MenuSearch menu = {p.pi.dwProcessId, NULL};
    double t0 = NowMs();
    SendButton(MOUSEEVENTF_RIGHTDOWN);
    SendButton(MOUSEEVENTF_RIGHTUP);
    double ms = WhenTrue(t0, MenuShown, &menu, "a menu");
    GetWindowRect(menu.found, &rc);
    *pHeight = rc.bottom - rc.top;
    // What a click elsewhere does: the owner's default handling ends the menu.
    PostMessageA(p.hwnd, WM_CANCELMODE, 0, 0);
    WhenTrue(NowMs(), MenuClosed, &menu, "the menu to close");
    return ms;
}

// Processor time (ms), wake-ups and resident memory (KiB) of a running program,
// as Linux counts them for its Wine process.
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

bool DefaultIs(void *arg)
{
    std::string entry = ReadDeviceEntry();
    return entry.compare(0, entry.find(','), *static_cast<std::string *>(arg)) == 0;
}

void MeasureRunning(int rounds)
{
    ScopedPrinterCount printers(50);
    std::vector<std::string> names = SpoolerPrinterNames();
    if (names.size() != 50)
        Fail("the spooler does not list 50 printers");
    std::vector<Program> programs = Programs();
    for (Program &p : programs)
        Start(&p);

    // Until Quorvel's first listing has ended, its menu shows a notice in
    // place of the printers: the same height as the bare program's menu.
    int qHeight = 0, bareHeight = 0;
    for (int i = 0; qHeight <= bareHeight; i++) {
        if (i == 30)
            Fail("Quorvel's menu shows no printers");
        Sleep(1000);
        OpenMenu(programs[0], &qHeight);
        OpenMenu(programs[1], &bareHeight);
    }
    for (int r = 0; r < rounds; r++) {
        for (size_t i = 0; i < programs.size(); i++) {
            const Program &p = programs[(r + i) % programs.size()];
            int height;
            Sample("menu", p.name, OpenMenu(p, &height));
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

    // 500 switches from the tray menu's printer commands, each awaited.
    Program &q = programs[0];
    for (int i = 0; i < 500; i++) {
        PostMessageA(q.hwnd, WM_COMMAND, i % 2, 0);
        WhenTrue(NowMs(), DefaultIs, &names[i % 2], "a switch");
    }
    Sleep(2000);  // the icon restored, the last listing done
    Sample("rss-after-switches", q.name, UsageOf(q).rssKiB);
    for (Program &p : programs)
        Stop(&p);
}

void SetLocation(int i, const char *name, const char *printer, const char *start,
                 const char *finish)
{
    LocationRecord *r = &AutoSettings.locations[i];
    lstrcpynA(r->szLocationName, name, NAME_FIELD_SIZE);
    lstrcpynA(r->szPrinterName, printer, NAME_FIELD_SIZE);
    lstrcpynA(r->szIPStart, start, NAME_FIELD_SIZE);
    lstrcpynA(r->szIPFinish, finish, NAME_FIELD_SIZE);
}

void MeasureAddressChange(int rounds)
{
    if (getenv("QUORVEL_SET_ADDRESSES") == nullptr)
        Fail("address needs tests/fixture/netns.sh");
    ZeroMemory(&AutoSettings, sizeof(AutoSettings));
    AutoSettings.bSetByIP = 1;
    AutoSettings.iAutoPrinterCount = 2;
    SetLocation(0, "Office", "Beta", "10.1.2.0", "10.1.2.255");
    SetLocation(1, "Home", "Gamma", "192.168.5.0", "192.168.5.255");
    SaveSettings();
    struct Move {
        const char *addresses;
        std::string printer;
    } moves[2] = {{"192.168.5.17/24", "Gamma"}, {"10.1.2.3/24", "Beta"}};
    std::string alpha = "Alpha";

    Program q = Programs()[0];
    if (!RunHostCommand("\"$QUORVEL_SET_ADDRESSES\" " + std::string(moves[1].addresses)))
        Fail("cannot set the host's addresses");
    Start(&q);
    WhenTrue(NowMs(), DefaultIs, &moves[1].printer, "the first location's printer");
    Sleep(1000);
    for (int r = 0; r <= rounds; r++) {
        // Quorvel: the host moves; Wine's socket layer never reports it, so
        // the report is posted the way the socket layer would post it.
        const Move &m = moves[r % 2];
        if (!RunHostCommand("\"$QUORVEL_SET_ADDRESSES\" " + std::string(m.addresses)))
            Fail("cannot set the host's addresses");
        double t0 = NowMs();
        PostMessageA(q.hwnd, MSG_ADDRESS_CHANGED, 0, 0);
        double ms = WhenTrue(t0, DefaultIs, const_cast<std::string *>(&m.printer), "the switch", true);
        if (r > 0)
            Sample("address", "quorvel", ms);
        Sleep(300);

        // The least any switch costs: set the default and tell every window.
        t0 = NowMs();
        SetDefaultPrinterA(alpha.c_str());
        SendMessageTimeoutA(HWND_BROADCAST, WM_WININICHANGE, 0, 0, SMTO_ABORTIFHUNG, 1000, NULL);
        ms = NowMs() - t0;
        if (!DefaultIs(&alpha))
            Fail("SetDefaultPrinterA did not switch");
        if (r > 0)
            Sample("address", "reference", ms);
        Sleep(300);
    }
    Stop(&q);
}

}  // namespace

int main(int argc, char **argv)
{
    int rounds = argc >= 3 ? atoi(argv[2]) : 0;
    if (rounds < 1 || rounds > 1000) {
        fprintf(stderr, "usage: qbench start|running|address ROUNDS\n");
        return 2;
    }
    std::string what = argv[1];
    if (what == "start")
        MeasureStart(rounds);
    else if (what == "running")
        MeasureRunning(rounds);
    else if (what == "address")
        MeasureAddressChange(rounds);
    else
        return 2;
    return 0;
}
