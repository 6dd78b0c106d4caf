/* Definitions of the process-wide state declared in state.h. */
#include "state.h"

PrinterRow PrinterTable[MAX_PRINTERS];
PrinterWideRow PrinterWideNames[MAX_PRINTERS];
volatile LONG iPrinterCount;

AutoSettingsRecord AutoSettings;
char szCurrentLocation[256];
LocationRecord LocationEdit;

int iPlatform;
volatile LONG bEnumBusy;
volatile LONG bFirstEnum = 1;
int bShellPrinterCommand;
INVOKEPRINTERCOMMANDPROC pfnInvokePrinterCommand;
HWND hMainWnd;
HINSTANCE hAppInstance;
UINT uTaskbarCreatedMsg;
SOCKET sockAddressWatch = INVALID_SOCKET;
u_long ipCurrent;
