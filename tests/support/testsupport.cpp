// Shared helpers of the Windows test programs.
#include "testsupport.h"

#include <gtest/gtest.h>

#include <shellapi.h>
#include <commctrl.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace {

std::string EnvText(const char *name)
{
    char buf[1024];
    DWORD n = GetEnvironmentVariableA(name, buf, sizeof(buf));
    if (n == 0 || n >= sizeof(buf))
        return std::string();
    return std::string(buf, n);
}

std::string UnixTempDir()
{
    std::string dir = EnvText("QUORVEL_SESSION_DIR");
    return dir.empty() ? std::string("/tmp") : dir;
}

}  // namespace

std::string ToWindowsPath(const std::string &path)
{
    if (path.empty() || path[0] != '/')
        return path;
    std::string out = "Z:";
    for (char c : path)
        out += (c == '/') ? '\\' : c;
    return out;
}

const char *QuorvelExePath()
{
    static std::string path;
    if (path.empty()) {
        path = EnvText("QUORVEL_EXE");
        if (path.empty())
            path = QUORVEL_EXE_BUILT;
        path = ToWindowsPath(path);
    }
    return path.c_str();
}

std::string ProbeExePath()
{
    std::string path = EnvText("QUORVEL_PROBE");
    return ToWindowsPath(path.empty() ? std::string(QUORVEL_PROBE_BUILT) : path);
}

std::string ArtifactsDir()
{
    std::string dir = EnvText("QUORVEL_ARTIFACTS");
    if (dir.empty())
        dir = UnixTempDir();
    return ToWindowsPath(dir);
}

bool WaitFor(const std::function<bool()> &cond, DWORD timeoutMs, DWORD stepMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (cond())
            return true;
        if (GetTickCount() - start >= timeoutMs)
            return false;
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(stepMs);
    }
}

bool StartProcess(const std::string &cmdline, PROCESS_INFORMATION *ppi)
{
    STARTUPINFOA si;
    ZeroMemory(&si, sizeof(si));
    si.cb = sizeof(si);
    std::vector<char> buf(cmdline.begin(), cmdline.end());
    buf.push_back('\0');
    ZeroMemory(ppi, sizeof(*ppi));
    return CreateProcessA(NULL, buf.data(), NULL, NULL, FALSE, 0, NULL, NULL, &si, ppi) != 0;
}

DWORD WaitProcessExit(HANDLE hProcess, DWORD timeoutMs)
{
    if (WaitForSingleObject(hProcess, timeoutMs) != WAIT_OBJECT_0)
        return STILL_ACTIVE;
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(hProcess, &code);
    return code;
}

DWORD RunToExit(const std::string &cmdline, DWORD timeoutMs)
{
    PROCESS_INFORMATION pi;
    if (!StartProcess(cmdline, &pi))
        return STILL_ACTIVE;
    DWORD code = WaitProcessExit(pi.hProcess, timeoutMs);
    if (code == STILL_ACTIVE)
        TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code;
}

namespace {

// A file name in the session folder no other call (or thread) uses.
std::string UniqueHostPath(const char *kind)
{
    static volatile LONG counter;
    char name[128];
    snprintf(name, sizeof(name), "/quorvel-%s-%lu-%ld", kind, GetCurrentProcessId(),
             InterlockedIncrement(&counter));
    return UnixTempDir() + name;
}

// Writes a shell script and starts it. Wine runs Unix programs but hands back
// no usable process or thread handle, so none is closed or waited for.
bool StartHostScript(const std::string &script, const std::string &body)
{
    FILE *f = fopen(ToWindowsPath(script).c_str(), "wb");
    if (f == NULL)
        return false;
    fputs(body.c_str(), f);
    fclose(f);
    PROCESS_INFORMATION pi;
    return StartProcess("/bin/sh " + script, &pi);
}

}  // namespace

