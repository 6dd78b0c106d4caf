/* Dialog procedures of the program's modal dialogs. */
#ifndef QUORVEL_DIALOGS_H
#define QUORVEL_DIALOGS_H

#include <windows.h>
#include "../core/records.h"

/* What the About dialog's web button opens. */
#define WEB_ADDRESS "http://quorvel.example.org/"

INT_PTR CALLBACK AboutDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);

/* Opens the configuration dialog, or brings the open one forward: there is
   never more than one. */
void OpenConfigDialog(HWND hOwner);
INT_PTR CALLBACK ConfigDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);
/* Sets the controls from the settings; the location list is filled apart. */
void InitConfigControls(HWND hDlg, const AutoSettingsRecord *pSettings);
/* One row per location, at most ten; a larger count is lowered to ten. */
void FillLocationList(HWND hList, AutoSettingsRecord *pSettings);
/* Inserts a location as a row in name order; FALSE when the list refused it
   or already holds more than ten rows. */
BOOL AddLocationRow(HWND hList, const LocationRecord *pRecord);
/* Copies the rows, in list order, into the locations; FALSE, with nothing
   copied, when the row count is not one the ten records can hold. */
BOOL ReadLocationList(HWND hList, AutoSettingsRecord *pSettings);
/* Reads the check boxes, the no-match printer and the icon action. */
void ReadConfigControls(HWND hDlg, AutoSettingsRecord *pSettings);
/* Adds every printer of the table that settings can name to a combo box,
   which sorts them. */
void FillPrinterBox(HWND hDlg, int iBoxId);
/* Selects the item that is exactly pszName (case counts); 0, with the
   selection left alone, when there is none. */
int SelectPrinterInBox(HWND hDlg, int iBoxId, const char *pszName);

INT_PTR CALLBACK LocationDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);

#endif
