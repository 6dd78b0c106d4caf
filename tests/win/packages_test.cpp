// The packages users download, installed, used, updated and removed for
// real: the per-user setup, the per-machine MSI, both together, and the
// administrator's example locations. scripts/package.sh builds them first;
// the older version (kOlderVersion, the release users update from) and the
// rebuild they are updated from or over are built by the same script from
// the same program during the run. A 64-bit
// build of this program tests the setup's 64-bit twin, built from the same
// script, since such a host cannot run the shipped 32-bit setup; the MSI is
// tested as shipped everywhere.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "testsupport.h"

namespace {

const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quorvel";
const char kWindowsKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
const char kSetupKey[] = "Software\\Brennick\\Quorvel\\Setup";
const char kSettingsKey[] = "Software\\Brennick\\Quorvel\\Settings";
const char kLegacyMode[] = "LegacyDefaultPrinterMode";
// The release before this one, which users update from.
const char kOlderVersion[] = "2.0";

std::string SetupPath() { return ToWindowsPath(QUORVEL_SETUP_BUILT); }
std::string MsiPath() { return ToWindowsPath(QUORVEL_MSI_BUILT); }

std::string FileName(const std::string &path) { return path.substr(path.rfind('\\') + 1); }
std::string SetupFileName() { return FileName(SetupPath()); }

bool FileExists(const std::string &path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string FileContents(const std::string &path)
{
    std::ifstream in(path.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool SameContents(const std::string &a, const std::string &b)
{
    return FileContents(a) == FileContents(b);
}

// The licence as installed: the MIT licence, each line ended CR LF as
// Notepad shows it.
bool IsLicenceText(const std::string &path)
{
    std::string text = FileContents(path);
    size_t lf = 0, crlf = 0;
    for (size_t i = 0; i < text.size(); i++) {
        lf += text[i] == '\n';
        crlf += text[i] == '\n' && i > 0 && text[i - 1] == '\r';
    }
    return text.rfind("MIT License\r\n", 0) == 0 && lf > 0 && crlf == lf;
}

// Marks an installed copy so that its replacement shows (an extra byte after
// the image changes nothing for Windows).
void MarkInstalledCopy(const std::string &exe)
{
    std::ofstream out(exe.c_str(), std::ios::binary | std::ios::app);
    out << '!';
}

// Ends every Quorvel a failed test may have left running.
void EndLeftoverQuorvels()
{
    HWND hwnd;
    for (int i = 0; i < 10 && (hwnd = FindWindowA("Quorvel", NULL)) != NULL; i++) {
        PostMessageA(hwnd, WM_COMMAND, 1011, 0);
        WaitFor([&] { return !IsWindow(hwnd); }, 5000);
    }
}

std::string ShellFolder(int csidl)
{
    char path[MAX_PATH] = "";
    SHGetFolderPathA(NULL, csidl, NULL, 0, path);
    return path;
}

bool KeyExists(HKEY root, const char *key, REGSAM view = 0)
{
    HKEY h;
    if (RegOpenKeyExA(root, key, 0, KEY_READ | view, &h) != ERROR_SUCCESS)
        return false;
    RegCloseKey(h);
    return true;
}

// A string value, or "<absent>".
std::string ReadText(HKEY root, const char *key, const char *name, REGSAM view = 0)
{
    HKEY h;
    std::string out = "<absent>";
    if (RegOpenKeyExA(root, key, 0, KEY_READ | view, &h) != ERROR_SUCCESS)
        return out;
    char buf[1024];
    DWORD size = sizeof(buf) - 1, type = 0;
    if (RegQueryValueExA(h, name, NULL, &type, (BYTE *)buf, &size) == ERROR_SUCCESS &&
        (type == REG_SZ || type == REG_EXPAND_SZ)) {
        buf[size] = '\0';
        out = buf;
    }
    RegCloseKey(h);
    return out;
}

// A DWORD value, or -1 when absent.
long long ReadDword(HKEY root, const char *key, const char *name)
{
    HKEY h;
    long long out = -1;
    if (RegOpenKeyExA(root, key, 0, KEY_READ, &h) != ERROR_SUCCESS)
        return out;
    DWORD value = 0, size = sizeof(value), type = 0;
    if (RegQueryValueExA(h, name, NULL, &type, (BYTE *)&value, &size) == ERROR_SUCCESS &&
        type == REG_DWORD)
        out = value;
    RegCloseKey(h);
    return out;
}

void WriteText(HKEY root, const char *key, const char *name, const std::string &text)
{
    HKEY h;
    if (RegCreateKeyExA(root, key, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &h, NULL) != ERROR_SUCCESS)
        return;
    RegSetValueExA(h, name, 0, REG_SZ, (const BYTE *)text.c_str(), (DWORD)text.size() + 1);
    RegCloseKey(h);
}

void DeleteValue(HKEY root, const char *key, const char *name)
{
    HKEY h;
    if (RegOpenKeyExA(root, key, 0, KEY_SET_VALUE, &h) != ERROR_SUCCESS)
        return;
    RegDeleteValueA(h, name);
    RegCloseKey(h);
}

// Where per-user and per-machine entries live; on 64-bit Windows the
// machine has two registry views, and a key seen in both is one key.
struct Hive {
    HKEY root;
    REGSAM view;
    const char *name;
};
const Hive kHives[] = {{HKEY_CURRENT_USER, 0, "HKCU"},
                       {HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY, "HKLM"},
                       {HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, "HKLM"}};

// What Apps lists for Quorvel: each uninstall entry named Quorvel, with its
// version, by hive and entry name.
std::map<std::string, std::string> AppsEntries()
{
    const char kUninstall[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
    std::map<std::string, std::string> entries;
    for (const Hive &hive : kHives) {
        HKEY h;
        if (RegOpenKeyExA(hive.root, kUninstall, 0, KEY_READ | hive.view, &h) != ERROR_SUCCESS)
            continue;
        char name[256];
        for (DWORD i = 0; RegEnumKeyA(h, i, name, sizeof(name)) == ERROR_SUCCESS; i++) {
            std::string key = std::string(kUninstall) + "\\" + name;
            if (ReadText(hive.root, key.c_str(), "DisplayName", hive.view) == "Quorvel")
                entries[std::string(hive.name) + "\\" + name] =
                    ReadText(hive.root, key.c_str(), "DisplayVersion", hive.view);
        }
        RegCloseKey(h);
    }
    return entries;
}

// The versions of those entries.
std::vector<std::string> AppsVersions()
{
    std::vector<std::string> versions;
    for (const auto &entry : AppsEntries())
        versions.push_back(entry.second);
    return versions;
}

// Every Run value that starts Quorvel at sign-in, per user and per machine:
// "HKCU Quorvel=<command>".
std::vector<std::string> SignInStarts()
{
    std::map<std::string, std::string> found;
    for (const Hive &hive : kHives) {
        HKEY h;
        if (RegOpenKeyExA(hive.root, kRunKey, 0, KEY_READ | hive.view, &h) != ERROR_SUCCESS)
            continue;
        char name[256], data[1024];
        DWORD cchName = sizeof(name), cbData = sizeof(data) - 1, type = 0;
        for (DWORD i = 0; RegEnumValueA(h, i, name, &cchName, NULL, &type, (BYTE *)data, &cbData) ==
                          ERROR_SUCCESS;
             i++, cchName = sizeof(name), cbData = sizeof(data) - 1) {
            data[cbData] = '\0';
            std::string lower = data;
            CharLowerA(&lower[0]);
            if (lstrcmpiA(name, "Quorvel") == 0 || lower.find("quorvel.exe") != std::string::npos)
                found[std::string(hive.name) + " " + name] = data;
        }
        RegCloseKey(h);
    }
    std::vector<std::string> starts;
    for (const auto &start : found)
        starts.push_back(start.first + "=" + start.second);
    return starts;
}

// The per-machine package's folder: a 32-bit package's files are where
// 32-bit programs have theirs (on 64-bit Windows, Program Files (x86)).
std::string MachineFolder()
{
#ifdef _WIN64
    return ShellFolder(CSIDL_PROGRAM_FILESX86) + "\\Quorvel";
#else
    return ShellFolder(CSIDL_PROGRAM_FILES) + "\\Quorvel";
#endif
}

// Removes whichever build of the per-machine package is installed.
void RemoveMachinePackages()
{
    for (const auto &entry : AppsEntries()) {
        std::string code = entry.first.substr(entry.first.find('\\') + 1);
        if (entry.first.rfind("HKLM\\{", 0) == 0)
            RunToExit("msiexec /x " + code + " /qn /norestart", 120000);
    }
}

// Packages of another version, or another build of this one, that
// scripts/package.sh makes from the same program into the session's
// folder; made once per run.
struct Packages {
    std::string setup, msi;
};

Packages OtherPackages(const std::string &name, const std::string &version)
{
    static std::map<std::string, Packages> made;
    auto it = made.find(name);
    if (it != made.end())
        return it->second;
    const char *session = getenv("QUORVEL_SESSION_DIR");
    std::string dir = std::string(session != nullptr ? session : "/tmp") + "/packages-" + name;
    EXPECT_TRUE(RunHostCommand("'" QUORVEL_SOURCE_DIR "/scripts/package.sh' --out '" + dir +
                               "' --version " + version, 120000))
        << "package.sh --version " << version << " failed";
    Packages p;
#ifdef _WIN64
    p.setup = ToWindowsPath(dir + "/twin/Quorvel-" + version + "-setup.exe");
#else
    p.setup = ToWindowsPath(dir + "/Quorvel-" + version + "-setup.exe");
#endif
    p.msi = ToWindowsPath(dir + "/Quorvel-" + version + ".msi");
    made[name] = p;
    return p;
}

// Writes a DWORD value, or deletes it for -1.
void WriteDword(HKEY root, const char *key, const char *name, long long value)
{
    HKEY h;
    if (RegCreateKeyExA(root, key, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &h, NULL) != ERROR_SUCCESS)
        return;
    if (value < 0) {
        RegDeleteValueA(h, name);
    } else {
        DWORD v = (DWORD)value;
        RegSetValueExA(h, name, 0, REG_DWORD, (const BYTE *)&v, sizeof(v));
    }
    RegCloseKey(h);
}

// The user's own settings, which no package may lose: a value the program
// itself would have saved.
void MarkUserSettings() { WriteDword(HKEY_CURRENT_USER, kSettingsKey, "iIconAction", 1); }
bool UserSettingsKept() { return ReadDword(HKEY_CURRENT_USER, kSettingsKey, "iIconAction") == 1; }

// The program a shortcut starts, read through the shell.
std::string ShortcutTarget(const std::string &lnk)
{
    std::string target;
    CoInitialize(NULL);
    IShellLinkA *link = NULL;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, NULL, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   (void **)&link))) {
        IPersistFile *file = NULL;
        if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, (void **)&file))) {
            wchar_t wide[MAX_PATH];
            MultiByteToWideChar(CP_ACP, 0, lnk.c_str(), -1, wide, MAX_PATH);
            char path[MAX_PATH] = "";
            if (SUCCEEDED(file->Load(wide, STGM_READ)) &&
                SUCCEEDED(link->GetPath(path, MAX_PATH, NULL, 0)))
                target = path;
            file->Release();
        }
        link->Release();
    }
    CoUninitialize();
    return target;
}

