// The configuration and location dialogs under a real pointer and keyboard:
// the program's own main window runs in this process and opens the dialogs
// through its real command; a second thread clicks and types while the
// dialogs' modal loops run here, and a hook answers the message boxes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "core/state.h"
#include <commctrl.h>
#include "dialogdriver.h"
#include "dialogs/dialogs.h"
#include "inprocess.h"
#include "locations/locations.h"
#include "res/resource.h"
#include "testsupport.h"

namespace {

const char kConfigTitle[] = "Quorvel - Configuration";
const char kLocationTitle[] = "Quorvel - Location";

struct Loc {
    std::string name, printer, start, finish;
    bool operator==(const Loc &o) const
    {
        return name == o.name && printer == o.printer && start == o.start && finish == o.finish;
    }
};

std::ostream &operator<<(std::ostream &os, const Loc &l)
{
    return os << "{" << l.name << " | " << l.printer << " | " << l.start << " | " << l.finish << "}";
}

Loc FromRecord(const LocationRecord &r)
{
    return {r.szLocationName, r.szPrinterName, r.szIPStart, r.szIPFinish};
}

std::vector<Loc> FromRows(const std::vector<std::vector<std::string>> &rows)
{
    std::vector<Loc> out;
    for (const auto &r : rows)
        out.push_back({r[0], r[1], r[2], r[3]});
    return out;
}

std::vector<Loc> InMemory()
{
    std::vector<Loc> out;
    for (int i = 0; i < AutoSettings.iAutoPrinterCount && i < MAX_LOCATIONS; i++)
        out.push_back(FromRecord(AutoSettings.locations[i]));
    return out;
}

void SetLocations(const std::vector<Loc> &locs)
{
    for (size_t i = 0; i < locs.size() && i < MAX_LOCATIONS; i++) {
        LocationRecord &r = AutoSettings.locations[i];
        lstrcpynA(r.szLocationName, locs[i].name.c_str(), NAME_FIELD_SIZE);
        lstrcpynA(r.szPrinterName, locs[i].printer.c_str(), NAME_FIELD_SIZE);
        lstrcpynA(r.szIPStart, locs[i].start.c_str(), NAME_FIELD_SIZE);
        lstrcpynA(r.szIPFinish, locs[i].finish.c_str(), NAME_FIELD_SIZE);
    }
    AutoSettings.iAutoPrinterCount = (int)locs.size();
}

// --- the settings as the registry holds them ---------------------------------

struct Stored {
    bool exists = false;
    DWORD bIfNoMatch = 0xBAD, bSetByIP = 0xBAD, iAutoPrinterCount = 0xBAD, iIconAction = 0xBAD;
    std::string szNoMatchPrinter = "(absent)";
    std::vector<std::string> subkeys;
    std::vector<Loc> locations;  // from subkeys "0", "1", ... in turn
    bool operator==(const Stored &o) const
    {
        return exists == o.exists && bIfNoMatch == o.bIfNoMatch && bSetByIP == o.bSetByIP &&
               iAutoPrinterCount == o.iAutoPrinterCount && iIconAction == o.iIconAction &&
               szNoMatchPrinter == o.szNoMatchPrinter && subkeys == o.subkeys &&
               locations == o.locations;
    }
};

std::ostream &operator<<(std::ostream &os, const Stored &s)
{
    os << (s.exists ? "" : "(no key) ") << "bIfNoMatch=" << s.bIfNoMatch << " bSetByIP=" << s.bSetByIP
       << " count=" << s.iAutoPrinterCount << " icon=" << s.iIconAction << " nomatch=\""
       << s.szNoMatchPrinter << "\" subkeys=" << s.subkeys.size();
    for (const Loc &l : s.locations)
        os << " " << l;
    return os;
}

std::string QueryText(HKEY hKey, const char *name)
{
    char buf[1024];
    DWORD cb = sizeof(buf), type = 0;
    if (RegQueryValueExA(hKey, name, NULL, &type, (BYTE *)buf, &cb) != ERROR_SUCCESS)
        return "(absent)";
    if (type != REG_SZ)
        return "(not REG_SZ)";
    return std::string(buf, cb > 0 && buf[cb - 1] == '\0' ? cb - 1 : cb);
}

DWORD QueryNumber(HKEY hKey, const char *name)
{
    DWORD value = 0, cb = sizeof(value), type = 0;
    if (RegQueryValueExA(hKey, name, NULL, &type, (BYTE *)&value, &cb) != ERROR_SUCCESS)
        return 0xBAD;
    return type == REG_DWORD ? value : 0xBADBAD;
}

Stored ReadStored()
{
    Stored s;
    HKEY hKey;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY, 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return s;
    s.exists = true;
    s.bIfNoMatch = QueryNumber(hKey, "bIfNoMatch");
    s.bSetByIP = QueryNumber(hKey, "bSetByIP");
    s.iAutoPrinterCount = QueryNumber(hKey, "iAutoPrinterCount");
    s.iIconAction = QueryNumber(hKey, "iIconAction");
    s.szNoMatchPrinter = QueryText(hKey, "szNoMatchPrinter");
    char name[256];
    for (DWORD i = 0; RegEnumKeyA(hKey, i, name, sizeof(name)) == ERROR_SUCCESS; i++)
        s.subkeys.push_back(name);
    for (int i = 0;; i++) {
        HKEY hSub;
        if (RegOpenKeyExA(hKey, std::to_string(i).c_str(), 0, KEY_READ, &hSub) != ERROR_SUCCESS)
            break;
        s.locations.push_back({QueryText(hSub, "szLocationName"), QueryText(hSub, "szPrinterName"),
                               QueryText(hSub, "szIPStart"), QueryText(hSub, "szIPFinish")});
        RegCloseKey(hSub);
    }
    RegCloseKey(hKey);
    return s;
}

// --- a driver thread next to the dialogs' modal loops ---------------------------

struct DriverJob {
    std::function<void()> body;
};

// Waits until a dialog is gone. Hidden is not enough: without a window
// manager, Wine holds the thread a while after hiding a window, and input
// that arrives then goes to the closing dialog's loop, which drops it.
bool WaitClosed(HWND hDlg, DWORD timeoutMs = 8000)
{
    bool closed = WaitFor([&] { return !IsWindow(hDlg); }, timeoutMs);
    Sleep(200);
    return closed;
}

DWORD WINAPI RunDriverJob(LPVOID param)
{
    DriverJob *job = static_cast<DriverJob *>(param);
    job->body();
    // A dialog the driver left open is a failure; close every one, however
    // many were opened, so the modal loops end and the test goes on.
    for (int round = 0; round < 8; round++) {
        HWND h = NULL;
        for (const char *title : {kLocationTitle, kConfigTitle}) {
            if (h == NULL && (h = FindOwnDialog(title)) != NULL)
                ADD_FAILURE() << title << " was left open";
        }
        if (h == NULL && WaitFor([&] {
                return FindOwnDialog(kLocationTitle) == NULL && FindOwnDialog(kConfigTitle) == NULL;
            }, 1500))
            break;
        if (h != NULL) {
            PostMessageA(h, WM_COMMAND, IDCANCEL, 0);
            WaitClosed(h, 4000);
        }
    }
    return 0;
}

bool Press(HWND hDlg, int id)
{
    return ClickWindow(GetDlgItem(hDlg, id));
}

// Clicks a button of the configuration dialog and waits for the location dialog.
HWND OpenLocationDialog(HWND hConfig, int button)
{
    HWND hLoc = NULL;
    if (!Press(hConfig, button))
        return NULL;
    if (!WaitFor([&] { return (hLoc = FindOwnDialog(kLocationTitle)) != NULL; }, 8000))
        SaveScreenshot("location-dialog-did-not-open.png");
    return hLoc;
}

int SelectedPrinter(HWND hLoc)
{
    return (int)SendDlgItemMessageA(hLoc, IDC_PRINTER, CB_GETCURSEL, 0, 0);
}

// Fills the location dialog's fields as a user would and presses OK.
bool EnterLocation(HWND hLoc, const Loc &l)
{
    bool ok = TypeInto(hLoc, IDC_LOCATIONNAME, l.name) && TypeInto(hLoc, IDC_IPSTART, l.start) &&
              TypeInto(hLoc, IDC_IPFINISH, l.finish) &&
              ChooseFromDropList(GetDlgItem(hLoc, IDC_PRINTER), l.printer) && Press(hLoc, IDOK);
    return ok && WaitClosed(hLoc);
}

HWND ListOf(HWND hConfig)
{
    return GetDlgItem(hConfig, IDC_LOCATIONLIST);
}

void StartSockets()
{
    static bool started;
    if (!started) {
        WSADATA wsa;
        started = WSAStartup(MAKEWORD(2, 2), &wsa) == 0;
    }
}

class ConfigDialog : public InProcessTest {
protected:
    void SetUp() override
    {
        InProcessTest::SetUp();
        StartSockets();
        DeleteRegistryTree(HKEY_CURRENT_USER, SETTINGS_KEY);
        StartMainWindow();
        ASSERT_EQ(iPrinterCount, 3);
        // Only now: Wine may reset the default printer when a process first
        // lists the printers, after another process has switched it.
        WriteDeviceEntry("Beta,wineps.drv,CUPS:Beta");
        bShellPrinterCommand = 1;
        watch.reset(new MessageBoxWatch());
    }

