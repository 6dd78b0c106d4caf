// Shared helpers of the Windows test programs: paths of the programs under
// test, child processes, waiting, Wine's per-program version, the profile's
// default printer entry, the tray's windows and commands on the Linux host.
#ifndef QUORVEL_TESTSUPPORT_H
#define QUORVEL_TESTSUPPORT_H

#include <windows.h>
#include <winspool.h>

#include <functional>
#include <string>
#include <vector>

// Windows path of the built Quorvel.exe (from QUORVEL_EXE).
const char *QuorvelExePath();
// Windows path of the probe program (from QUORVEL_PROBE).
std::string ProbeExePath();
// A Unix path ("/x/y") as Wine sees it ("Z:\x\y"); Windows paths unchanged.
std::string ToWindowsPath(const std::string &path);
// Folder for screenshots and other artefacts of the run, as a Windows path.
std::string ArtifactsDir();

// Polls cond every stepMs until it holds or timeoutMs pass; pumps this
// thread's messages meanwhile.
bool WaitFor(const std::function<bool()> &cond, DWORD timeoutMs, DWORD stepMs = 50);

// Starts a program; returns false when it cannot be started.
bool StartProcess(const std::string &cmdline, PROCESS_INFORMATION *ppi);
// Waits for a process's end; returns its exit code, or STILL_ACTIVE on time-out.
DWORD WaitProcessExit(HANDLE hProcess, DWORD timeoutMs);
// Runs a command line to its end and returns its exit code (STILL_ACTIVE on
// time-out, after the process has been terminated).
DWORD RunToExit(const std::string &cmdline, DWORD timeoutMs);

// Runs a shell command on the Linux host and waits until it has finished.
// While waiting, this thread's messages are pumped unless pump is false.
bool RunHostCommand(const std::string &shellCommand, DWORD timeoutMs = 20000, bool pump = true);
// Same, and returns what the command printed (trailing blanks removed).
bool RunHostCommandOutput(const std::string &shellCommand, std::string *output, bool pump = true);

// Starts a shell command on the Linux host and returns at once.
bool StartHostCommand(const std::string &shellCommand);
// Clicks (button 1 or 3, count times) at the centre of a window, with the real pointer.
bool ClickWindow(HWND hwnd, int button = 1, int count = 1);
// Types keys ("Down Down Return") with the real keyboard.
bool PressKeys(const std::string &keys);
// Gives the keyboard to the top-level window with this exact title (the job a
// window manager does on a click; the test display runs none), then types.
bool PressKeysIn(const std::string &title, const std::string &keys);

// Makes Wine report the given Windows version ("win98", "nt40", "win7") to
// programs of the given file name while the object lives.
class ScopedWineVersion {
public:
    ScopedWineVersion(const std::string &exeName, const std::string &version);
    ~ScopedWineVersion();
private:
    std::string key_;
};

// Sets Wine's load order for one library in programs of the given file name
// ("native,builtin": a copy in the program's folder first, as Windows looks
// for a library that is not a known system one) while the object lives.
class ScopedWineDllOverride {
public:
    ScopedWineDllOverride(const std::string &exeName, const std::string &dll, const std::string &order);
    ~ScopedWineDllOverride();
private:
    std::string appKey_;
};

// Deletes a registry key with everything below it (nothing when absent).
void DeleteRegistryTree(HKEY hParent, const std::string &path);
// Creates or opens a key below hRoot one level at a time (Wine's ANSI registry
// calls take paths of at most 260 characters; one name may have 255). NULL on
// failure; the caller closes the key.
HKEY CreateRegistryPath(HKEY hRoot, const std::string &path);
// A key with everything below it as one text: values in name order with
// their types and bytes, then subkeys in name order, recursively. Two dumps
// are equal exactly when the trees are. "" when the key is absent.
std::string DumpRegistryTree(HKEY hParent, const std::string &path);

