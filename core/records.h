/* The fixed-size records Quorvel works on. Plain data only, so the logic over
   them builds and is tested without a window or the platform. */
#ifndef QUORVEL_RECORDS_H
#define QUORVEL_RECORDS_H

/* Every name field holds at most 254 characters and its NUL. */
#define NAME_FIELD_SIZE     255
#define MAX_PRINTERS        50
#define MAX_LOCATIONS       10
/* Tip field of the first NOTIFYICONDATA layout: 63 characters and the NUL. */
#define TIP_FIELD_SIZE      64

#define NO_MATCH_TEXT       "No match"
#define NOT_SET_TEXT        "Not set"

typedef struct LocationRecord {
    char szLocationName[NAME_FIELD_SIZE];
    char szPrinterName[NAME_FIELD_SIZE];
    char szIPStart[NAME_FIELD_SIZE];
    char szIPFinish[NAME_FIELD_SIZE];
    /* The router this location requires ("02-00-00-00-00-0A"), or "" for
       any network. */
    char szGatewayMAC[NAME_FIELD_SIZE];
} LocationRecord;

/* The only persisted state; flags are 32-bit and count as set when non-zero. */
typedef struct AutoSettingsRecord {
    int bSetByIP;
    int bIfNoMatch;
    int iAutoPrinterCount;
    LocationRecord locations[MAX_LOCATIONS];
    char szNoMatchPrinter[NAME_FIELD_SIZE];
    int iIconAction;
    /* Stored as its own value; absent means on. */
    int bNotifyOnSwitch;
} AutoSettingsRecord;

typedef char PrinterRow[NAME_FIELD_SIZE];
/* A printer's name in UTF-16, as the NT spooler keeps it. */
typedef wchar_t PrinterWideRow[NAME_FIELD_SIZE];

#endif