bool RunHostCommand(const std::string &shellCommand, DWORD timeoutMs, bool pump)
{
    // No exit code comes back either: the script leaves its status in a file
    // that appears whole (written aside, then renamed).
    std::string base = UniqueHostPath("host");
    std::string script = base + ".sh", ack = base + ".done";
    if (!StartHostScript(script, "(" + shellCommand + ") >/dev/null 2>&1\necho $? > '" + ack +
                                     ".tmp' && mv '" + ack + ".tmp' '" + ack + "'\n"))
        return false;

    std::string ackWin = ToWindowsPath(ack);
    auto finished = [&] { return GetFileAttributesA(ackWin.c_str()) != INVALID_FILE_ATTRIBUTES; };
    bool done;
    if (pump) {
        done = WaitFor(finished, timeoutMs, 20);
    } else {
        DWORD start = GetTickCount();
        while (!(done = finished()) && GetTickCount() - start < timeoutMs)
            Sleep(20);
    }
    int status = -1;
    if (done) {
        FILE *a = fopen(ackWin.c_str(), "rb");
        if (a != NULL) {
            if (fscanf(a, "%d", &status) != 1)
                status = -1;
            fclose(a);
        }
    }
    DeleteFileA(ToWindowsPath(script).c_str());
    DeleteFileA(ackWin.c_str());
    return done && status == 0;
}

bool StartHostCommand(const std::string &shellCommand)
{
    std::string script = UniqueHostPath("async") + ".sh";
    return StartHostScript(script, "(" + shellCommand + ") >/dev/null 2>&1\nrm -f '" + script + "'\n");
}

bool ClickWindow(HWND hwnd, int button, int count)
{
    RECT rc;
    if (!GetWindowRect(hwnd, &rc))
        return false;
    return RunHostCommand("xdotool mousemove " + std::to_string((rc.left + rc.right) / 2) + " " +
                          std::to_string((rc.top + rc.bottom) / 2) + " click --repeat " +
                          std::to_string(count) + " --delay 100 " + std::to_string(button));
}

bool PressKeys(const std::string &keys)
{
    return RunHostCommand("xdotool key --delay 60 " + keys);
}

bool PressKeysIn(const std::string &title, const std::string &keys)
{
    return RunHostCommand("w=$(xdotool search --name '^" + title +
                          "$' | head -n 1) && xdotool windowfocus --sync \"$w\" && xdotool key --delay 60 " +
                          keys);
}

bool RunHostCommandOutput(const std::string &shellCommand, std::string *output, bool pump)
{
    std::string file = UniqueHostPath("out") + ".txt";
    bool ok = RunHostCommand("(" + shellCommand + ") > '" + file + "'", 20000, pump);
    output->clear();
    FILE *f = fopen(ToWindowsPath(file).c_str(), "rb");
    if (f != NULL) {
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof(buf), f)) > 0)
            output->append(buf, n);
        fclose(f);
    }
    DeleteFileA(ToWindowsPath(file).c_str());
    while (!output->empty() && isspace((unsigned char)output->back()))
        output->pop_back();
    return ok;
}

int GreenPixelsOfIcon(HWND hIcon)
{
    RECT rc;
    if (!GetWindowRect(hIcon, &rc))
        return -1;
    char geometry[64];
    snprintf(geometry, sizeof(geometry), "%ldx%ld+%ld+%ld", rc.right - rc.left, rc.bottom - rc.top,
             rc.left, rc.top);
    std::string out;
    // The icon is drawn scaled, so "green" is a range, not one exact colour.
    RunHostCommandOutput(std::string("import -window root -crop ") + geometry +
                             " +repage png:- | convert png:- -fx 'g>0.75 && r<0.3 && b<0.3' "
                             "-format '%[fx:round(mean*w*h)]' info:",
                         &out, false);
    return out.empty() ? -1 : atoi(out.c_str());
}

ScopedWineVersion::ScopedWineVersion(const std::string &exeName, const std::string &version)
    : key_("Software\\Wine\\AppDefaults\\" + exeName)
{
    HKEY hKey;
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, key_.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL,
                              &hKey, NULL), ERROR_SUCCESS);
    RegSetValueExA(hKey, "Version", 0, REG_SZ, (const BYTE *)version.c_str(),
                   (DWORD)version.size() + 1);
    RegCloseKey(hKey);
}

ScopedWineVersion::~ScopedWineVersion()
{
    HKEY hKey;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key_.c_str(), 0, KEY_ALL_ACCESS, &hKey) == ERROR_SUCCESS) {
        RegDeleteValueA(hKey, "Version");
        RegCloseKey(hKey);
    }
    // Stays while other settings for the program live below it.
    RegDeleteKeyA(HKEY_CURRENT_USER, key_.c_str());
}