// A started program: its process, and the hidden window once it has one.
struct Started {
    PROCESS_INFORMATION pi;
    HWND hwnd;
};

bool StartInstalledQuorvel(const std::string &exe, Started *s)
{
    s->hwnd = NULL;
    if (!StartProcess("\"" + exe + "\"", &s->pi))
        return false;
    return WaitFor([&] { return (s->hwnd = FindQuorvelWindow(s->pi.dwProcessId)) != NULL; }, 15000);
}

void CloseStarted(Started *s)
{
    CloseHandle(s->pi.hThread);
    CloseHandle(s->pi.hProcess);
}

typedef std::vector<std::pair<std::string, bool>> Boxes;

BOOL CALLBACK CollectCheckBox(HWND child, LPARAM lParam)
{
    char cls[32] = "", text[256] = "";
    GetClassNameA(child, cls, sizeof(cls));
    LONG style = GetWindowLongA(child, GWL_STYLE);
    if (lstrcmpiA(cls, "Button") == 0 && (style & BS_TYPEMASK) == BS_AUTOCHECKBOX &&
        IsWindowVisible(child)) {
        GetWindowTextA(child, text, sizeof(text));
        bool checked = SendMessageA(child, BM_GETCHECK, 0, 0) == BST_CHECKED;
        reinterpret_cast<Boxes *>(lParam)->push_back(std::make_pair(std::string(text), checked));
    }
    return TRUE;
}