// The profile entry windows/device, read raw; "" when absent.
std::string ReadDeviceEntry();
// Writes (or, for nullptr, deletes) the entry.
void WriteDeviceEntry(const char *value);
// Puts the entry back as it was when the object was made.
class ScopedDeviceEntry {
public:
    ScopedDeviceEntry();
    ~ScopedDeviceEntry();
private:
    bool present_;
    std::string value_;
};

// The spooler's printer names, in its order.
std::vector<std::string> SpoolerPrinterNames(DWORD flags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS,
                                             DWORD level = 4);
// Adds a printer to Wine's spooler that uses an existing queue's driver and port.
bool AddSpoolerPrinter(const std::string &name, const std::string &likeQueue = "Alpha");
bool DeleteSpoolerPrinter(const std::string &name);
// Makes the spooler list exactly `count` printers while the object lives: the
// session's queues (Alpha, Beta, Gamma) are removed or "Extra_NN" printers
// added, and everything is put back at the end.
class ScopedPrinterCount {
public:
    explicit ScopedPrinterCount(int count);
    ~ScopedPrinterCount();
private:
    std::vector<std::string> removed_;
    std::vector<std::string> added_;
};

// Wine's stand-alone tray window, or NULL while no icon is shown.
HWND FindTrayWindow();
// The icon windows inside Wine's tray.
std::vector<HWND> TrayIconWindows();
// Text of the visible tooltip window after hovering over the given icon.
std::string HoverAndReadTooltip(HWND hIcon, DWORD timeoutMs = 6000);
// Same, but leaves the pointer on the icon and returns the tooltip window
// (NULL when none showed).
HWND HoverAndFindTooltip(HWND hIcon, std::string *text, DWORD timeoutMs = 6000);
// The balloon notices on the display (visible tooltips with the balloon
// style; Wine's explorer shows them, so no process owns them), and the text
// of one (its title is not part of it).
std::vector<HWND> VisibleNotices();
std::string NoticeText(HWND hNotice);
// Number of bright green pixels the tray shows for an icon (the switched
// picture has a pure green panel). Does not pump messages.
int GreenPixelsOfIcon(HWND hIcon);
// Keeps Wine's tray window shown while the object lives, with an icon of the
// test's own: without a window manager, hiding a window holds its owner about
// two seconds, which a program removing the last icon would otherwise wait.
class ScopedTrayKeeper {
public:
    ScopedTrayKeeper();
    ~ScopedTrayKeeper();
private:
    HWND hwnd_;
};
// The header of a top-down 32-bit bitmap of w x h pixels.
BITMAPINFO TopDownBitmapInfo(int w, int h);
// Saves a screenshot of the whole display as ArtifactsDir()/name.
bool SaveScreenshot(const std::string &name);

// The real program, started for a test and stopped at its end.
class QuorvelProcess {
public:
    QuorvelProcess();
    ~QuorvelProcess();
    // Starts Quorvel.exe and waits for its hidden main window.
    bool Start(DWORD timeoutMs = 15000);
    // The same from another copy of the program (a Windows path).
    bool StartFrom(const std::string &exePath, DWORD timeoutMs = 15000);
    HWND Window() const { return hwnd_; }
    HANDLE Process() const { return pi_.hProcess; }
    DWORD ProcessId() const { return pi_.dwProcessId; }
    // Sends IDM_EXIT and waits for the end; returns the exit code.
    DWORD Exit(DWORD timeoutMs = 15000);
private:
    PROCESS_INFORMATION pi_;
    HWND hwnd_;
};

// The first top-level window of the given class that the process owns.
HWND FindProcessWindow(DWORD processId, const char *className);
// The hidden main window of the process with the given id.
HWND FindQuorvelWindow(DWORD processId);
// A visible dialog with exactly this caption shown by the process with the given id.
HWND FindDialogOfProcess(DWORD processId, const std::string &title);
// Whether the window's thread answers a message within the time.
bool Answers(HWND hwnd, DWORD timeoutMs = 5000);

#endif
