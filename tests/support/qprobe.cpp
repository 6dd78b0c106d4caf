// A small Windows program the tests start where they need a fresh process,
// for instance one that Wine runs as another Windows version.
//   qprobe platform         exits with the platform class
//   qprobe record-url URL   appends URL to the file named by QUORVEL_URL_LOG
//   qprobe load-spooler     loads "winspool.drv" by name, as a static import
//                           would: exits 1 for a stand-in, 0 for the system's
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "printers/printers.h"

int main(int argc, char **argv)
{
    if (argc >= 2 && strcmp(argv[1], "platform") == 0)
        return GetPlatformClass();
    if (argc >= 3 && strcmp(argv[1], "record-url") == 0) {
        const char *log = getenv("QUORVEL_URL_LOG");
        FILE *f = log ? fopen(log, "a") : NULL;
        if (f == NULL)
            return 2;
        fprintf(f, "%s\n", argv[2]);
        fclose(f);
        return 0;
    }
    if (argc >= 2 && strcmp(argv[1], "load-spooler") == 0) {
        HMODULE h = LoadLibraryA("winspool.drv");
        if (h == NULL)
            return 2;
        return GetProcAddress(h, "QuorvelStandInSpooler") != NULL ? 1 : 0;
    }
    return 100;
}