    void TearDown() override
    {
        watch.reset();
        InProcessTest::TearDown();
        DeleteRegistryTree(HKEY_CURRENT_USER, SETTINGS_KEY);
    }

    // Runs `drive` on a second thread; this thread sends the configuration
    // command when asked (its modal loop runs here) and pumps until the
    // driver has finished.
    void RunDriver(const std::function<void()> &drive, bool sendConfigCommand)
    {
        DriverJob job{drive};
        HANDLE hThread = CreateThread(NULL, 0, RunDriverJob, &job, 0, NULL);
        ASSERT_NE(hThread, (HANDLE)NULL);
        if (sendConfigCommand) {
            SendMessageA(hMainWnd, WM_COMMAND, IDM_CONFIG, 0);
            savedWhileOpen = Received(MSG_SETTINGS_SAVED).size();
        }
        EXPECT_TRUE(WaitFor([&] { return WaitForSingleObject(hThread, 0) == WAIT_OBJECT_0; }, 240000));
        CloseHandle(hThread);
    }

    // Opens the configuration dialog through the main window's command and
    // hands it to `drive`, which must close it.
    void RunConfig(const std::function<void(HWND)> &drive)
    {
        RunDriver([&] {
            HWND hDlg = NULL;
            if (!WaitFor([&] { return (hDlg = FindOwnDialog(kConfigTitle)) != NULL; }, 10000)) {
                ADD_FAILURE() << "the configuration dialog did not open";
                return;
            }
            drive(hDlg);
        }, true);
    }

    SeenBox BoxNumber(size_t n)
    {
        EXPECT_TRUE(watch->WaitForBoxes(n)) << "message box " << n << " did not come";
        std::vector<SeenBox> boxes = watch->Boxes();
        return boxes.size() >= n ? boxes[n - 1] : SeenBox();
    }

    ScopedDeviceEntry restoreEntry;
    std::unique_ptr<MessageBoxWatch> watch;
    size_t savedWhileOpen = 0;
};

std::vector<int> OkOnly() { return {IDOK}; }

void ExpectLocationBox(const SeenBox &box, const std::string &text)
{
    EXPECT_EQ(box.text, text);
    EXPECT_EQ(box.caption, "Error");
    EXPECT_EQ(box.hOwner, (HWND)NULL) << text << ": the location dialog's boxes have no owner";
    EXPECT_TRUE(box.warningIcon) << text;
    EXPECT_EQ(box.buttons, OkOnly()) << text;
    EXPECT_TRUE(box.DialogEnabled(kLocationTitle)) << text << ": the dialog stays enabled";
}

void ExpectConfigBox(const SeenBox &box, HWND hConfig, const std::string &text,
                     const std::string &caption, const std::vector<int> &buttons)
{
    EXPECT_EQ(box.text, text);
    EXPECT_EQ(box.caption, caption);
    EXPECT_EQ(box.hOwner, hConfig) << text << ": owned by the configuration dialog";
    EXPECT_TRUE(box.warningIcon) << text;
    EXPECT_EQ(box.buttons, buttons) << text;
}

// Ranges the location dialog refuses, each reached from the one before by
// retyping a field: forms the sockets parser would read as another address
// (octal, blanks) and a start above the end. Typed, blanks reach the checks.
struct FieldEdit {
    int id;
    std::string text;
};
struct RefusedRange {
    std::string range;
    std::vector<FieldEdit> edits;
};
const std::vector<RefusedRange> kRefusedRanges = {
    {"10.0.0.x to nothing", {}},
    {"010.0.0.1 to 10.0.0.9", {{IDC_IPFINISH, "10.0.0.9"}, {IDC_IPSTART, "010.0.0.1"}}},
    {"' 10.0.0.1' to 10.0.0.9", {{IDC_IPSTART, " 10.0.0.1"}}},
    {"10.0.0.10 to 10.0.0.9", {{IDC_IPSTART, "10.0.0.10"}}},
    {"10.0.0.1 to '10.0.0.9 '", {{IDC_IPSTART, "10.0.0.1"}, {IDC_IPFINISH, "10.0.0.9 "}}},
};

TEST_F(ConfigDialog, AddChecksTheNameThenTheRangeThenThePrinterAndKeepsTheTextAsTyped)
{
    AutoSettings.bSetByIP = 1;
    std::vector<Loc> rows;
    bool secondOpenedEmpty = false;
    RunConfig([&](HWND hDlg) {
        HWND hLoc = OpenLocationDialog(hDlg, IDC_ADD);
        ASSERT_NE(hLoc, (HWND)NULL);
        // Nothing right at all: the name is reported, not the range.
        TypeInto(hLoc, IDC_IPSTART, "10.0.0.x");
        Press(hLoc, IDOK);
        BoxNumber(1);
        TypeInto(hLoc, IDC_LOCATIONNAME, "Lab");
        size_t boxes = 1;
        for (const RefusedRange &refused : kRefusedRanges) {
            for (const FieldEdit &edit : refused.edits)
                TypeInto(hLoc, edit.id, edit.text);
            Press(hLoc, IDOK);
            BoxNumber(++boxes);
        }
        // The widest range passes: only the printer is missing now.
        TypeInto(hLoc, IDC_IPSTART, "0.0.0.0");
        TypeInto(hLoc, IDC_IPFINISH, "255.255.255.255");
        Press(hLoc, IDOK);
        BoxNumber(++boxes);
        EXPECT_TRUE(IsWindowVisible(hLoc)) << "a failed check must leave the dialog open";
        EXPECT_EQ(ControlText(hLoc, IDC_LOCATIONNAME), "Lab") << "fields stay as they are";
        ASSERT_TRUE(ChooseFromDropList(GetDlgItem(hLoc, IDC_PRINTER), "Gamma"));
        Press(hLoc, IDOK);
        EXPECT_TRUE(WaitClosed(hLoc));

        hLoc = OpenLocationDialog(hDlg, IDC_ADD);
        ASSERT_NE(hLoc, (HWND)NULL);
        secondOpenedEmpty = ControlText(hLoc, IDC_LOCATIONNAME).empty() &&
                            ControlText(hLoc, IDC_IPSTART).empty() &&
                            ControlText(hLoc, IDC_IPFINISH).empty() && SelectedPrinter(hLoc) == -1;
        EXPECT_TRUE(EnterLocation(hLoc, {"Annex", "Alpha", "10.0.0.1", "10.0.0.1"}));
        rows = FromRows(ListRows(ListOf(hDlg)));
        Press(hDlg, IDOK);
        EXPECT_TRUE(WaitClosed(hDlg));
    });

    std::vector<SeenBox> boxes = watch->Boxes();
    ASSERT_EQ(boxes.size(), kRefusedRanges.size() + 2);
    ExpectLocationBox(boxes[0], "Please enter a Location Name");
    for (size_t i = 0; i < kRefusedRanges.size(); i++) {
        SCOPED_TRACE(kRefusedRanges[i].range);
        ExpectLocationBox(boxes[i + 1], "Invalid IP range");
    }
    ExpectLocationBox(boxes.back(), "Please choose a valid printer");
    EXPECT_TRUE(secondOpenedEmpty) << "Add must open an empty location dialog";

    std::vector<Loc> expected = {{"Annex", "Alpha", "10.0.0.1", "10.0.0.1"},
                                 {"Lab", "Gamma", "0.0.0.0", "255.255.255.255"}};
    EXPECT_EQ(rows, expected);
    EXPECT_EQ(InMemory(), expected);
    EXPECT_EQ(ReadStored().locations, expected);
    EXPECT_EQ(LocationEdit.szLocationName[0], '\0');
}

TEST_F(ConfigDialog, TheFieldLimitsStopTypingButAStoredLongerNameIsShownWhole)
{
    const std::string longName(40, 'n');
    AutoSettings.bSetByIP = 1;
    // Stored without a printer (by hand): the list selects none.
    SetLocations({{longName, "", "10.0.0.1", "10.0.0.254"}});
    std::string shownName, afterTyping, shortened, typedStart, typedName;
    int printerAtOpening = 0;
    std::vector<Loc> rows;
    RunConfig([&](HWND hDlg) {
        ClickListRow(ListOf(hDlg), 0);
        HWND hLoc = OpenLocationDialog(hDlg, IDC_MODIFY);
        ASSERT_NE(hLoc, (HWND)NULL);
        shownName = ControlText(hLoc, IDC_LOCATIONNAME);
        printerAtOpening = SelectedPrinter(hLoc);
        TypeAtEnd(hLoc, IDC_LOCATIONNAME, "xyz");
        afterTyping = ControlText(hLoc, IDC_LOCATIONNAME);
        PressKeysInDialog(hLoc, "End BackSpace");
        shortened = ControlText(hLoc, IDC_LOCATIONNAME);
        TypeInto(hLoc, IDC_IPSTART, "255.255.255.2550");
        typedStart = ControlText(hLoc, IDC_IPSTART);
        TypeInto(hLoc, IDC_IPSTART, "10.0.0.1");
        Press(hLoc, IDOK);
        BoxNumber(1);
        TypeInto(hLoc, IDC_LOCATIONNAME, std::string(50, 'm'));
        typedName = ControlText(hLoc, IDC_LOCATIONNAME);
        ChooseFromDropList(GetDlgItem(hLoc, IDC_PRINTER), "Alpha");
        Press(hLoc, IDOK);
        EXPECT_TRUE(WaitClosed(hLoc));
        rows = FromRows(ListRows(ListOf(hDlg)));
        Press(hDlg, IDCANCEL);
        EXPECT_TRUE(WaitClosed(hDlg));
    });
    EXPECT_EQ(shownName, longName);
    EXPECT_EQ(printerAtOpening, -1);
    EXPECT_EQ(afterTyping, longName) << "a name beyond its limit cannot grow";
    EXPECT_EQ(shortened, std::string(39, 'n')) << "but it can be shortened";
    EXPECT_EQ(typedStart, "255.255.255.255") << "addresses take 15 characters";
    EXPECT_EQ(typedName, std::string(35, 'm')) << "names take 35 characters";
    ExpectLocationBox(BoxNumber(1), "Please choose a valid printer");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].printer, "Alpha");
    EXPECT_EQ(rows[0].start, "10.0.0.1");
    EXPECT_EQ(rows[0].name, std::string(35, 'm'));
}

