/* System libraries and their entry points: a library is loaded by its full
   path in the system folder, never by bare name, so a copy planted beside
   the program (a download folder may hold one) is never taken; an entry
   point that older systems lack is looked up at run time and is NULL there. */
#ifndef QUORVEL_SYSLIB_H
#define QUORVEL_SYSLIB_H

#include <windows.h>

/* GetProcAddress returns a generic pointer; a detour through a plain function
   type keeps the cast to the real signature well-defined for every compiler. */
typedef void (*GENERICPROC)(void);

/* Loads the library of this file name ("winspool.drv") from the system
   folder; NULL when it cannot. The caller keeps it for as long as it uses
   the library's entry points. */
HMODULE LoadSystemLibrary(const char *pszFileName);

/* An entry point of a library, or NULL. */
GENERICPROC FindLibraryFunction(HMODULE hLibrary, const char *pszName);

/* An entry point of a library the program already has loaded through its
   imports ("kernel32.dll", "user32.dll"), or NULL. */
GENERICPROC FindLoadedFunction(const char *pszModule, const char *pszName);

#endif