// Visible check boxes of a window and its descendants: text and state.
Boxes CheckBoxes(HWND hwnd)
{
    Boxes boxes;
    EnumChildWindows(hwnd, CollectCheckBox, (LPARAM)&boxes);
    return boxes;
}

const char kStartOption[] = "Start Quorvel when I sign in";
const char kKeepOption[] =
    "Keep the default printer that Quorvel chooses (turn off Windows' own default printer management)";

class Setup : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FileExists(SetupPath())) << SetupPath() << ": run scripts/package.sh first";
        legacyMode_ = ReadDword(HKEY_CURRENT_USER, kWindowsKey, kLegacyMode);
        installDir_ = ShellFolder(CSIDL_LOCAL_APPDATA) + "\\Programs\\Quorvel";
    }
    void TearDown() override
    {
        EndLeftoverQuorvels();
        if (KeyExists(HKEY_CURRENT_USER, kUninstallKey))
            Uninstall();
        RemoveMachinePackages();
        WriteDword(HKEY_CURRENT_USER, kWindowsKey, kLegacyMode, legacyMode_);
        DeleteRegistryTree(HKEY_CURRENT_USER, "Software\\Brennick\\Quorvel");
    }
    DWORD InstallSilently(const std::string &args = "")
    {
        return RunToExit("\"" + SetupPath() + "\" /S" + args, 120000);
    }
    std::string Exe() const { return installDir_ + "\\Quorvel.exe"; }
    // The uninstaller runs on from a copy of itself and returns at once: wait
    // until its last step, the cleaning of setup's own key, is done.
    bool Uninstall()
    {
        std::string quiet = ReadText(HKEY_CURRENT_USER, kUninstallKey, "QuietUninstallString");
        if (RunToExit(quiet, 60000) != 0)
            return false;
        return WaitFor([&] {
            return !KeyExists(HKEY_CURRENT_USER, kUninstallKey) && !FileExists(installDir_) &&
                   !KeyExists(HKEY_CURRENT_USER, kSetupKey);
        }, 60000, 100);
    }
    long long legacyMode_;
    std::string installDir_;
};