// The host's first address as the location dialog should see it.
std::string HostAddress()
{
    char host[256] = "";
    if (gethostname(host, sizeof(host)) != 0)
        return "";
    hostent *h = gethostbyname(host);
    if (h == NULL || h->h_addr_list == NULL || h->h_addr_list[0] == NULL)
        return "";
    in_addr a;
    memcpy(&a, h->h_addr_list[0], sizeof(a));
    return inet_ntoa(a);
}

std::string FirstThreeParts(const std::string &address)
{
    return address.empty() ? "0.0.0" : address.substr(0, address.rfind('.'));
}

struct AutoSeen {
    std::string currentIp, start, finish, name, printer;
    std::string noNetworkName, noNetworkStart, noNetworkFinish, noNetworkPrinter;
    std::vector<Loc> rows;
};

// Add, a name and a printer, then Auto (with a screenshot), then the
// no-network preset, then OK.
AutoSeen DriveAuto(HWND hDlg, const std::string &screenshot)
{
    AutoSeen seen;
    HWND hLoc = OpenLocationDialog(hDlg, IDC_ADD);
    if (hLoc == NULL) {
        ADD_FAILURE() << "no location dialog";
        return seen;
    }
    seen.currentIp = ControlText(hLoc, IDC_CURRENTIP);
    TypeInto(hLoc, IDC_LOCATIONNAME, "Home");
    ChooseFromDropList(GetDlgItem(hLoc, IDC_PRINTER), "Beta");
    Press(hLoc, IDC_AUTORANGE);
    WaitFor([&] { return !ControlText(hLoc, IDC_IPFINISH).empty(); }, 3000);
    seen.start = ControlText(hLoc, IDC_IPSTART);
    seen.finish = ControlText(hLoc, IDC_IPFINISH);
    seen.name = ControlText(hLoc, IDC_LOCATIONNAME);
    seen.printer = ControlText(hLoc, IDC_PRINTER);
    SaveScreenshot(screenshot);
    Press(hLoc, IDC_NONETWORK);
    WaitFor([&] { return ControlText(hLoc, IDC_LOCATIONNAME) == "No network"; }, 3000);
    seen.noNetworkName = ControlText(hLoc, IDC_LOCATIONNAME);
    seen.noNetworkStart = ControlText(hLoc, IDC_IPSTART);
    seen.noNetworkFinish = ControlText(hLoc, IDC_IPFINISH);
    seen.noNetworkPrinter = ControlText(hLoc, IDC_PRINTER);
    Press(hLoc, IDOK);
    EXPECT_TRUE(WaitClosed(hLoc));
    seen.rows = FromRows(ListRows(ListOf(hDlg)));
    Press(hDlg, IDCANCEL);
    EXPECT_TRUE(WaitClosed(hDlg));
    return seen;
}

void ExpectNoNetworkPreset(const AutoSeen &seen)
{
    EXPECT_EQ(seen.noNetworkName, "No network") << "the preset overwrites the typed name";
    EXPECT_EQ(seen.noNetworkStart, "127.0.0.1");
    EXPECT_EQ(seen.noNetworkFinish, "127.0.0.254");
    EXPECT_EQ(seen.noNetworkPrinter, "Beta");
    EXPECT_EQ(seen.rows, std::vector<Loc>({{"No network", "Beta", "127.0.0.1", "127.0.0.254"}}));
}

// Inside the private network namespace, where the host's addresses are the
// test's to choose.
class ConfigDialogOnPrivateNetwork : public ConfigDialog {
protected:
    void SetUp() override
    {
        const char *script = getenv("QUORVEL_SET_ADDRESSES");
        if (script == NULL || *script == '\0')
            GTEST_SKIP() << "needs the private network namespace (tests/fixture/netns.sh)";
        setAddresses = script;
        ConfigDialog::SetUp();
    }

    bool SetAddresses(const std::string &addresses)
    {
        return RunHostCommand("'" + setAddresses + "' " + addresses);
    }

    std::string setAddresses;
};

// Auto may ask the router: only ever inside the private network, never of
// the machine's own.
TEST_F(ConfigDialogOnPrivateNetwork, AutoSpansTheShownAddressesNetworkAndNoNetworkOverwritesTheName)
{
    ASSERT_TRUE(SetAddresses("10.1.2.3/24 --default qv0"));
    ASSERT_TRUE(WaitFor([] { return HostAddress() == "10.1.2.3"; }, 5000)) << HostAddress();
    AutoSettings.bSetByIP = 1;
    AutoSeen seen;
    RunConfig([&](HWND hDlg) { seen = DriveAuto(hDlg, "location-dialog-auto.png"); });
    std::string host = HostAddress();
    EXPECT_EQ(seen.currentIp, host);
    EXPECT_EQ(seen.start, FirstThreeParts(host) + ".1");
    EXPECT_EQ(seen.finish, FirstThreeParts(host) + ".254");
    EXPECT_EQ(seen.name, "Home") << "Auto leaves the name alone";
    EXPECT_EQ(seen.printer, "Beta") << "Auto leaves the printer alone";
    ExpectNoNetworkPreset(seen);
    EXPECT_FALSE(ReadStored().exists) << "Cancel saves nothing";
}

TEST_F(ConfigDialogOnPrivateNetwork, AutoWithHostAddress192_168_5_17SpansItsNetwork)
{
    ASSERT_TRUE(SetAddresses("192.168.5.17/24"));
    ASSERT_TRUE(WaitFor([] { return HostAddress() == "192.168.5.17"; }, 5000)) << HostAddress();
    AutoSettings.bSetByIP = 1;
    AutoSeen seen;
    RunConfig([&](HWND hDlg) { seen = DriveAuto(hDlg, "location-dialog-auto-192.168.5.17.png"); });
    EXPECT_EQ(seen.currentIp, "192.168.5.17");
    EXPECT_EQ(seen.start, "192.168.5.1");
    EXPECT_EQ(seen.finish, "192.168.5.254");
    EXPECT_EQ(seen.name, "Home");
    EXPECT_EQ(seen.printer, "Beta");
    EXPECT_EQ(ipCurrent, inet_addr("192.168.5.17"));
    ExpectNoNetworkPreset(seen);
}

TEST_F(ConfigDialogOnPrivateNetwork, AutoWithoutAResolvableAddressSpansZeroNetwork)
{
    ASSERT_TRUE(SetAddresses(""));
    if (!WaitFor([] { return HostAddress().empty(); }, 3000))
        GTEST_SKIP() << "the host name still resolves (to " << HostAddress()
                     << "); run under tests/support/unresolvable-host.sh";
    AutoSettings.bSetByIP = 1;
    ipCurrent = inet_addr("10.20.30.40");  // from an earlier opening
    AutoSeen seen;
    RunConfig([&](HWND hDlg) { seen = DriveAuto(hDlg, "location-dialog-auto-no-address.png"); });
    EXPECT_EQ(seen.currentIp, "") << "no address is shown";
    EXPECT_EQ(ipCurrent, 0u);
    EXPECT_EQ(seen.start, "0.0.0.1");
    EXPECT_EQ(seen.finish, "0.0.0.254");
    EXPECT_EQ(seen.name, "Home");
    EXPECT_EQ(seen.printer, "Beta");
    ExpectNoNetworkPreset(seen);
}

