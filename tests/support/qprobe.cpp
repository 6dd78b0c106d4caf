// A small Windows program the tests start where they need a fresh process,
// for instance one that Wine runs as another Windows version.
//   qprobe platform   exits with the platform class
#include <windows.h>
#include <string.h>

#include "printers/printers.h"

int main(int argc, char **argv)
{
    if (argc >= 2 && strcmp(argv[1], "platform") == 0)
        return GetPlatformClass();
    return 100;
}