TEST_F(Setup, SilentInstallOnWindows10RunsQuorvelAndUninstallsCleanly)
{
    ScopedWineVersion win10(SetupFileName(), "win10");
    WriteDword(HKEY_CURRENT_USER, kWindowsKey, kLegacyMode, 0);
    MarkUserSettings();

    ASSERT_EQ(InstallSilently(), 0u);
    EXPECT_TRUE(SameContents(Exe(), QuorvelExePath())) << "not the built program";
    EXPECT_TRUE(FileExists(installDir_ + "\\readme.txt"));
    EXPECT_TRUE(IsLicenceText(installDir_ + "\\LICENSE.txt"));
    EXPECT_TRUE(FileExists(installDir_ + "\\Uninstall.exe"));
    std::string menu = ShellFolder(CSIDL_PROGRAMS) + "\\Quorvel\\";
    EXPECT_EQ(ShortcutTarget(menu + "Quorvel.lnk"), Exe());
    EXPECT_EQ(ShortcutTarget(menu + "Quorvel readme.lnk"), installDir_ + "\\readme.txt");
    EXPECT_EQ(ReadText(HKEY_CURRENT_USER, kRunKey, "Quorvel"), "\"" + Exe() + "\" /signin");

    EXPECT_EQ(ReadText(HKEY_CURRENT_USER, kUninstallKey, "DisplayName"), "Quorvel");
    EXPECT_EQ(ReadText(HKEY_CURRENT_USER, kUninstallKey, "DisplayVersion"), QUORVEL_VERSION);
    EXPECT_EQ(ReadText(HKEY_CURRENT_USER, kUninstallKey, "Publisher"), "Brennick");
    EXPECT_EQ(ReadText(HKEY_CURRENT_USER, kUninstallKey, "DisplayIcon"), Exe() + ",0");
    std::string uninstaller = "\"" + installDir_ + "\\Uninstall.exe\"";
    EXPECT_EQ(ReadText(HKEY_CURRENT_USER, kUninstallKey, "UninstallString"), uninstaller);
    EXPECT_EQ(ReadText(HKEY_CURRENT_USER, kUninstallKey, "QuietUninstallString"), uninstaller + " /S");
    EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, kUninstallKey, "NoModify"), 1);
    EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, kUninstallKey, "NoRepair"), 1);
    EXPECT_GT(ReadDword(HKEY_CURRENT_USER, kUninstallKey, "EstimatedSize"), 0);

    EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, kWindowsKey, kLegacyMode), 1);
    EXPECT_EQ(ReadText(HKEY_CURRENT_USER, kSetupKey, kLegacyMode), "0") << "the value as it was";

    // Quorvel runs from where it was installed; the uninstaller ends it
    // through its Exit command (exit code 0).
    Started q;
    ASSERT_TRUE(StartInstalledQuorvel(Exe(), &q)) << "no Quorvel window from " << Exe();
    ASSERT_TRUE(Uninstall()) << "the uninstaller did not finish";
    EXPECT_EQ(WaitProcessExit(q.pi.hProcess, 5000), 0u);
    CloseStarted(&q);

    EXPECT_FALSE(FileExists(installDir_));
    EXPECT_FALSE(FileExists(ShellFolder(CSIDL_PROGRAMS) + "\\Quorvel"));
    EXPECT_EQ(ReadText(HKEY_CURRENT_USER, kRunKey, "Quorvel"), "<absent>");
    EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, kWindowsKey, kLegacyMode), 0) << "not put back";
    EXPECT_TRUE(UserSettingsKept()) << "a silent uninstall keeps the settings";
}