TEST_F(ConfigDialogOnPrivateNetwork, AutoRecordsTheRouterTickedAndUntickingStoresNone)
{
    ASSERT_TRUE(RunHostCommand("'" + setAddresses + "' 192.168.5.17/24 && "
                               "ip route replace default via 192.168.5.1 dev qv0 onlink && "
                               "ip neigh replace 192.168.5.1 lladdr 02:00:00:00:00:0a dev qv0 nud permanent"));
    ASSERT_TRUE(WaitFor([] { return HostAddress() == "192.168.5.17"; }, 5000)) << HostAddress();
    AutoSettings.bSetByIP = 1;
    struct Seen {
        bool ticked = false, enabled = false;
        std::string line, listed;
    } home, cafe;
    RunConfig([&](HWND hDlg) {
        // Two locations by Auto: "Home" keeps the check, "Cafe" is unticked.
        for (Seen *seen : {&home, &cafe}) {
            HWND hLoc = OpenLocationDialog(hDlg, IDC_ADD);
            ASSERT_NE(hLoc, (HWND)NULL);
            TypeInto(hLoc, IDC_LOCATIONNAME, seen == &home ? "Home" : "Cafe");
            ChooseFromDropList(GetDlgItem(hLoc, IDC_PRINTER), "Beta");
            Press(hLoc, IDC_AUTORANGE);
            WaitFor([&] { return !ControlText(hLoc, IDC_IPFINISH).empty(); }, 3000);
            seen->ticked = IsButtonChecked(hLoc, IDC_GATEWAYCHECK);
            seen->enabled = IsControlEnabled(hLoc, IDC_GATEWAYCHECK);
            seen->line = ControlText(hLoc, IDC_GATEWAYTEXT);
            if (seen == &cafe) {
                Press(hLoc, IDC_GATEWAYCHECK);
                WaitFor([&] { return !IsButtonChecked(hLoc, IDC_GATEWAYCHECK); }, 3000);
            }
            Press(hLoc, IDOK);
            EXPECT_TRUE(WaitClosed(hLoc));
        }
        // The list marks the bound row in its last column; rows sort by name.
        for (int row = 0; row < 2; row++) {
            char text[64] = "";
            LVITEMA item;
            ZeroMemory(&item, sizeof(item));
            item.iSubItem = 4;
            item.pszText = text;
            item.cchTextMax = sizeof(text);
            SendMessageA(ListOf(hDlg), LVM_GETITEMTEXTA, (WPARAM)row, (LPARAM)&item);
            (row == 0 ? cafe : home).listed = text;
        }
        Press(hDlg, IDOK);
        EXPECT_TRUE(WaitClosed(hDlg));
    });
    EXPECT_TRUE(home.ticked && home.enabled) << "Auto ticks the router's check";
    EXPECT_EQ(home.line, "Router 02-00-00-00-00-0A");
    EXPECT_EQ(home.listed, "02-00-00-00-00-0A");
    EXPECT_EQ(cafe.listed, "");
    auto storedRouter = [](int i) {
        HKEY hKey;
        std::string path = std::string(SETTINGS_KEY) + "\\" + std::to_string(i);
        if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS)
            return std::string("(no subkey)");
        std::string value = QueryText(hKey, "szGatewayMAC");
        RegCloseKey(hKey);
        return value;
    };
    EXPECT_EQ(storedRouter(0), "(absent)") << "an unticked check stores no router";
    EXPECT_EQ(storedRouter(1), "02-00-00-00-00-0A");
}

TEST_F(ConfigDialogOnPrivateNetwork, AStoredRangeWithLeadingZerosKeepsItsOldMeaningThroughOk)
{
    ASSERT_TRUE(SetAddresses("8.0.0.5/24"));
    ASSERT_TRUE(WaitFor([] { return HostAddress() == "8.0.0.5"; }, 5000)) << HostAddress();
    // As an older version or a hand edit stored it: read the old way, 010 is
    // octal, so the range is 8.0.0.1 to 8.0.0.254.
    const std::vector<Loc> stored = {{"Lab", "Gamma", "010.000.000.001", "010.000.000.254"}};
    AutoSettings.bSetByIP = 1;
    SetLocations(stored);
    SaveSettings();
    ZeroMemory(&AutoSettings, sizeof(AutoSettings));
    LoadSettings();
    ASSERT_EQ(InMemory(), stored);
    DetectLocation();
    EXPECT_STREQ(szCurrentLocation, "Lab");

    std::string shownStart;
    RunConfig([&](HWND hDlg) {
        ClickListRow(ListOf(hDlg), 0);
        HWND hLoc = OpenLocationDialog(hDlg, IDC_MODIFY);
        ASSERT_NE(hLoc, (HWND)NULL);
        shownStart = ControlText(hLoc, IDC_IPSTART);
        Press(hLoc, IDOK);
        BoxNumber(1);
        Press(hLoc, IDCANCEL);
        EXPECT_TRUE(WaitClosed(hLoc));
        Press(hDlg, IDOK);
        EXPECT_TRUE(WaitClosed(hDlg));
    });
    EXPECT_EQ(shownStart, "010.000.000.001");
    ExpectLocationBox(BoxNumber(1), "Invalid IP range");
    EXPECT_EQ(ReadStored().locations, stored) << "OK keeps the stored row as it was";
    EXPECT_TRUE(WaitFor([] { return ReadDeviceEntry().substr(0, 6) == "Gamma,"; }, 8000))
        << "at 8.0.0.5 the location applies: " << ReadDeviceEntry();
    EXPECT_STREQ(szCurrentLocation, "Lab");
}

// The kernel holds an entry for a neighbour, answered or not, once anything
// was sent its way: an entry for the gateway shows that something went to it.
std::string GatewayNeighbour()
{
    std::string entry;
    if (!RunHostCommandOutput("ip neigh show 192.168.5.1 dev qv0", &entry))
        return "(ip neigh failed)";
    return entry;
}

struct RouterAskCase {
    const char *what;
    int opener;  // IDC_ADD or IDC_MODIFY
    int action;  // the control pressed once the dialog is open, or 0
    bool sends;
};

const RouterAskCase kRouterAskCases[] = {
    {"Add", IDC_ADD, 0, false},
    {"Modify of a location tied to its router", IDC_MODIFY, 0, false},
    {"Add, then Auto", IDC_ADD, IDC_AUTORANGE, true},
    {"Add, then the network check ticked", IDC_ADD, IDC_GATEWAYCHECK, true},
};

TEST_F(ConfigDialogOnPrivateNetwork, OpeningTheLocationDialogSendsNothingAutoAndTheCheckAskTheRouter)
{
    // Behind a gateway that never answers, whose hardware address is not
    // known yet.
    ASSERT_TRUE(RunHostCommand("'" + setAddresses + "' 192.168.5.17/24 && "
                               "ip route replace default via 192.168.5.1 dev qv0 onlink && "
                               "ip neigh flush dev qv0"));
    ASSERT_TRUE(WaitFor([] { return HostAddress() == "192.168.5.17"; }, 5000)) << HostAddress();
    AutoSettings.bSetByIP = 1;
    SetLocations({{"Home", "Beta", "192.168.5.1", "192.168.5.254"}});
    lstrcpynA(AutoSettings.locations[0].szGatewayMAC, "02-00-00-00-00-0A", NAME_FIELD_SIZE);
    ASSERT_EQ(GatewayNeighbour(), "") << "nothing went to the gateway before";

    struct Seen {
        std::string neighbour, line;
        bool ticked = false, enabled = false;
    } seen[sizeof(kRouterAskCases) / sizeof(kRouterAskCases[0])];
    RunConfig([&](HWND hDlg) {
        for (size_t i = 0; i < sizeof(kRouterAskCases) / sizeof(kRouterAskCases[0]); i++) {
            const RouterAskCase &c = kRouterAskCases[i];
            RunHostCommand("ip neigh flush dev qv0");
            if (c.opener == IDC_MODIFY)
                ClickListRow(ListOf(hDlg), 0);
            HWND hLoc = OpenLocationDialog(hDlg, c.opener);
            ASSERT_NE(hLoc, (HWND)NULL) << c.what;
            if (c.action != 0)
                Press(hLoc, c.action);
            // Time for a look at the router to end, and for anything sent
            // to reach the kernel's table.
            Sleep(2000);
            seen[i].neighbour = GatewayNeighbour();
            seen[i].line = ControlText(hLoc, IDC_GATEWAYTEXT);
            seen[i].ticked = IsButtonChecked(hLoc, IDC_GATEWAYCHECK);
            seen[i].enabled = IsControlEnabled(hLoc, IDC_GATEWAYCHECK);
            Press(hLoc, IDCANCEL);
            EXPECT_TRUE(WaitClosed(hLoc)) << c.what;
        }
        // Cancel: OK would detect the location, which may ask the router.
        Press(hDlg, IDCANCEL);
        EXPECT_TRUE(WaitClosed(hDlg));
    });
    for (size_t i = 0; i < sizeof(kRouterAskCases) / sizeof(kRouterAskCases[0]); i++) {
        const RouterAskCase &c = kRouterAskCases[i];
        SCOPED_TRACE(std::string(c.what) + ": \"" + seen[i].line + "\"");
        EXPECT_EQ(!seen[i].neighbour.empty(), c.sends) << "gateway entry: " << seen[i].neighbour;
        EXPECT_TRUE(seen[i].enabled) << "the check can be ticked to look for the router";
        if (c.opener == IDC_MODIFY) {
            EXPECT_TRUE(seen[i].ticked);
            EXPECT_EQ(seen[i].line, "Router 02-00-00-00-00-0A") << "the stored router is shown";
        } else {
            EXPECT_FALSE(seen[i].ticked) << "no router to record: the gateway never answers";
        }
    }
}

