/* The print spooler, loaded by its full path in the system folder. The
   program imports nothing from it, so the loader never searches the
   program's own folder for it. */
#include "../core/syslib.h"
#include "spooler.h"

SpoolerEntryPoints Spooler;

/* Kept for the life of the process: the entry points point into it. */
static HMODULE hSpoolerLibrary;

static GENERICPROC FindEntryPoint(const char *pszName)
{
    return FindLibraryFunction(hSpoolerLibrary, pszName);
}

void LoadSpooler(void)
{
    if (hSpoolerLibrary != NULL)
        return;
    hSpoolerLibrary = LoadSystemLibrary("winspool.drv");
    if (hSpoolerLibrary == NULL)
        return;
    /* A detour through a plain function type keeps each cast well-defined. */
    Spooler.pfnEnumPrinters = (ENUMPRINTERSPROC)FindEntryPoint("EnumPrintersA");
    Spooler.pfnOpenPrinter = (OPENPRINTERPROC)FindEntryPoint("OpenPrinterA");
    Spooler.pfnGetPrinter = (GETPRINTERPROC)FindEntryPoint("GetPrinterA");
    Spooler.pfnSetPrinter = (SETPRINTERPROC)FindEntryPoint("SetPrinterA");
    Spooler.pfnClosePrinter = (CLOSEPRINTERPROC)FindEntryPoint("ClosePrinter");
    Spooler.pfnSetDefaultPrinter = (SETDEFAULTPRINTERPROC)FindEntryPoint("SetDefaultPrinterA");
    Spooler.pfnEnumPrintersW = (ENUMPRINTERSWPROC)FindEntryPoint("EnumPrintersW");
    Spooler.pfnSetDefaultPrinterW = (SETDEFAULTPRINTERWPROC)FindEntryPoint("SetDefaultPrinterW");
}