TEST_F(Setup, OnWindows7TheKeepDefaultOptionIsNotAppliedAndDChoosesTheFolder)
{
    ScopedWineVersion win7(SetupFileName(), "win7");
    WriteDword(HKEY_CURRENT_USER, kWindowsKey, kLegacyMode, 0);
    installDir_ = ShellFolder(CSIDL_PERSONAL) + "\\My Tools\\Quorvel";
    ASSERT_EQ(InstallSilently(" /D=" + installDir_), 0u);
    EXPECT_TRUE(FileExists(Exe()));
    EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, kWindowsKey, kLegacyMode), 0);
    EXPECT_EQ(ReadText(HKEY_CURRENT_USER, kSetupKey, kLegacyMode), "<absent>");
    EXPECT_EQ(ReadText(HKEY_CURRENT_USER, kRunKey, "Quorvel"), "\"" + Exe() + "\" /signin");
    ASSERT_TRUE(Uninstall());
    EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, kWindowsKey, kLegacyMode), 0);
}

BOOL CALLBACK CollectLabel(HWND child, LPARAM lParam)
{
    char cls[32] = "", text[512] = "";
    GetClassNameA(child, cls, sizeof(cls));
    if (lstrcmpiA(cls, "Static") == 0 && IsWindowVisible(child)) {
        GetWindowTextA(child, text, sizeof(text));
        *reinterpret_cast<std::string *>(lParam) += std::string(text) + "\n";
    }
    return TRUE;
}

// What the options page shows: its check boxes, whether the first one (the
// start at sign-in) takes input, and the texts of its labels.
struct OptionsPage {
    Boxes boxes;
    bool startEnabled = false;
    std::string labels;
};

// Walks the wizard to its options page and returns what it shows.
OptionsPage OptionsPageAs(const char *version, const char *screenshot)
{
    ScopedWineVersion scoped(SetupFileName(), version);
    PROCESS_INFORMATION pi;
    OptionsPage page;
    if (!StartProcess("\"" + SetupPath() + "\"", &pi)) {
        ADD_FAILURE() << "cannot start " << SetupPath();
        return page;
    }
    std::string caption = std::string("Quorvel ") + QUORVEL_VERSION + " Setup";
    HWND wizard = NULL;
    EXPECT_TRUE(WaitFor([&] { return (wizard = FindWindowA("#32770", caption.c_str())) != NULL; },
                        20000)) << "no window " << caption;
    if (wizard != NULL) {
        // Welcome, Next; folder, Next; options. Each Next changes the page
        // before the next message is handled.
        PostMessageA(wizard, WM_COMMAND, IDOK, 0);
        PostMessageA(wizard, WM_COMMAND, IDOK, 0);
        EXPECT_TRUE(WaitFor([&] {
            page.boxes = CheckBoxes(wizard);
            return !page.boxes.empty() && page.boxes[0].first == kStartOption;
        }, 10000)) << "no options page";
        HWND start = FindWindowExA(FindWindowExA(wizard, NULL, "#32770", NULL), NULL, "Button", kStartOption);
        page.startEnabled = start != NULL && IsWindowEnabled(start);
        EnumChildWindows(wizard, CollectLabel, (LPARAM)&page.labels);
        if (screenshot != nullptr) {
            Sleep(300);  // let the page finish painting
            EXPECT_TRUE(SaveScreenshot(screenshot));
        }
        PostMessageA(wizard, WM_COMMAND, IDCANCEL, 0);
    }
    if (WaitProcessExit(pi.hProcess, 10000) == STILL_ACTIVE)
        TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return page;
}