// Ten locations whose names sort as they are numbered.
std::vector<Loc> TenSites()
{
    std::vector<Loc> sites;
    for (int i = 0; i < 10; i++) {
        std::string n = std::to_string(i);
        sites.push_back({"Site " + n, "Alpha", "10.0." + n + ".1", "10.0." + n + ".254"});
    }
    return sites;
}

TEST_F(ConfigDialog, TenRowsRefuseAddWhileModifyAndDeleteStillWork)
{
    AutoSettings.bSetByIP = 1;
    SetLocations(TenSites());
    // A count above the ten records, as only a hand-edited store could give.
    AutoSettings.iAutoPrinterCount = 12;
    std::vector<Loc> atOpening, afterModify, afterDelete, afterAdd;
    bool locationOpenedWhenFull = false, locationOpenedWhenFullAgain = false;
    Loc prefilled;
    HWND hConfig = NULL;
    RunConfig([&](HWND hDlg) {
        hConfig = hDlg;
        HWND hList = ListOf(hDlg);
        atOpening = FromRows(ListRows(hList));
        Press(hDlg, IDC_ADD);
        BoxNumber(1);
        locationOpenedWhenFull = FindOwnDialog(kLocationTitle) != NULL;

        ClickListRow(hList, 4);
        HWND hLoc = OpenLocationDialog(hDlg, IDC_MODIFY);
        ASSERT_NE(hLoc, (HWND)NULL);
        prefilled = {ControlText(hLoc, IDC_LOCATIONNAME), ControlText(hLoc, IDC_PRINTER),
                     ControlText(hLoc, IDC_IPSTART), ControlText(hLoc, IDC_IPFINISH)};
        EXPECT_TRUE(EnterLocation(hLoc, {"Site 4b", "Gamma", "10.4.0.1", "10.4.0.9"}));
        afterModify = FromRows(ListRows(hList));

        watch->AnswerWith(IDYES);
        ClickListRow(hList, 7);
        Press(hDlg, IDC_DELETE);
        BoxNumber(2);
        WaitFor([&] { return ListRows(hList).size() == 9; }, 3000);
        afterDelete = FromRows(ListRows(hList));

        hLoc = OpenLocationDialog(hDlg, IDC_ADD);
        ASSERT_NE(hLoc, (HWND)NULL) << "after a Delete, Add must open the location dialog";
        EXPECT_TRUE(EnterLocation(hLoc, {"Site X", "Beta", "10.9.9.1", "10.9.9.9"}));
        afterAdd = FromRows(ListRows(hList));
        Press(hDlg, IDC_ADD);
        BoxNumber(3);
        locationOpenedWhenFullAgain = FindOwnDialog(kLocationTitle) != NULL;
        Press(hDlg, IDCANCEL);
        EXPECT_TRUE(WaitClosed(hDlg));
    });

    std::vector<Loc> sites = TenSites();
    EXPECT_EQ(atOpening, sites) << "the first ten locations are shown";
    ExpectConfigBox(BoxNumber(1), hConfig, "Too many printers defined", "Cannot add printer",
                    OkOnly());
    EXPECT_FALSE(locationOpenedWhenFull);
    EXPECT_EQ(prefilled, sites[4]);

    std::vector<Loc> modified = sites;
    modified[4] = {"Site 4b", "Gamma", "10.4.0.1", "10.4.0.9"};
    EXPECT_EQ(afterModify, modified) << "Modify rewrites the same row; the count stays ten";

    SeenBox confirm = BoxNumber(2);
    ExpectConfigBox(confirm, hConfig, "Site 7", "Delete location?", {IDYES, IDNO});
    std::vector<Loc> deleted = modified;
    deleted.erase(deleted.begin() + 7);
    EXPECT_EQ(afterDelete, deleted);

    std::vector<Loc> added = deleted;
    added.push_back({"Site X", "Beta", "10.9.9.1", "10.9.9.9"});
    EXPECT_EQ(afterAdd, added) << "the new row takes its sorted place";
    ExpectConfigBox(BoxNumber(3), hConfig, "Too many printers defined",
                    "Cannot add printer", OkOnly());
    EXPECT_FALSE(locationOpenedWhenFullAgain);

    // Cancelled: the stored list is untouched, but the count stays lowered.
    EXPECT_EQ(AutoSettings.iAutoPrinterCount, 10);
    EXPECT_EQ(InMemory(), sites);
    EXPECT_FALSE(ReadStored().exists);
    EXPECT_TRUE(Received(MSG_SETTINGS_SAVED).empty());
}

TEST_F(ConfigDialog, ModifyCancelledAndDeleteAnsweredNoKeepTheRow)
{
    AutoSettings.bSetByIP = 1;
    const std::vector<Loc> stored = {{"Office", "Beta", "10.0.0.1", "10.0.0.254"},
                                     {"Home", "Alpha", "192.168.1.1", "192.168.1.254"},
                                     {"Lab", "Gamma", "172.16.0.1", "172.16.0.254"}};
    SetLocations(stored);
    const std::vector<Loc> sorted = {stored[1], stored[2], stored[0]};
    HWND hConfig = NULL;
    std::vector<std::vector<Loc>> afterEach;
    std::vector<Loc> prefills;
    RunConfig([&](HWND hDlg) {
        hConfig = hDlg;
        HWND hList = ListOf(hDlg);
        Press(hDlg, IDC_MODIFY);
        BoxNumber(1);
        Press(hDlg, IDC_DELETE);
        BoxNumber(2);
        ClickListRow(hList, 1);  // Lab
        // Cancel, Escape and the close command (Alt+F4: the test display has
        // no window manager to draw a close box) after changing every field.
        for (const char *close : {"cancel", "Escape", "alt+F4"}) {
            HWND hLoc = OpenLocationDialog(hDlg, IDC_MODIFY);
            ASSERT_NE(hLoc, (HWND)NULL);
            prefills.push_back({ControlText(hLoc, IDC_LOCATIONNAME), ControlText(hLoc, IDC_PRINTER),
                                ControlText(hLoc, IDC_IPSTART), ControlText(hLoc, IDC_IPFINISH)});
            // The printer first: a focused drop-down list keeps Alt+F4 to itself.
            ChooseFromDropList(GetDlgItem(hLoc, IDC_PRINTER), "Beta");
            TypeInto(hLoc, IDC_LOCATIONNAME, "Changed");
            TypeInto(hLoc, IDC_IPSTART, "1.2.3.4");
            TypeInto(hLoc, IDC_IPFINISH, "1.2.3.5");
            if (std::string(close) == "cancel")
                Press(hLoc, IDCANCEL);
            else
                PressKeysInDialog(hLoc, close);
            EXPECT_TRUE(WaitClosed(hLoc)) << close;
            afterEach.push_back(FromRows(ListRows(hList)));
        }
        watch->AnswerWith(IDNO);
        Press(hDlg, IDC_DELETE);
        BoxNumber(3);
        afterEach.push_back(FromRows(ListRows(hList)));
        Press(hDlg, IDCANCEL);
        EXPECT_TRUE(WaitClosed(hDlg));
    });
    ExpectConfigBox(BoxNumber(1), hConfig, "Please select a location to modify", "Error", OkOnly());
    ExpectConfigBox(BoxNumber(2), hConfig, "Please select a location to delete", "Error", OkOnly());
    ExpectConfigBox(BoxNumber(3), hConfig, "Lab", "Delete location?", {IDYES, IDNO});
    ASSERT_EQ(prefills.size(), 3u);
    for (const Loc &p : prefills)
        EXPECT_EQ(p, sorted[1]) << "the location dialog opens with the row as it was";
    ASSERT_EQ(afterEach.size(), 4u);
    for (const auto &rows : afterEach)
        EXPECT_EQ(rows, sorted);
    EXPECT_EQ(watch->Count(), 3u);
    EXPECT_EQ(LocationEdit.szLocationName[0], '\0');
}