ScopedWineDllOverride::ScopedWineDllOverride(const std::string &exeName, const std::string &dll,
                                             const std::string &order)
    : appKey_("Software\\Wine\\AppDefaults\\" + exeName)
{
    HKEY hKey;
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, (appKey_ + "\\DllOverrides").c_str(), 0, NULL, 0,
                              KEY_ALL_ACCESS, NULL, &hKey, NULL), ERROR_SUCCESS);
    RegSetValueExA(hKey, dll.c_str(), 0, REG_SZ, (const BYTE *)order.c_str(), (DWORD)order.size() + 1);
    RegCloseKey(hKey);
}

ScopedWineDllOverride::~ScopedWineDllOverride()
{
    DeleteRegistryTree(HKEY_CURRENT_USER, appKey_ + "\\DllOverrides");
    RegDeleteKeyA(HKEY_CURRENT_USER, appKey_.c_str());
}

void DeleteRegistryTree(HKEY hParent, const std::string &path)
{
    HKEY hKey;
    if (RegOpenKeyExA(hParent, path.c_str(), 0, KEY_ALL_ACCESS, &hKey) == ERROR_SUCCESS) {
        std::vector<std::string> children;
        char child[256];
        for (DWORD i = 0; RegEnumKeyA(hKey, i, child, sizeof(child)) == ERROR_SUCCESS; i++)
            children.push_back(child);
        for (const std::string &name : children)
            DeleteRegistryTree(hKey, name);
        RegCloseKey(hKey);
    }
    RegDeleteKeyA(hParent, path.c_str());
}

HKEY CreateRegistryPath(HKEY hRoot, const std::string &path)
{
    HKEY h = hRoot;
    for (size_t at = 0; at <= path.size();) {
        size_t end = path.find('\\', at);
        if (end == std::string::npos)
            end = path.size();
        HKEY hChild = NULL;
        LONG result = RegCreateKeyExA(h, path.substr(at, end - at).c_str(), 0, NULL, 0,
                                      KEY_ALL_ACCESS, NULL, &hChild, NULL);
        if (h != hRoot)
            RegCloseKey(h);
        if (result != ERROR_SUCCESS)
            return NULL;
        h = hChild;
        at = end + 1;
    }
    return h;
}

namespace {

void DumpKey(HKEY hKey, const std::string &path, std::string *out)
{
    *out += "[" + path + "]\n";
    DWORD maxName = 0, maxData = 0;
    RegQueryInfoKeyA(hKey, NULL, NULL, NULL, NULL, NULL, NULL, NULL, &maxName, &maxData, NULL, NULL);
    std::vector<std::string> lines;
    std::vector<char> name(2 * maxName + 2);
    std::vector<BYTE> data(2 * maxData + 2);
    for (DWORD i = 0;; i++) {
        DWORD cchName = (DWORD)name.size(), cbData = (DWORD)data.size(), type = 0;
        LONG result = RegEnumValueA(hKey, i, name.data(), &cchName, NULL, &type, data.data(), &cbData);
        if (result == ERROR_MORE_DATA) {
            name.resize(name.size() * 2);
            data.resize(data.size() * 2 + cbData);
            i--;
            continue;
        }
        if (result != ERROR_SUCCESS)
            break;
        char head[64];
        snprintf(head, sizeof(head), "\" type %lu, %lu bytes:", type, cbData);
        std::string line = "\"" + std::string(name.data(), cchName) + head;
        for (DWORD b = 0; b < cbData; b++) {
            char hex[4];
            snprintf(hex, sizeof(hex), " %02x", data[b]);
            line += hex;
        }
        lines.push_back(line + "\n");
    }
    std::sort(lines.begin(), lines.end());
    for (const std::string &line : lines)
        *out += line;

    std::vector<std::string> children;
    char child[512];
    for (DWORD i = 0; RegEnumKeyA(hKey, i, child, sizeof(child)) == ERROR_SUCCESS; i++)
        children.push_back(child);
    std::sort(children.begin(), children.end());
    for (const std::string &c : children) {
        HKEY hChild;
        if (RegOpenKeyExA(hKey, c.c_str(), 0, KEY_READ, &hChild) == ERROR_SUCCESS) {
            DumpKey(hChild, path + "\\" + c, out);
            RegCloseKey(hChild);
        } else {
            *out += "[" + path + "\\" + c + "] cannot be opened\n";
        }
    }
}

}  // namespace