TEST_F(Setup, OptionsPageOffersToKeepTheDefaultOnlyFromWindows10)
{
    EXPECT_EQ(OptionsPageAs("win10", "setup-options-page.png").boxes,
              (Boxes{{kStartOption, true}, {kKeepOption, true}}));
    EXPECT_EQ(OptionsPageAs("win7", nullptr).boxes, (Boxes{{kStartOption, true}}));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kUninstallKey)) << "a cancelled setup installed";
}

TEST_F(Setup, InstallingOverARunningCopyEndsItCleanlyAndKeepsTheSettings)
{
    ASSERT_EQ(InstallSilently(), 0u);
    MarkUserSettings();
    // Mark the installed copy so that its replacement shows (an extra byte
    // after the image changes nothing for Windows).
    {
        std::ofstream out(Exe().c_str(), std::ios::binary | std::ios::app);
        out << '!';
    }
    ASSERT_FALSE(SameContents(Exe(), QuorvelExePath()));
    Started old;
    ASSERT_TRUE(StartInstalledQuorvel(Exe(), &old));

    ASSERT_EQ(InstallSilently(), 0u);
    EXPECT_EQ(WaitProcessExit(old.pi.hProcess, 5000), 0u) << "not ended through its Exit command";
    EXPECT_TRUE(SameContents(Exe(), QuorvelExePath())) << "not replaced";
    EXPECT_TRUE(UserSettingsKept());
    // A silent update brings back the copy it ended.
    HWND again = NULL;
    EXPECT_TRUE(WaitFor([&] { return (again = FindWindowA("Quorvel", NULL)) != NULL; }, 15000));
    DWORD pid = 0;
    GetWindowThreadProcessId(again, &pid);
    EXPECT_NE(pid, old.pi.dwProcessId);
    CloseStarted(&old);
    ASSERT_TRUE(Uninstall());
    EXPECT_TRUE(WaitFor([] { return FindWindowA("Quorvel", NULL) == NULL; }, 10000))
        << "the uninstaller left Quorvel running";
}

TEST_F(Setup, AnUpdateKeepsTheUsersChoicesAndTheSwitchesSetThem)
{
    Packages old = OtherPackages(kOlderVersion, kOlderVersion);
    ScopedWineVersion win10Old(FileName(old.setup), "win10"), win10(SetupFileName(), "win10");
    WriteDword(HKEY_CURRENT_USER, kWindowsKey, kLegacyMode, 0);
    MarkUserSettings();
    const std::string started = "\"" + Exe() + "\" /signin";

    ASSERT_EQ(RunToExit("\"" + old.setup + "\" /S", 120000), 0u);
    ASSERT_EQ(AppsVersions(), std::vector<std::string>{kOlderVersion});
    ASSERT_EQ(ReadText(HKEY_CURRENT_USER, kRunKey, "Quorvel"), started);
    ASSERT_EQ(ReadDword(HKEY_CURRENT_USER, kWindowsKey, kLegacyMode), 1);
    MarkInstalledCopy(Exe());
    // The user takes Quorvel out of the sign-in and gives the default
    // printer back to Windows.
    DeleteValue(HKEY_CURRENT_USER, kRunKey, "Quorvel");
    WriteDword(HKEY_CURRENT_USER, kWindowsKey, kLegacyMode, 0);

    ASSERT_EQ(InstallSilently(), 0u);
    EXPECT_EQ(ReadText(HKEY_CURRENT_USER, kRunKey, "Quorvel"), "<absent>") << "the start came back";
    EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, kWindowsKey, kLegacyMode), 0) << "Windows' management turned off again";
    EXPECT_EQ(AppsVersions(), std::vector<std::string>{QUORVEL_VERSION});
    EXPECT_TRUE(SameContents(Exe(), QuorvelExePath())) << "not replaced";
    EXPECT_TRUE(UserSettingsKept());

    ASSERT_EQ(InstallSilently(" /STARTATSIGNIN=1 /KEEPDEFAULT=1"), 0u);
    EXPECT_EQ(ReadText(HKEY_CURRENT_USER, kRunKey, "Quorvel"), started);
    EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, kWindowsKey, kLegacyMode), 1);
    // A start as setups before the switch wrote it gets the switch.
    WriteText(HKEY_CURRENT_USER, kRunKey, "Quorvel", "\"" + Exe() + "\"");
    ASSERT_EQ(InstallSilently(), 0u);
    EXPECT_EQ(ReadText(HKEY_CURRENT_USER, kRunKey, "Quorvel"), started);
    ASSERT_EQ(InstallSilently(" /STARTATSIGNIN=0 /KEEPDEFAULT=0"), 0u);
    EXPECT_EQ(ReadText(HKEY_CURRENT_USER, kRunKey, "Quorvel"), "<absent>");
    EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, kWindowsKey, kLegacyMode), 0) << "not put back";
    EXPECT_EQ(InstallSilently(" /KEEPDEFAULT=yes"), 2u) << "a value other than 0 or 1 must stop setup";
    EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, kWindowsKey, kLegacyMode), 0);
}