TEST_F(ConfigDialog, OkStoresTheRowsInNameOrderSavesAndAppliesTheLocation)
{
    AutoSettings.bSetByIP = 1;
    AutoSettings.bIfNoMatch = 1;
    AutoSettings.iIconAction = 1;
    lstrcpynA(AutoSettings.szNoMatchPrinter, "Alpha", NAME_FIELD_SIZE);
    // "Anywhere" holds every host address, loopback included. Zulu's stored
    // start is a form the location dialog refuses: OK keeps it as it is.
    SetLocations({{"Zulu", "Alpha", "010.9.9.1", "10.9.9.9"},
                  {"Anywhere", "Gamma", "0.0.0.0", "255.255.255.254"},
                  {"Mike", "Beta", "172.16.0.1", "172.16.0.254"}});
    const std::vector<Loc> sorted = {{"Anywhere", "Gamma", "0.0.0.0", "255.255.255.254"},
                                     {"Mike", "Beta", "172.16.0.1", "172.16.0.254"},
                                     {"Zulu", "Alpha", "010.9.9.1", "10.9.9.9"}};
    ASSERT_EQ(ReadDeviceEntry().substr(0, 5), "Beta,");
    ClearMessages();
    std::vector<Loc> shown;
    RunConfig([&](HWND hDlg) {
        shown = FromRows(ListRows(ListOf(hDlg)));
        Sleep(300);
        SaveScreenshot("config-dialog.png");
        Press(hDlg, IDOK);
        EXPECT_TRUE(WaitClosed(hDlg));
    });
    EXPECT_EQ(shown, sorted);
    EXPECT_EQ(savedWhileOpen, 0u) << "the main window is told after the dialog has gone";
    EXPECT_TRUE(WaitFor([] { return ReadDeviceEntry().substr(0, 6) == "Gamma,"; }, 8000))
        << "the location's printer must become the default at once: " << ReadDeviceEntry();
    std::vector<RecordedMessage> saved = Received(MSG_SETTINGS_SAVED);
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved[0].wParam, 0u);
    EXPECT_EQ(saved[0].lParam, 0);
    EXPECT_STREQ(szCurrentLocation, "Anywhere");

    EXPECT_EQ(InMemory(), sorted);
    Stored s = ReadStored();
    EXPECT_EQ(s.locations, sorted);
    EXPECT_EQ(s.subkeys, std::vector<std::string>({"0", "1", "2"}));
    EXPECT_EQ(s.iAutoPrinterCount, 3u);
    EXPECT_EQ(s.bSetByIP, 1u);
    EXPECT_EQ(s.bIfNoMatch, 1u);
    EXPECT_EQ(s.iIconAction, 1u);
    EXPECT_EQ(s.szNoMatchPrinter, "Alpha");
}

TEST_F(ConfigDialog, CancelEscapeAndTheCloseCommandAfterEditsChangeNothing)
{
    for (const char *close : {"cancel", "Escape", "alt+F4"}) {
        SCOPED_TRACE(close);
        ZeroMemory(&AutoSettings, sizeof(AutoSettings));
        AutoSettings.bSetByIP = 1;
        SetLocations({{"Anywhere", "Gamma", "0.0.0.0", "255.255.255.254"},
                      {"Mike", "Beta", "172.16.0.1", "172.16.0.254"}});
        SaveSettings();
        const Stored storedBefore = ReadStored();
        ASSERT_TRUE(storedBefore.exists);
        AutoSettingsRecord before;
        memcpy(&before, &AutoSettings, sizeof(before));
        WriteDeviceEntry("Beta,wineps.drv,CUPS:Beta");
        ClearMessages();
        watch->Clear();
        watch->AnswerWith(IDYES);

        RunConfig([&](HWND hDlg) {
            HWND hLoc = OpenLocationDialog(hDlg, IDC_ADD);
            ASSERT_NE(hLoc, (HWND)NULL);
            EXPECT_TRUE(EnterLocation(hLoc, {"New", "Alpha", "10.0.0.1", "10.0.0.9"}));
            ClickListRow(ListOf(hDlg), 0);
            Press(hDlg, IDC_DELETE);
            BoxNumber(1);
            ClickListRow(ListOf(hDlg), 0);
            hLoc = OpenLocationDialog(hDlg, IDC_MODIFY);
            ASSERT_NE(hLoc, (HWND)NULL);
            EXPECT_TRUE(EnterLocation(hLoc, {"Renamed", "Alpha", "10.0.0.1", "10.0.0.9"}));
            Press(hDlg, IDC_IFNOMATCH);
            TypeInto(hDlg, IDC_NOMATCHPRINTER, "Gamma");
            Press(hDlg, IDC_SETBYIP);
            Press(hDlg, IDC_ICONSPOOLER);
            EXPECT_EQ(ListRows(ListOf(hDlg)).size(), 2u) << "the edits reached the list";
            if (std::string(close) == "cancel")
                Press(hDlg, IDCANCEL);
            else
                PressKeysInDialog(hDlg, close);
            EXPECT_TRUE(WaitClosed(hDlg));
        });
        Pump(1000);
        EXPECT_EQ(memcmp(&AutoSettings, &before, sizeof(before)), 0) << "AutoSettings changed";
        EXPECT_EQ(ReadStored(), storedBefore);
        EXPECT_EQ(ReadDeviceEntry().substr(0, 5), "Beta,");
        EXPECT_TRUE(Received(MSG_SETTINGS_SAVED).empty());
        EXPECT_EQ(LocationEdit.szLocationName[0], '\0');
    }
}

// A stored printer is selected only by its very name; one that is not
// installed (yet), or differs only in case, keeps its name through OK in both
// dialogs: no prefix or case match turns it into another printer.
TEST_F(ConfigDialog, BothPrinterBoxesSelectOnlyTheExactNameAndKeepAStoredOneNotInstalled)
{
    // Sorted in the boxes as: GammaColor, Inkjet, Laser West.
    const char *table[] = {"Laser West", "GammaColor", "Inkjet"};
    struct Case {
        const char *stored;
        const char *typed;  // nullptr: left as shown
        const char *kept;
    };
    const Case cases[] = {
        {"Inkjet", nullptr, "Inkjet"},                // exact name
        {"Gamma", nullptr, "Gamma"},                  // not installed; another begins so
        {"laser west", nullptr, "laser west"},        // differs only in case
        {"", nullptr, ""},
        {"Inkjet", "My Own Printer", "My Own Printer"},  // typed: stored as typed
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string("stored \"") + c.stored + "\"");
        // A switch after the last OK may have listed the spooler's printers again.
        WaitEnumerationIdle();
        Pump(300);
        WaitEnumerationIdle();
        for (int i = 0; i < 3; i++)
            lstrcpynA(PrinterTable[i], table[i], NAME_FIELD_SIZE);
        iPrinterCount = 3;
        AutoSettings.bSetByIP = 1;
        AutoSettings.bIfNoMatch = 1;
        lstrcpynA(AutoSettings.szNoMatchPrinter, c.stored, NAME_FIELD_SIZE);
        const bool located = c.stored[0] != '\0' && c.typed == nullptr;
        SetLocations({});
        if (located)
            SetLocations({{"Site", c.stored, "10.0.0.1", "10.0.0.9"}});
        std::string shown, locationShown;
        int selected = -2;
        RunConfig([&](HWND hDlg) {
            shown = ControlText(hDlg, IDC_NOMATCHPRINTER);
            if (c.typed != nullptr)
                TypeInto(hDlg, IDC_NOMATCHPRINTER, c.typed);
            if (located) {
                ClickListRow(ListOf(hDlg), 0);
                HWND hLoc = OpenLocationDialog(hDlg, IDC_MODIFY);
                ASSERT_NE(hLoc, (HWND)NULL);
                locationShown = ControlText(hLoc, IDC_PRINTER);
                selected = SelectedPrinter(hLoc);
                Press(hLoc, IDOK);
                EXPECT_TRUE(WaitClosed(hLoc));
            }
            Press(hDlg, IDOK);
            EXPECT_TRUE(WaitClosed(hDlg));
        });
        EXPECT_EQ(shown, c.stored);
        EXPECT_STREQ(AutoSettings.szNoMatchPrinter, c.kept);
        EXPECT_EQ(ReadStored().szNoMatchPrinter, c.kept);
        if (located) {
            EXPECT_EQ(locationShown, c.stored);
            EXPECT_GE(selected, 0);
            EXPECT_EQ(ReadStored().locations, std::vector<Loc>({{"Site", c.kept, "10.0.0.1", "10.0.0.9"}}));
        }
    }
}

struct Enables {
    bool list, add, modify, del, ifNoMatch, noMatchBox;
    bool operator==(const Enables &o) const
    {
        return list == o.list && add == o.add && modify == o.modify && del == o.del &&
               ifNoMatch == o.ifNoMatch && noMatchBox == o.noMatchBox;
    }
};

