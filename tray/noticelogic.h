/* The notice a location's switch brings: which record the shell takes, its
   text, and whether there is one at all. Plain data only, so it is tested
   without a shell. */
#ifndef QUORVEL_NOTICELOGIC_H
#define QUORVEL_NOTICELOGIC_H

#include <stddef.h>

/* The shell's balloon fields: 255 characters of text, 63 of title. */
#define NOTICE_TEXT_SIZE        256
#define NOTICE_TITLE_SIZE       64
#define NOTICE_TITLE            "Quorvel"
#define NOTICE_NO_LOCATION_TEXT "No location matched"

/* The shell's balloon flags, by their values: the native build has no
   shell headers. */
#define NOTICE_FLAG_INFO                0x00000001UL
#define NOTICE_FLAG_NOSOUND             0x00000010UL
#define NOTICE_FLAG_RESPECT_QUIET_TIME  0x00000080UL

/* Who made a switch. */
#define SWITCH_BY_MENU      0
#define SWITCH_BY_LOCATION  1

typedef struct NoticeRecordChoice {
    unsigned long cbSize;      /* 0: this shell shows no notice */
    unsigned long dwInfoFlags;
} NoticeRecordChoice;

/* The record size and flags for a shell of version dwMajor.dwMinor (shell32's
   own version), cbSecondLayout being the size of the record's second layout
   on this system. */
NoticeRecordChoice ChooseNoticeRecord(unsigned long dwMajor, unsigned long dwMinor,
                                      unsigned long cbSecondLayout);

/* Bytes of the longest start of pszText, at most cbMax, that ends between
   two characters. pLeadByteRanges: the code page's lead-byte ranges as pairs
   of first and last byte, ended by a zero pair (as the system lists them). */
size_t FitWholeCharacters(const char *pszText, size_t cbMax, const unsigned char *pLeadByteRanges);

/* Fills pszNotice (NOTICE_TEXT_SIZE bytes) with two lines naming the new
   default printer and the location, or NOTICE_NO_LOCATION_TEXT when
   pszLocation is NULL (the no-match printer). Names too long for the field
   are shortened with "..." and never inside a character. */
void ComposeSwitchNotice(const char *pszPrinter, const char *pszLocation,
                         const unsigned char *pLeadByteRanges, char *pszNotice);

/* Non-zero when a switch deserves a notice: a location made it, the default
   printer is another one afterwards, and the user wants to be told. */
int DecideSwitchNotice(int iSwitchBy, const char *pszDefaultBefore, const char *pszDefaultAfter,
                       int bNotifyOnSwitch);

#endif
