/* System libraries loaded by full path, and entry points looked up at run
   time. */
#include "textsafe.h"
#include "syslib.h"

HMODULE LoadSystemLibrary(const char *pszFileName)
{
    char szSystem[MAX_PATH];
    char szPath[MAX_PATH + 32];
    UINT cch = GetSystemDirectoryA(szSystem, MAX_PATH);

    if (cch == 0 || cch >= MAX_PATH)
        return NULL;
    if (FAILED(StringCchPrintfA(szPath, sizeof(szPath), "%s\\%s", szSystem, pszFileName)))
        return NULL;
    return LoadLibraryA(szPath);
}

GENERICPROC FindLibraryFunction(HMODULE hLibrary, const char *pszName)
{
    return hLibrary != NULL ? (GENERICPROC)GetProcAddress(hLibrary, pszName) : NULL;
}

GENERICPROC FindLoadedFunction(const char *pszModule, const char *pszName)
{
    return FindLibraryFunction(GetModuleHandleA(pszModule), pszName);
}