std::ostream &operator<<(std::ostream &os, const Enables &e)
{
    return os << "list " << e.list << ", add " << e.add << ", modify " << e.modify << ", delete "
              << e.del << ", if-no-match " << e.ifNoMatch << ", no-match box " << e.noMatchBox;
}

Enables EnablesOf(HWND hDlg)
{
    return {IsControlEnabled(hDlg, IDC_LOCATIONLIST), IsControlEnabled(hDlg, IDC_ADD),
            IsControlEnabled(hDlg, IDC_MODIFY), IsControlEnabled(hDlg, IDC_DELETE),
            IsControlEnabled(hDlg, IDC_IFNOMATCH), IsControlEnabled(hDlg, IDC_NOMATCHPRINTER)};
}

const Enables kAllOn = {true, true, true, true, true, true};
const Enables kAllOff = {false, false, false, false, false, false};
const Enables kAllButTheBox = {true, true, true, true, true, false};

TEST_F(ConfigDialog, AutomaticSwitchingEnablesTheLocationControlsAndTheNoMatchBoxFollowsItsCheck)
{
    AutoSettings.bSetByIP = 1;
    SetLocations({{"Home", "Alpha", "192.168.1.1", "192.168.1.254"}});
    std::vector<Enables> seen;
    size_t rowsWhileOff = 0;
    bool ifNoMatchStillChecked = false;
    RunConfig([&](HWND hDlg) {
        auto click = [&](int id) {
            Press(hDlg, id);
            Sleep(150);
            seen.push_back(EnablesOf(hDlg));
        };
        seen.push_back(EnablesOf(hDlg));
        click(IDC_SETBYIP);  // off
        rowsWhileOff = ListRows(ListOf(hDlg)).size();
        click(IDC_SETBYIP);  // on, no-match unchecked
        click(IDC_IFNOMATCH);
        click(IDC_SETBYIP);  // off with no-match checked
        ifNoMatchStillChecked = IsButtonChecked(hDlg, IDC_IFNOMATCH);
        click(IDC_SETBYIP);  // on again
        click(IDC_IFNOMATCH);
        click(IDC_SETBYIP);  // off: stored so
        Press(hDlg, IDOK);
        EXPECT_TRUE(WaitClosed(hDlg));
    });
    const std::vector<Enables> expected = {kAllButTheBox, kAllOff, kAllButTheBox, kAllOn,
                                           kAllOff,       kAllOn,  kAllButTheBox, kAllOff};
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(rowsWhileOff, 1u) << "a disabled list keeps its rows";
    EXPECT_TRUE(ifNoMatchStillChecked);
    EXPECT_EQ(AutoSettings.bSetByIP, 0);
    EXPECT_EQ(AutoSettings.bIfNoMatch, 0);
    EXPECT_EQ(ReadStored().locations.size(), 1u) << "the disabled list is stored all the same";

    // Opening with switching off and the no-match check set; any non-zero
    // stored flag counts as set.
    struct Opening { int bSetByIP, bIfNoMatch; Enables expected; bool setByIpChecked, ifNoMatchChecked; };
    for (Opening o : {Opening{0, 1, kAllOff, false, true}, Opening{7, 5, kAllOn, true, true},
                      Opening{1, 0, kAllButTheBox, true, false}}) {
        AutoSettings.bSetByIP = o.bSetByIP;
        AutoSettings.bIfNoMatch = o.bIfNoMatch;
        Enables at;
        bool setByIp = false, ifNoMatch = false;
        RunConfig([&](HWND hDlg) {
            at = EnablesOf(hDlg);
            setByIp = IsButtonChecked(hDlg, IDC_SETBYIP);
            ifNoMatch = IsButtonChecked(hDlg, IDC_IFNOMATCH);
            Press(hDlg, IDCANCEL);
            EXPECT_TRUE(WaitClosed(hDlg));
        });
        EXPECT_EQ(at, o.expected) << o.bSetByIP << "/" << o.bIfNoMatch;
        EXPECT_EQ(setByIp, o.setByIpChecked) << o.bSetByIP;
        EXPECT_EQ(ifNoMatch, o.ifNoMatchChecked) << o.bIfNoMatch;
    }
}

TEST_F(ConfigDialog, WithoutTheShellsPrinterCommandTheIconChoiceIsDisabledButStillStored)
{
    struct Case { int bShell, iIconAction; int click; DWORD stored; };
    for (Case c : {Case{0, 1, 0, 1}, Case{0, 0, 0, 0}, Case{1, 0, IDC_ICONSPOOLER, 1},
                   Case{1, 1, IDC_ICONPROPERTIES, 0}}) {
        SCOPED_TRACE("shell command " + std::to_string(c.bShell) + ", action " +
                     std::to_string(c.iIconAction));
        bShellPrinterCommand = c.bShell;
        AutoSettings.iIconAction = c.iIconAction;
        std::string caption;
        bool groupOn = false, propertiesOn = false, spoolerOn = false;
        bool propertiesChecked = false, spoolerChecked = false;
        RunConfig([&](HWND hDlg) {
            caption = ControlText(hDlg, IDC_ICONACTIONGROUP);
            groupOn = IsControlEnabled(hDlg, IDC_ICONACTIONGROUP);
            propertiesOn = IsControlEnabled(hDlg, IDC_ICONPROPERTIES);
            spoolerOn = IsControlEnabled(hDlg, IDC_ICONSPOOLER);
            propertiesChecked = IsButtonChecked(hDlg, IDC_ICONPROPERTIES);
            spoolerChecked = IsButtonChecked(hDlg, IDC_ICONSPOOLER);
            if (c.click != 0)
                Press(hDlg, c.click);
            Press(hDlg, IDOK);
            EXPECT_TRUE(WaitClosed(hDlg));
        });
        EXPECT_EQ(caption, c.bShell ? "Taskbar icon default action"
                                    : "Taskbar icon default action (DISABLED - see readme.txt)");
        EXPECT_EQ(groupOn, c.bShell != 0);
        EXPECT_EQ(propertiesOn, c.bShell != 0);
        EXPECT_EQ(spoolerOn, c.bShell != 0);
        EXPECT_EQ(propertiesChecked, c.iIconAction == 0);
        EXPECT_EQ(spoolerChecked, c.iIconAction != 0);
        EXPECT_EQ(ReadStored().iIconAction, c.stored);
        EXPECT_EQ((DWORD)AutoSettings.iIconAction, c.stored);
    }
}

bool MenuIsOpen()
{
    HWND h = FindWindowA("#32768", NULL);
    return h != NULL && IsWindowVisible(h);
}

// Right-clicks the tray icon and picks "Config..." with the keyboard.
bool ChooseConfigFromTrayMenu(HWND hIcon)
{
    if (!ClickWindow(hIcon, 3) || !WaitFor(MenuIsOpen, 5000))
        return false;
    Sleep(300);
    // About, then Config...
    return PressKeys("Down Down Return") && WaitFor([] { return !MenuIsOpen(); }, 5000);
}

TEST_F(ConfigDialog, ASecondRequestBringsTheOpenDialogForwardInsteadOfOpeningAnother)
{
    ASSERT_TRUE(WaitFor([] { return !TrayIconWindows().empty(); }, 10000));
    HWND hIcon = TrayIconWindows().back();
    AutoSettings.bSetByIP = 1;
    int configsAfterFirst = 0, configsAfterSecond = 0, configsOverLocation = 0, locations = 0;
    HWND hConfig = NULL, hLocation = NULL, foregroundAfterSecond = NULL, foregroundOverLocation = NULL;
    RunDriver([&] {
        ASSERT_TRUE(ChooseConfigFromTrayMenu(hIcon));
        ASSERT_TRUE(WaitFor([&] { return (hConfig = FindOwnDialog(kConfigTitle)) != NULL; }, 10000));
        Sleep(300);
        configsAfterFirst = CountOwnDialogs(kConfigTitle);

        // The tray menu took the foreground for itself; the second request
        // must give it back to the open dialog.
        ChooseConfigFromTrayMenu(hIcon);
        WaitFor([&] { return GetForegroundWindow() == hConfig; }, 3000);
        Sleep(300);
        configsAfterSecond = CountOwnDialogs(kConfigTitle);
        foregroundAfterSecond = GetForegroundWindow();

        hLocation = OpenLocationDialog(hConfig, IDC_ADD);
        ASSERT_NE(hLocation, (HWND)NULL);
        ChooseConfigFromTrayMenu(hIcon);
        WaitFor([&] { return GetForegroundWindow() == hLocation; }, 3000);
        Sleep(300);
        configsOverLocation = CountOwnDialogs(kConfigTitle);
        locations = CountOwnDialogs(kLocationTitle);
        foregroundOverLocation = GetForegroundWindow();
        Press(hLocation, IDCANCEL);
        EXPECT_TRUE(WaitClosed(hLocation));
        Press(hConfig, IDCANCEL);
        EXPECT_TRUE(WaitClosed(hConfig));
    }, false);
    EXPECT_EQ(configsAfterFirst, 1);
    EXPECT_EQ(configsAfterSecond, 1);
    EXPECT_EQ(foregroundAfterSecond, hConfig);
    EXPECT_EQ(configsOverLocation, 1);
    EXPECT_EQ(locations, 1);
    EXPECT_EQ(foregroundOverLocation, hLocation) << "the dialog on top comes forward";

    // Once closed, the next request opens a dialog again.
    bool reopened = false;
    RunConfig([&](HWND hDlg) {
        reopened = true;
        Press(hDlg, IDCANCEL);
        EXPECT_TRUE(WaitClosed(hDlg));
    });
    EXPECT_TRUE(reopened);
}