TEST_F(Setup, UnderTheMachinePackageSetupAddsNoSecondStartAndLeavesItsCopyRunning)
{
    ASSERT_EQ(RunToExit("msiexec /i \"" + MsiPath() + "\" /qn /norestart", 120000), 0u);
    const std::string machineExe = MachineFolder() + "\\Quorvel.exe";
#ifdef _WIN64
    // A host that runs the 64-bit twins cannot start the shipped 32-bit
    // program: the twin runs from the package's file in its place, which is
    // all setup goes by when it looks for copies to end.
    ASSERT_TRUE(CopyFileA(QuorvelExePath(), machineExe.c_str(), FALSE)) << machineExe;
#endif
    // A start of the user's own, from a setup that predates the roll-out.
    WriteText(HKEY_CURRENT_USER, kRunKey, "Quorvel", "\"" + Exe() + "\"");

    OptionsPage page = OptionsPageAs("win10", "setup-options-page-machine-package.png");
    EXPECT_EQ(page.boxes, (Boxes{{kStartOption, true}, {kKeepOption, true}}));
    EXPECT_FALSE(page.startEnabled);
    EXPECT_NE(page.labels.find("already starts for everyone who signs in"), std::string::npos) << page.labels;

    Started machine;
    ASSERT_TRUE(StartInstalledQuorvel(machineExe, &machine));
    ASSERT_EQ(InstallSilently(), 0u);
    EXPECT_EQ(SignInStarts(), std::vector<std::string>{"HKLM Quorvel=\"" + machineExe + "\" /signin"});
    EXPECT_EQ(WaitProcessExit(machine.pi.hProcess, 0), (DWORD)STILL_ACTIVE)
        << "setup ended the machine package's copy";

    // Its own copy, started at sign-in by the user's old Run value, ends at
    // once beside the machine package's.
    EXPECT_EQ(RunToExit("\"" + Exe() + "\" /signin", 20000), 0u);
    ASSERT_TRUE(Uninstall());
    EXPECT_EQ(WaitProcessExit(machine.pi.hProcess, 0), (DWORD)STILL_ACTIVE)
        << "the uninstaller ended the machine package's copy";
    PostMessageA(machine.hwnd, WM_COMMAND, 1011, 0);
    EXPECT_EQ(WaitProcessExit(machine.pi.hProcess, 5000), 0u);
    CloseStarted(&machine);
}

class Msi : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FileExists(MsiPath())) << MsiPath() << ": run scripts/package.sh first";
        MarkUserSettings();
    }
    void TearDown() override
    {
        RemoveMachinePackages();
        DeleteRegistryTree(HKEY_CURRENT_USER, "Software\\Brennick\\Quorvel");
    }
    static std::string Folder() { return MachineFolder(); }
    // A 32-bit package: its HKLM values are where 32-bit programs have theirs
    // (on 64-bit Windows, WOW6432Node).
    static std::string RunValue()
    {
        return ReadText(HKEY_LOCAL_MACHINE, kRunKey, "Quorvel", KEY_WOW64_32KEY);
    }
    // Per machine, the shortcut belongs in the all-users Start menu; Wine's
    // msiexec puts it into the user's own.
    static bool HasShortcut()
    {
        return FileExists(ShellFolder(CSIDL_COMMON_PROGRAMS) + "\\Quorvel.lnk") ||
               FileExists(ShellFolder(CSIDL_PROGRAMS) + "\\Quorvel.lnk");
    }
    static DWORD Msiexec(const std::string &args)
    {
        return RunToExit("msiexec " + args, 120000);
    }
};

