// A stand-in winspool.drv, as a download might plant one beside the
// program. It lists and sets nothing; loading it appends the loading
// program's name to the file named by QUORVEL_PLANTED_LOG, so a test sees
// whether any program in its folder loaded it.
#include <windows.h>

extern "C" {

__declspec(dllexport) BOOL WINAPI EnumPrintersA(DWORD, LPSTR, DWORD, LPBYTE, DWORD, LPDWORD pcbNeeded,
                                                LPDWORD pcReturned)
{
    if (pcbNeeded != NULL)
        *pcbNeeded = 0;
    if (pcReturned != NULL)
        *pcReturned = 0;
    return FALSE;
}
__declspec(dllexport) BOOL WINAPI OpenPrinterA(LPSTR, LPHANDLE, LPVOID) { return FALSE; }
__declspec(dllexport) BOOL WINAPI GetPrinterA(HANDLE, DWORD, LPBYTE, DWORD, LPDWORD) { return FALSE; }
__declspec(dllexport) BOOL WINAPI SetPrinterA(HANDLE, DWORD, LPBYTE, DWORD) { return FALSE; }
__declspec(dllexport) BOOL WINAPI ClosePrinter(HANDLE) { return FALSE; }
__declspec(dllexport) BOOL WINAPI SetDefaultPrinterA(LPCSTR) { return FALSE; }
// Tells a probe that this, not the system's spooler, was loaded.
__declspec(dllexport) int WINAPI QuorvelStandInSpooler(void) { return 1; }

}  // extern "C"

BOOL WINAPI DllMain(HINSTANCE, DWORD dwReason, LPVOID)
{
    if (dwReason != DLL_PROCESS_ATTACH)
        return TRUE;
    char log[MAX_PATH], exe[MAX_PATH];
    DWORD n = GetEnvironmentVariableA("QUORVEL_PLANTED_LOG", log, sizeof(log));
    if (n == 0 || n >= sizeof(log))
        return TRUE;
    GetModuleFileNameA(NULL, exe, sizeof(exe));
    HANDLE h = CreateFileA(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, NULL);
    if (h != INVALID_HANDLE_VALUE) {
        DWORD written;
        WriteFile(h, exe, lstrlenA(exe), &written, NULL);
        WriteFile(h, "\r\n", 2, &written, NULL);
        CloseHandle(h);
    }
    return TRUE;
}