std::string DumpRegistryTree(HKEY hParent, const std::string &path)
{
    HKEY hKey;
    if (RegOpenKeyExA(hParent, path.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return std::string();
    std::string out;
    DumpKey(hKey, "", &out);
    RegCloseKey(hKey);
    return out;
}

std::string ReadDeviceEntry()
{
    char buf[1024];
    GetProfileStringA("windows", "device", "", buf, sizeof(buf));
    return buf;
}

void WriteDeviceEntry(const char *value)
{
    WriteProfileStringA("windows", "device", value);
}

ScopedDeviceEntry::ScopedDeviceEntry()
{
    char buf[1024];
    GetProfileStringA("windows", "device", "\x01", buf, sizeof(buf));
    present_ = std::string(buf) != "\x01";
    value_ = present_ ? buf : "";
}

ScopedDeviceEntry::~ScopedDeviceEntry()
{
    WriteDeviceEntry(present_ ? value_.c_str() : nullptr);
}

std::vector<std::string> SpoolerPrinterNames(DWORD flags, DWORD level)
{
    std::vector<std::string> names;
    DWORD needed = 0, count = 0;
    EnumPrintersA(flags, NULL, level, NULL, 0, &needed, &count);
    std::vector<BYTE> buf(needed ? needed : 1);
    if (!EnumPrintersA(flags, NULL, level, buf.data(), needed, &needed, &count))
        return names;
    for (DWORD i = 0; i < count; i++) {
        const char *name = level == 5 ? reinterpret_cast<PRINTER_INFO_5A *>(buf.data())[i].pPrinterName
                                      : reinterpret_cast<PRINTER_INFO_4A *>(buf.data())[i].pPrinterName;
        names.push_back(name ? name : "");
    }
    return names;
}

bool AddSpoolerPrinter(const std::string &name, const std::string &likeQueue)
{
    std::string port = "CUPS:" + likeQueue;
    PRINTER_INFO_2A info;
    ZeroMemory(&info, sizeof(info));
    info.pPrinterName = const_cast<char *>(name.c_str());
    info.pDriverName = const_cast<char *>(likeQueue.c_str());
    info.pPortName = const_cast<char *>(port.c_str());
    info.pPrintProcessor = const_cast<char *>("WinPrint");
    info.pDatatype = const_cast<char *>("RAW");
    HANDLE h = AddPrinterA(NULL, 2, reinterpret_cast<BYTE *>(&info));
    if (h == NULL)
        return false;
    ClosePrinter(h);
    return true;
}

bool DeleteSpoolerPrinter(const std::string &name)
{
    HANDLE h;
    PRINTER_DEFAULTSA defaults = {NULL, NULL, PRINTER_ALL_ACCESS};
    if (!OpenPrinterA(const_cast<char *>(name.c_str()), &h, &defaults))
        return false;
    BOOL done = DeletePrinter(h);
    ClosePrinter(h);
    return done != 0;
}

ScopedPrinterCount::ScopedPrinterCount(int count)
{
    std::vector<std::string> present = SpoolerPrinterNames();
    int have = (int)present.size();
    for (int i = have - 1; i >= count && i >= 0; i--) {
        EXPECT_TRUE(DeleteSpoolerPrinter(present[i])) << present[i];
        removed_.push_back(present[i]);
    }
    for (int i = have; i < count; i++) {
        char name[32];
        snprintf(name, sizeof(name), "Extra_%02d", i);
        EXPECT_TRUE(AddSpoolerPrinter(name)) << name;
        added_.push_back(name);
    }
    EXPECT_EQ((int)SpoolerPrinterNames().size(), count);
}

ScopedPrinterCount::~ScopedPrinterCount()
{
    for (const std::string &name : added_)
        DeleteSpoolerPrinter(name);
    for (const std::string &name : removed_)
        AddSpoolerPrinter(name, name);
}

BITMAPINFO TopDownBitmapInfo(int w, int h)
{
    BITMAPINFO bmi;
    ZeroMemory(&bmi, sizeof(bmi));
    bmi.bmiHeader.biSize = sizeof(bmi.bmiHeader);
    bmi.bmiHeader.biWidth = w;
    bmi.bmiHeader.biHeight = -h;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    return bmi;
}

HWND FindTrayWindow()
{
    HWND hTray = FindWindowA("__winex11_standalone_tray", NULL);
    if (hTray != NULL && !IsWindowVisible(hTray))
        return NULL;
    return hTray;
}

std::vector<HWND> TrayIconWindows()
{
    std::vector<HWND> icons;
    HWND hTray = FindWindowA("__winex11_standalone_tray", NULL);
    if (hTray == NULL)
        return icons;
    for (HWND h = FindWindowExA(hTray, NULL, "__winex11_tray_icon", NULL); h != NULL;
         h = FindWindowExA(hTray, h, "__winex11_tray_icon", NULL)) {
        if (IsWindowVisible(h))
            icons.push_back(h);
    }
    return icons;
}

namespace {

struct TooltipSearch {
    HWND hTip;
    std::string text;
};

// A visible tooltip window; a balloon notice is one too, or a plain tip.
bool IsVisibleTooltip(HWND hwnd, bool balloon)
{
    char cls[64];
    return GetClassNameA(hwnd, cls, sizeof(cls)) && lstrcmpiA(cls, "tooltips_class32") == 0 &&
           IsWindowVisible(hwnd) &&
           ((GetWindowLongA(hwnd, GWL_STYLE) & TTS_BALLOON) != 0) == balloon;
}

BOOL CALLBACK FindVisibleTooltip(HWND hwnd, LPARAM lParam)
{
    if (IsVisibleTooltip(hwnd, false)) {
        char text[256] = "";
        SendMessageTimeoutA(hwnd, WM_GETTEXT, sizeof(text), (LPARAM)text, SMTO_ABORTIFHUNG, 1000,
                            NULL);
        if (text[0] != '\0') {
            reinterpret_cast<TooltipSearch *>(lParam)->hTip = hwnd;
            reinterpret_cast<TooltipSearch *>(lParam)->text = text;
            return FALSE;
        }
    }
    return TRUE;
}

BOOL CALLBACK CollectNotice(HWND hwnd, LPARAM lParam)
{
    if (IsVisibleTooltip(hwnd, true))
        reinterpret_cast<std::vector<HWND> *>(lParam)->push_back(hwnd);
    return TRUE;
}

}  // namespace

std::vector<HWND> VisibleNotices()
{
    std::vector<HWND> notices;
    EnumWindows(CollectNotice, (LPARAM)&notices);
    return notices;
}

std::string NoticeText(HWND hNotice)
{
    char text[512] = "";
    SendMessageTimeoutA(hNotice, WM_GETTEXT, sizeof(text), (LPARAM)text, SMTO_ABORTIFHUNG, 1000, NULL);
    return text;
}

HWND HoverAndFindTooltip(HWND hIcon, std::string *text, DWORD timeoutMs)
{
    text->clear();
    RECT rc;
    if (!GetWindowRect(hIcon, &rc))
        return NULL;
    int x = (rc.left + rc.right) / 2, y = (rc.top + rc.bottom) / 2;
    // Real pointer motion over the icon, as a user's mouse would make it.
    RunHostCommand("xdotool mousemove 600 500; sleep 0.2; xdotool mousemove " + std::to_string(x) +
                   " " + std::to_string(y) + "; sleep 0.1; xdotool mousemove " +
                   std::to_string(x + 1) + " " + std::to_string(y));
    TooltipSearch search = {NULL, std::string()};
    WaitFor([&] {
        EnumWindows(FindVisibleTooltip, (LPARAM)&search);
        return search.hTip != NULL;
    }, timeoutMs, 100);
    *text = search.text;
    return search.hTip;
}

std::string HoverAndReadTooltip(HWND hIcon, DWORD timeoutMs)
{
    std::string text;
    HoverAndFindTooltip(hIcon, &text, timeoutMs);
    RunHostCommand("xdotool mousemove 600 500");
    return text;
}

ScopedTrayKeeper::ScopedTrayKeeper()
{
    WNDCLASSA wc;
    ZeroMemory(&wc, sizeof(wc));
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.lpszClassName = "QuorvelTestTrayKeeper";
    RegisterClassA(&wc);
    hwnd_ = CreateWindowExA(0, wc.lpszClassName, "", WS_POPUP, 0, 0, 1, 1, NULL, NULL,
                            wc.hInstance, NULL);
    NOTIFYICONDATAA nid;
    ZeroMemory(&nid, sizeof(nid));
    nid.cbSize = NOTIFYICONDATAA_V1_SIZE;
    nid.hWnd = hwnd_;
    nid.uID = 1;
    nid.uFlags = NIF_ICON;
    nid.hIcon = LoadIconA(NULL, IDI_APPLICATION);
    EXPECT_TRUE(Shell_NotifyIconA(NIM_ADD, &nid));
}

ScopedTrayKeeper::~ScopedTrayKeeper()
{
    NOTIFYICONDATAA nid;
    ZeroMemory(&nid, sizeof(nid));
    nid.cbSize = NOTIFYICONDATAA_V1_SIZE;
    nid.hWnd = hwnd_;
    nid.uID = 1;
    Shell_NotifyIconA(NIM_DELETE, &nid);
    DestroyWindow(hwnd_);
}

bool SaveScreenshot(const std::string &name)
{
    std::string dir = EnvText("QUORVEL_ARTIFACTS");
    if (dir.empty())
        dir = UnixTempDir();
    return RunHostCommand("mkdir -p '" + dir + "' && import -window root '" + dir + "/" + name + "'");
}

namespace {

struct WindowSearch {
    DWORD pid;
    const char *className;
    HWND found;
};

BOOL CALLBACK FindWindowOfProcess(HWND hwnd, LPARAM lParam)
{
    WindowSearch *s = reinterpret_cast<WindowSearch *>(lParam);
    char cls[64];
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == s->pid && GetClassNameA(hwnd, cls, sizeof(cls)) && strcmp(cls, s->className) == 0) {
        s->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

HWND FindProcessWindow(DWORD processId, const char *className)
{
    WindowSearch s = {processId, className, NULL};
    EnumWindows(FindWindowOfProcess, (LPARAM)&s);
    return s.found;
}

HWND FindQuorvelWindow(DWORD processId)
{
    return FindProcessWindow(processId, "Quorvel");
}

namespace {

struct DialogSearch {
    DWORD pid;
    std::string title;
    HWND found;
};

BOOL CALLBACK FindProcessDialog(HWND hwnd, LPARAM lParam)
{
    DialogSearch *s = reinterpret_cast<DialogSearch *>(lParam);
    char cls[64] = "", title[512] = "";
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == s->pid && IsWindowVisible(hwnd) && GetClassNameA(hwnd, cls, sizeof(cls)) &&
        strcmp(cls, "#32770") == 0 && GetWindowTextA(hwnd, title, sizeof(title)) >= 0 &&
        s->title == title) {
        s->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

HWND FindDialogOfProcess(DWORD processId, const std::string &title)
{
    DialogSearch s = {processId, title, NULL};
    EnumWindows(FindProcessDialog, (LPARAM)&s);
    return s.found;
}

bool Answers(HWND hwnd, DWORD timeoutMs)
{
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(hwnd, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, timeoutMs, &result) != 0;
}

QuorvelProcess::QuorvelProcess() : hwnd_(NULL)
{
    ZeroMemory(&pi_, sizeof(pi_));
}

QuorvelProcess::~QuorvelProcess()
{
    if (pi_.hProcess != NULL) {
        if (WaitForSingleObject(pi_.hProcess, 0) != WAIT_OBJECT_0) {
            if (hwnd_ != NULL)
                PostMessageA(hwnd_, WM_COMMAND, 1011, 0);
            if (WaitForSingleObject(pi_.hProcess, 5000) != WAIT_OBJECT_0)
                TerminateProcess(pi_.hProcess, 1);
        }
        CloseHandle(pi_.hThread);
        CloseHandle(pi_.hProcess);
    }
}

bool QuorvelProcess::Start(DWORD timeoutMs)
{
    return StartFrom(QuorvelExePath(), timeoutMs);
}

bool QuorvelProcess::StartFrom(const std::string &exePath, DWORD timeoutMs)
{
    if (!StartProcess("\"" + exePath + "\"", &pi_))
        return false;
    return WaitFor([&] {
        hwnd_ = FindQuorvelWindow(pi_.dwProcessId);
        return hwnd_ != NULL;
    }, timeoutMs);
}

DWORD QuorvelProcess::Exit(DWORD timeoutMs)
{
    PostMessageA(hwnd_, WM_COMMAND, 1011, 0);
    return WaitProcessExit(pi_.hProcess, timeoutMs);
}