TEST_F(Msi, SilentInstallForEveryUserAndRemovalLeaveUserSettingsAlone)
{
    ASSERT_EQ(Msiexec("/i \"" + MsiPath() + "\" /qn"), 0u);
    std::string exe = Folder() + "\\Quorvel.exe";
    EXPECT_TRUE(FileExists(exe)) << exe;
    EXPECT_TRUE(FileExists(Folder() + "\\readme.txt"));
    EXPECT_TRUE(IsLicenceText(Folder() + "\\LICENSE.txt"));
    EXPECT_EQ(RunValue(), "\"" + exe + "\" /signin");
    EXPECT_TRUE(HasShortcut());

    ASSERT_EQ(Msiexec("/x \"" + MsiPath() + "\" /qn"), 0u);
    EXPECT_FALSE(FileExists(Folder()));
    EXPECT_EQ(RunValue(), "<absent>");
    EXPECT_FALSE(HasShortcut());
    EXPECT_TRUE(UserSettingsKept());

    ASSERT_EQ(Msiexec("/i \"" + MsiPath() + "\" /qn STARTATSIGNIN=0"), 0u);
    EXPECT_TRUE(FileExists(exe));
    EXPECT_EQ(RunValue(), "<absent>") << "STARTATSIGNIN=0 must not start Quorvel at sign-in";
    ASSERT_EQ(Msiexec("/x \"" + MsiPath() + "\" /qn"), 0u);
    EXPECT_FALSE(FileExists(Folder()));
}

TEST_F(Msi, UpgradesReplaceTheInstalledBuildKeepStartAtSignInAndRefuseAnOlderVersion)
{
    Packages old = OtherPackages(kOlderVersion, kOlderVersion);
    Packages rebuild = OtherPackages("rebuild", QUORVEL_VERSION);
    const std::string exe = Folder() + "\\Quorvel.exe";
    const std::vector<std::string> current = {QUORVEL_VERSION};
    // The MSI always holds the shipped 32-bit program, also where the tests
    // run as 64-bit twins.
    const std::string shipped = ToWindowsPath(QUORVEL_SOURCE_DIR "/build/Quorvel.exe");

    ASSERT_EQ(Msiexec("/i \"" + old.msi + "\" /qn /norestart STARTATSIGNIN=0"), 0u);
    ASSERT_EQ(AppsVersions(), std::vector<std::string>{kOlderVersion});
    MarkInstalledCopy(exe);
    ASSERT_EQ(Msiexec("/i \"" + MsiPath() + "\" /qn /norestart"), 0u);
    EXPECT_EQ(RunValue(), "<absent>") << "STARTATSIGNIN=0 was forgotten";
    EXPECT_EQ(AppsVersions(), current);
    EXPECT_TRUE(SameContents(exe, shipped)) << "not replaced";

    // Another build of the same version replaces this one.
    MarkInstalledCopy(exe);
    ASSERT_EQ(Msiexec("/i \"" + rebuild.msi + "\" /qn /norestart"), 0u);
    EXPECT_EQ(AppsVersions(), current);
    EXPECT_TRUE(SameContents(exe, shipped)) << "not replaced";
    EXPECT_EQ(RunValue(), "<absent>");

    EXPECT_EQ(Msiexec("/i \"" + old.msi + "\" /qn /norestart"), 1603u) << "an older version was not refused";
    EXPECT_EQ(AppsVersions(), current);
    EXPECT_TRUE(SameContents(exe, shipped));
    EXPECT_TRUE(UserSettingsKept());
}

// The administrator's example, imported as deploying.md says, in a private
// network whose address lies in the example's first location.
TEST(ExampleLocations, TheDefaultFollowsTheFirstLocation)
{
    if (getenv("QUORVEL_SET_ADDRESSES") == nullptr)
        GTEST_SKIP() << "needs tests/fixture/netns.sh (a private network)";
    ScopedDeviceEntry restore;
    WriteDeviceEntry("Alpha,wineps.drv,CUPS:Alpha");
    ASSERT_TRUE(AddSpoolerPrinter("Colour-1"));
    ASSERT_TRUE(AddSpoolerPrinter("Laser-2"));
    ASSERT_TRUE(RunHostCommand("\"$QUORVEL_SET_ADDRESSES\" 172.16.2.7/22"));
    ASSERT_EQ(RunToExit("reg import \"" + ToWindowsPath(QUORVEL_EXAMPLE_REG) + "\"", 30000), 0u);

    QuorvelProcess q;
    ASSERT_TRUE(q.Start());
    EXPECT_TRUE(WaitFor([] { return ReadDeviceEntry().rfind("Colour-1,", 0) == 0; }, 15000))
        << ReadDeviceEntry();
    EXPECT_EQ(q.Exit(), 0u);
    DeleteSpoolerPrinter("Colour-1");
    DeleteSpoolerPrinter("Laser-2");
    DeleteRegistryTree(HKEY_CURRENT_USER, "Software\\Brennick\\Quorvel");
}

}  // namespace
