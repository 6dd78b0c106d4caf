/* The switch notice's record, text and decision. */
#include <string.h>
#include "../core/textsafe.h"
#include "noticelogic.h"

#define PRINTER_LINE  "Default printer: "
#define LOCATION_LINE "Location: "
#define CUT_MARK      "..."
#define CUT_MARK_SIZE 3

NoticeRecordChoice ChooseNoticeRecord(unsigned long dwMajor, unsigned long dwMinor,
                                      unsigned long cbSecondLayout)
{
    NoticeRecordChoice choice;

    choice.cbSize = 0;
    choice.dwInfoFlags = 0;
    /* Shells before 5.0 have no balloon: the green icon is all they show. */
    if (dwMajor < 5)
        return choice;
    /* Every later shell takes the second layout; the flags are only those the
       shell knows, since an older one may refuse a record with others. */
    choice.cbSize = cbSecondLayout;
    choice.dwInfoFlags = NOTICE_FLAG_INFO;
    if (dwMajor >= 6)
        choice.dwInfoFlags |= NOTICE_FLAG_NOSOUND;
    if (dwMajor > 6 || (dwMajor == 6 && dwMinor >= 1))
        choice.dwInfoFlags |= NOTICE_FLAG_RESPECT_QUIET_TIME;
    return choice;
}

static int IsLeadByte(unsigned char ch, const unsigned char *pRanges)
{
    int i;

    /* The system lists at most six ranges. */
    for (i = 0; pRanges != NULL && i < 12 && (pRanges[i] != 0 || pRanges[i + 1] != 0); i += 2) {
        if (ch >= pRanges[i] && ch <= pRanges[i + 1])
            return 1;
    }
    return 0;
}

size_t FitWholeCharacters(const char *pszText, size_t cbMax, const unsigned char *pLeadByteRanges)
{
    size_t cb = 0;

    while (pszText[cb] != '\0') {
        /* A lead byte at the very end stands alone. */
        size_t cbChar = IsLeadByte((unsigned char)pszText[cb], pLeadByteRanges) &&
                                pszText[cb + 1] != '\0'
                            ? 2
                            : 1;
        if (cb + cbChar > cbMax)
            break;
        cb += cbChar;
    }
    return cb;
}

/* Appends at most cbRoom bytes of pszName: the whole name, or as much as
   fits with the cut mark after it. */
static void AppendName(char *pszNotice, const char *pszName, size_t cbRoom,
                       const unsigned char *pLeadByteRanges)
{
    char szPart[NOTICE_TEXT_SIZE];
    size_t cb;

    if (strlen(pszName) <= cbRoom) {
        StringCchCatA(pszNotice, NOTICE_TEXT_SIZE, pszName);
        return;
    }
    cb = cbRoom > CUT_MARK_SIZE ? cbRoom - CUT_MARK_SIZE : 0;
    cb = FitWholeCharacters(pszName, cb, pLeadByteRanges);
    /* cb is below the part's size: cbRoom never exceeds the field. */
    memcpy(szPart, pszName, cb);
    szPart[cb] = '\0';
    StringCchCatA(pszNotice, NOTICE_TEXT_SIZE, szPart);
    if (cbRoom >= CUT_MARK_SIZE)
        StringCchCatA(pszNotice, NOTICE_TEXT_SIZE, CUT_MARK);
}

void ComposeSwitchNotice(const char *pszPrinter, const char *pszLocation,
                         const unsigned char *pLeadByteRanges, char *pszNotice)
{
    size_t cbFixed, cbRoom, cbPrinter, cbLocation, cbPrinterRoom, cbLocationRoom;

    cbFixed = strlen(PRINTER_LINE) + 1 +
              (pszLocation != NULL ? strlen(LOCATION_LINE) : strlen(NOTICE_NO_LOCATION_TEXT));
    cbRoom = NOTICE_TEXT_SIZE - 1 - cbFixed;
    cbPrinter = strlen(pszPrinter);
    cbLocation = pszLocation != NULL ? strlen(pszLocation) : 0;

    /* Two long names share the room: a short one keeps its whole length and
       the other takes the rest. */
    cbPrinterRoom = cbRoom;
    cbLocationRoom = 0;
    if (pszLocation != NULL) {
        if (cbLocation <= cbRoom / 2)
            cbLocationRoom = cbLocation;
        else if (cbPrinter <= cbRoom - cbRoom / 2)
            cbLocationRoom = cbRoom - cbPrinter;
        else
            cbLocationRoom = cbRoom / 2;
        cbPrinterRoom = cbRoom - cbLocationRoom;
    }

    StringCchCopyA(pszNotice, NOTICE_TEXT_SIZE, PRINTER_LINE);
    AppendName(pszNotice, pszPrinter, cbPrinterRoom, pLeadByteRanges);
    StringCchCatA(pszNotice, NOTICE_TEXT_SIZE, "\n");
    if (pszLocation == NULL) {
        StringCchCatA(pszNotice, NOTICE_TEXT_SIZE, NOTICE_NO_LOCATION_TEXT);
        return;
    }
    StringCchCatA(pszNotice, NOTICE_TEXT_SIZE, LOCATION_LINE);
    AppendName(pszNotice, pszLocation, cbLocationRoom, pLeadByteRanges);
}

int DecideSwitchNotice(int iSwitchBy, const char *pszDefaultBefore, const char *pszDefaultAfter,
                       int bNotifyOnSwitch)
{
    /* A choice in the menu is the user's own; a switch that failed, or
       one to the printer that was already the default, changed nothing. */
    return iSwitchBy == SWITCH_BY_LOCATION && bNotifyOnSwitch &&
           strcmp(pszDefaultBefore, pszDefaultAfter) != 0;
}