// 70/100/85/85 pixels at 96 dpi, and as much more as the display is scaled:
// tests/fixture/dpi.sh runs this case once more at 144 dpi (QUORVEL_DPI).
TEST_F(ConfigDialog, TheLocationColumnsGrowWithTheDisplayScale)
{
    const char *pszDpi = getenv("QUORVEL_DPI");
    const int iDpi = pszDpi != nullptr ? atoi(pszDpi) : 96;
    HDC hdc = GetDC(NULL);
    ASSERT_EQ(GetDeviceCaps(hdc, LOGPIXELSY), iDpi) << "the session's display scale";
    ReleaseDC(NULL, hdc);

    std::vector<int> widths;
    RunConfig([&](HWND hDlg) {
        for (int i = 0; i < 4; i++)
            widths.push_back((int)SendMessageA(ListOf(hDlg), LVM_GETCOLUMNWIDTH, i, 0));
        Press(hDlg, IDCANCEL);
        EXPECT_TRUE(WaitClosed(hDlg));
    });
    const int rgAt96[] = {70, 100, 85, 85};
    ASSERT_EQ(widths.size(), 4u);
    for (int i = 0; i < 4; i++) {
        if (iDpi == 96)
            EXPECT_EQ(widths[i], rgAt96[i]) << "column " << i;
        else
            EXPECT_NEAR(widths[i], rgAt96[i] * iDpi / 96.0, 1.0) << "column " << i;
    }
}

// --- the list operations on a list of their own ------------------------------------

class LocationListOperations : public ::testing::Test {
protected:
    void SetUp() override
    {
        InitCommonControls();
        hList = CreateWindowExA(0, "SysListView32", "", WS_POPUP | LVS_REPORT | LVS_SINGLESEL |
                                LVS_SORTASCENDING, 0, 0, 400, 200, NULL, NULL,
                                GetModuleHandleA(NULL), NULL);
        ASSERT_NE(hList, (HWND)NULL);
        for (int i = 0; i < 4; i++) {
            LVCOLUMNA col;
            ZeroMemory(&col, sizeof(col));
            col.mask = LVCF_WIDTH;
            col.cx = 80;
            SendMessageA(hList, LVM_INSERTCOLUMNA, i, (LPARAM)&col);
        }
        memset(&saved, 0, sizeof(saved));
    }
    void TearDown() override { DestroyWindow(hList); }

    static LocationRecord Record(const std::string &name)
    {
        LocationRecord r;
        ZeroMemory(&r, sizeof(r));
        lstrcpynA(r.szLocationName, name.c_str(), NAME_FIELD_SIZE);
        lstrcpynA(r.szPrinterName, ("P-" + name).c_str(), NAME_FIELD_SIZE);
        lstrcpynA(r.szIPStart, "10.0.0.1", NAME_FIELD_SIZE);
        lstrcpynA(r.szIPFinish, "10.0.0.2", NAME_FIELD_SIZE);
        return r;
    }
    int Rows() { return (int)SendMessageA(hList, LVM_GETITEMCOUNT, 0, 0); }

    HWND hList = NULL;
    AutoSettingsRecord saved;
};

TEST_F(LocationListOperations, MoreRowsThanTheTenRecordsAreNeverCopied)
{
    for (int i = 0; i < 10; i++) {
        LocationRecord r = Record("Row " + std::to_string(9 - i));
        ASSERT_TRUE(AddLocationRow(hList, &r));
    }
    // The list's own guard lets an eleventh row in, never a twelfth.
    LocationRecord x = Record("Row X"), y = Record("Row Y");
    EXPECT_TRUE(AddLocationRow(hList, &x));
    EXPECT_FALSE(AddLocationRow(hList, &y));
    ASSERT_EQ(Rows(), 11);

    memset(&saved, 0x5A, sizeof(saved));
    saved.iAutoPrinterCount = 3;
    AutoSettingsRecord before = saved;
    EXPECT_FALSE(ReadLocationList(hList, &saved));
    EXPECT_EQ(memcmp(&saved, &before, sizeof(saved)), 0) << "nothing may be copied";

    SendMessageA(hList, LVM_DELETEITEM, 10, 0);  // Row X, last in order
    EXPECT_TRUE(ReadLocationList(hList, &saved));
    ASSERT_EQ(saved.iAutoPrinterCount, 10);
    for (int i = 0; i < 10; i++) {
        EXPECT_STREQ(saved.locations[i].szLocationName, ("Row " + std::to_string(i)).c_str());
        EXPECT_STREQ(saved.locations[i].szPrinterName, ("P-Row " + std::to_string(i)).c_str());
    }
    // The bytes after the ten records are not touched.
    EXPECT_EQ(saved.szNoMatchPrinter[0], 0x5A);
}

TEST_F(LocationListOperations, LongCellsAreCutInsideTheirFields)
{
    LocationRecord longRow = Record("Long");
    ASSERT_TRUE(AddLocationRow(hList, &longRow));
    const std::string name(300, 'a'), printer(300, 'b'), start(300, 'c'), finish(300, 'd');
    const std::string *texts[4] = {&name, &printer, &start, &finish};
    for (int sub = 0; sub < 4; sub++) {
        LVITEMA item;
        ZeroMemory(&item, sizeof(item));
        item.iSubItem = sub;
        item.pszText = const_cast<char *>(texts[sub]->c_str());
        SendMessageA(hList, LVM_SETITEMTEXTA, 0, (LPARAM)&item);
    }
    memset(&saved, 0x5A, sizeof(saved));
    ASSERT_TRUE(ReadLocationList(hList, &saved));
    ASSERT_EQ(saved.iAutoPrinterCount, 1);
    const LocationRecord &r = saved.locations[0];
    EXPECT_EQ(std::string(r.szLocationName), std::string(NAME_FIELD_SIZE - 1, 'a'));
    EXPECT_EQ(std::string(r.szPrinterName), std::string(NAME_FIELD_SIZE - 1, 'b'));
    EXPECT_EQ(std::string(r.szIPStart), std::string(NAME_FIELD_SIZE - 1, 'c'));
    EXPECT_EQ(std::string(r.szIPFinish), std::string(NAME_FIELD_SIZE - 1, 'd'));
    EXPECT_EQ((unsigned char)saved.locations[1].szLocationName[0], 0x5A);
}

TEST_F(LocationListOperations, RowsWithNamesTheListCannotTellApartKeepTheirStoredOrder)
{
    // Filled and read back twice, as two confirmations of the dialog would:
    // the list itself may place equal names either way round.
    const char *const names[] = {"Lab", "Home", "", "Lab", "lab", ""};
    const int count = 6;
    for (int i = 0; i < count; i++) {
        saved.locations[i] = Record(names[i]);
        std::string printer = "P" + std::to_string(i);
        lstrcpynA(saved.locations[i].szPrinterName, printer.c_str(), NAME_FIELD_SIZE);
    }
    saved.iAutoPrinterCount = count;
    for (int round = 0; round < 2; round++) {
        FillLocationList(hList, &saved);
        ASSERT_TRUE(ReadLocationList(hList, &saved));
        std::vector<std::string> order;
        for (int i = 0; i < saved.iAutoPrinterCount; i++)
            order.push_back(std::string(saved.locations[i].szLocationName) + "/" +
                            saved.locations[i].szPrinterName);
        EXPECT_EQ(order, (std::vector<std::string>{"/P2", "/P5", "Home/P1", "Lab/P0", "Lab/P3",
                                                   "lab/P4"})) << "round " << round;
    }
}

TEST_F(LocationListOperations, FillingShowsAtMostTenAndLowersALargerCount)
{
    for (int i = 0; i < MAX_LOCATIONS; i++)
        saved.locations[i] = Record("Site " + std::to_string(i));
    saved.iAutoPrinterCount = 25;
    FillLocationList(hList, &saved);
    EXPECT_EQ(Rows(), 10);
    EXPECT_EQ(saved.iAutoPrinterCount, 10);

    // Filling again replaces the rows rather than adding to them.
    saved.iAutoPrinterCount = 2;
    FillLocationList(hList, &saved);
    EXPECT_EQ(Rows(), 2);

    saved.iAutoPrinterCount = -1;
    FillLocationList(hList, &saved);
    EXPECT_EQ(Rows(), 0);
    EXPECT_EQ(saved.iAutoPrinterCount, -1);
}

}  // namespace
