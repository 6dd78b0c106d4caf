/* The settings store: AutoSettings in the current user's registry hive, the
   five values in the settings key and one numbered subkey per location. Only
   this file calls the registry. A load asks only to read, so a key that an
   administrator made read-only still loads, and falls back to what the record
   already holds; a save writes what it can and says whether all of it was
   written. */
#include "../core/textsafe.h"
#include "../core/state.h"
#include "locations.h"
#include "routerlogic.h"
#include "settingslogic.h"

/* The bytes are taken as stored, whatever the value's type; a value longer
   than four bytes leaves its field as it was. */
static void ReadNumber(HKEY hKey, const char *pszName, int *piField)
{
    DWORD dwValue = 0, cbData = sizeof(dwValue);

    if (RegQueryValueExA(hKey, pszName, NULL, NULL, (BYTE *)&dwValue, &cbData) == ERROR_SUCCESS)
        *piField = (int)dwValue;
}

static void ReadText(HKEY hKey, const char *pszName, char *pszField)
{
    DWORD cbData = NAME_FIELD_SIZE;
    LONG lResult = RegQueryValueExA(hKey, pszName, NULL, NULL, (BYTE *)pszField, &cbData);

    if (lResult == ERROR_SUCCESS) {
        TerminateStoredText(pszField, NAME_FIELD_SIZE, cbData);
    } else if (lResult == ERROR_MORE_DATA) {
        /* Too long for its field: keep what fits rather than lose it all. */
        BYTE *pData = (BYTE *)HeapAlloc(GetProcessHeap(), 0, cbData);
        if (pData != NULL) {
            if (RegQueryValueExA(hKey, pszName, NULL, NULL, pData, &cbData) == ERROR_SUCCESS) {
                CopyMemory(pszField, pData, NAME_FIELD_SIZE - 1);
                pszField[NAME_FIELD_SIZE - 1] = '\0';
            }
            HeapFree(GetProcessHeap(), 0, pData);
        }
        /* The platform may have filled the field before refusing. */
        pszField[NAME_FIELD_SIZE - 1] = '\0';
    }
}

/* Room for the longest key name the registry allows, 255 characters (which an
   ANSI text in a double-byte code page may spell in two bytes each), and its
   NUL. A name that did not fit would end a walk early and leave stale
   subkeys under the new count. */
#define KEY_NAME_SIZE (2 * 255 + 1)

static void FormatLocationKey(char *pszPath, size_t cchPath, int i)
{
    StringCchPrintfA(pszPath, cchPath, "%s\\%i", SETTINGS_KEY, i);
}

void LoadSettings(void)
{
    HKEY hKey;
    DWORD cSubKeys = 0, i;

    /* Absent means on, so a store from before the notice still gets it. */
    AutoSettings.bNotifyOnSwitch = 1;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY, 0, KEY_READ, &hKey) != ERROR_SUCCESS) {
        AutoSettings.bSetByIP = 0;
        AutoSettings.bIfNoMatch = 0;
        AutoSettings.iIconAction = 0;
        AutoSettings.iAutoPrinterCount = 0;
        AutoSettings.szNoMatchPrinter[0] = '\0';
        return;
    }
    ReadNumber(hKey, "bIfNoMatch", &AutoSettings.bIfNoMatch);
    ReadNumber(hKey, "bSetByIP", &AutoSettings.bSetByIP);
    ReadNumber(hKey, "iAutoPrinterCount", &AutoSettings.iAutoPrinterCount);
    ReadNumber(hKey, "iIconAction", &AutoSettings.iIconAction);
    ReadNumber(hKey, "bNotifyOnSwitch", &AutoSettings.bNotifyOnSwitch);
    ReadText(hKey, "szNoMatchPrinter", AutoSettings.szNoMatchPrinter);

    if (RegQueryInfoKeyA(hKey, NULL, NULL, NULL, &cSubKeys, NULL, NULL, NULL, NULL, NULL, NULL,
                         NULL) != ERROR_SUCCESS)
        cSubKeys = 0;
    AutoSettings.iAutoPrinterCount = CountInEffect(AutoSettings.iAutoPrinterCount, cSubKeys);
    RegCloseKey(hKey);

    for (i = 0; i < SubKeysToRead(cSubKeys); i++) {
        char szPath[128];
        HKEY hLocation;
        LocationRecord *pLocation = &AutoSettings.locations[i];

        FormatLocationKey(szPath, sizeof(szPath), (int)i);
        if (RegOpenKeyExA(HKEY_CURRENT_USER, szPath, 0, KEY_READ, &hLocation) != ERROR_SUCCESS)
            continue;
        ReadText(hLocation, "szLocationName", pLocation->szLocationName);
        ReadText(hLocation, "szPrinterName", pLocation->szPrinterName);
        ReadText(hLocation, "szIPStart", pLocation->szIPStart);
        ReadText(hLocation, "szIPFinish", pLocation->szIPFinish);
        /* Absent, or not a hardware address, means any network. */
        pLocation->szGatewayMAC[0] = '\0';
        ReadText(hLocation, "szGatewayMAC", pLocation->szGatewayMAC);
        NormaliseGatewayText(pLocation->szGatewayMAC, NAME_FIELD_SIZE);
        RegCloseKey(hLocation);
    }
}

static BOOL WriteNumber(HKEY hKey, const char *pszName, int iValue)
{
    DWORD dwValue = (DWORD)iValue;
    return RegSetValueExA(hKey, pszName, 0, REG_DWORD, (const BYTE *)&dwValue, sizeof(dwValue)) ==
           ERROR_SUCCESS;
}

static BOOL WriteText(HKEY hKey, const char *pszName, const char *pszText)
{
    size_t cch = 0;
    /* Fields are terminated inside their 255 bytes; the bound only guards that. */
    if (FAILED(StringCchLengthA(pszText, NAME_FIELD_SIZE, &cch)))
        cch = NAME_FIELD_SIZE - 1;
    return RegSetValueExA(hKey, pszName, 0, REG_SZ, (const BYTE *)pszText, (DWORD)cch + 1) ==
           ERROR_SUCCESS;
}

/* Deletes a key with everything below it. The platform's own delete refuses
   a key that has subkeys on NT, and a key nobody can delete must not make
   the caller loop; FALSE tells it to step over this one. */
static BOOL DeleteKeyTree(HKEY hParent, const char *pszName)
{
    HKEY hKey;
    char szChild[KEY_NAME_SIZE];
    DWORD iIndex = 0;

    if (RegDeleteKeyA(hParent, pszName) == ERROR_SUCCESS)
        return TRUE;
    if (RegOpenKeyExA(hParent, pszName, 0, KEY_ENUMERATE_SUB_KEYS, &hKey) != ERROR_SUCCESS)
        return FALSE;
    while (RegEnumKeyA(hKey, iIndex, szChild, sizeof(szChild)) == ERROR_SUCCESS) {
        if (!DeleteKeyTree(hKey, szChild))
            iIndex++;
    }
    RegCloseKey(hKey);
    return RegDeleteKeyA(hParent, pszName) == ERROR_SUCCESS;
}

/* Rights for the settings key: its values, and the location subkeys made,
   listed and deleted below it. */
#define SETTINGS_WRITE_RIGHTS (KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_ENUMERATE_SUB_KEYS)

/* Whether a subkey's name is that of a location of a list of iCount: "0" to
   iCount - 1 in decimal, without leading zeros. */
static BOOL IsLocationKeyName(const char *pszName, int iCount)
{
    int iValue = 0, i;

    for (i = 0; pszName[i] != '\0'; i++) {
        if (pszName[i] < '0' || pszName[i] > '9' || i >= 2 || (i > 0 && pszName[0] == '0'))
            return FALSE;
        iValue = iValue * 10 + (pszName[i] - '0');
    }
    return i > 0 && iValue < iCount;
}

/* Empties a key of the values and keys a hand edit may have left in it;
   what cannot be deleted is stepped over. */
static void EmptyKey(HKEY hKey)
{
    char szName[16384];
    DWORD cchName, iIndex = 0;

    while (RegEnumKeyA(hKey, iIndex, szName, sizeof(szName)) == ERROR_SUCCESS) {
        if (!DeleteKeyTree(hKey, szName))
            iIndex++;
    }
    iIndex = 0;
    for (;;) {
        cchName = sizeof(szName);
        if (RegEnumValueA(hKey, iIndex, szName, &cchName, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
            break;
        if (RegDeleteValueA(hKey, szName) != ERROR_SUCCESS)
            iIndex++;
    }
}

/* Writes location i into its subkey, over what it held, so that it holds
   this location alone. *pbCreated tells whether the subkey was made by this
   call. */
static BOOL WriteLocation(const LocationRecord *pLocation, int i, BOOL *pbCreated)
{
    char szPath[128];
    HKEY hLocation;
    DWORD dwDisposition = 0;
    BOOL bWritten = TRUE;

    *pbCreated = FALSE;
    FormatLocationKey(szPath, sizeof(szPath), i);
    if (RegCreateKeyExA(HKEY_CURRENT_USER, szPath, 0, (LPSTR) "", REG_OPTION_NON_VOLATILE,
                        KEY_SET_VALUE | KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS, NULL, &hLocation,
                        &dwDisposition) != ERROR_SUCCESS)
        return FALSE;
    *pbCreated = dwDisposition == REG_CREATED_NEW_KEY;
    if (!*pbCreated)
        EmptyKey(hLocation);
    bWritten &= WriteText(hLocation, "szLocationName", pLocation->szLocationName);
    bWritten &= WriteText(hLocation, "szPrinterName", pLocation->szPrinterName);
    bWritten &= WriteText(hLocation, "szIPStart", pLocation->szIPStart);
    bWritten &= WriteText(hLocation, "szIPFinish", pLocation->szIPFinish);
    if (pLocation->szGatewayMAC[0] != '\0')
        bWritten &= WriteText(hLocation, "szGatewayMAC", pLocation->szGatewayMAC);
    RegCloseKey(hLocation);
    return bWritten;
}

/* Deletes the subkeys among the first iCount locations that this save made. */
static void TakeBackLocations(HKEY hKey, const BOOL *pbCreated, int iCount)
{
    char szName[16];
    int i;

    for (i = 0; i < iCount; i++) {
        if (pbCreated[i] && SUCCEEDED(StringCchPrintfA(szName, sizeof(szName), "%i", i)))
            DeleteKeyTree(hKey, szName);
    }
}

/* The stored count must always equal the subkeys, or the next load would
   disregard the whole list. So the list goes first, over the old one; only
   once every location is written do the subkeys past it go and the count
   follow. A list that cannot be written in full takes back the subkeys it
   made and leaves the count as it was, and the next start still loads a
   list. */
BOOL WriteSettings(const AutoSettingsRecord *pSettings)
{
    HKEY hKey;
    DWORD dwDisposition, iIndex = 0;
    char szName[KEY_NAME_SIZE];
    BOOL bCreated[MAX_LOCATIONS];
    int i, iCount;
    BOOL bWritten = TRUE;
    LONG lResult;

    iCount = CapLocationCount(pSettings->iAutoPrinterCount);
    if (iCount < 0)
        iCount = 0;

    if (RegCreateKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY, 0, (LPSTR) "", REG_OPTION_NON_VOLATILE,
                        SETTINGS_WRITE_RIGHTS, NULL, &hKey, &dwDisposition) != ERROR_SUCCESS)
        return FALSE;
    bWritten &= WriteNumber(hKey, "bIfNoMatch", pSettings->bIfNoMatch);
    bWritten &= WriteNumber(hKey, "bSetByIP", pSettings->bSetByIP);
    bWritten &= WriteNumber(hKey, "iIconAction", pSettings->iIconAction);
    bWritten &= WriteNumber(hKey, "bNotifyOnSwitch", pSettings->bNotifyOnSwitch != 0);
    bWritten &= WriteText(hKey, "szNoMatchPrinter", pSettings->szNoMatchPrinter);

    for (i = 0; i < iCount; i++) {
        if (!WriteLocation(&pSettings->locations[i], i, &bCreated[i])) {
            TakeBackLocations(hKey, bCreated, i + 1);
            RegCloseKey(hKey);
            return FALSE;
        }
    }

    /* Every other subkey goes, whatever its name, so a shorter list leaves
       nothing stale behind; one that cannot be deleted is stepped over. */
    while ((lResult = RegEnumKeyA(hKey, iIndex, szName, sizeof(szName))) == ERROR_SUCCESS) {
        if (IsLocationKeyName(szName, iCount)) {
            iIndex++;
        } else if (!DeleteKeyTree(hKey, szName)) {
            bWritten = FALSE;
            iIndex++;
        }
    }
    if (lResult != ERROR_NO_MORE_ITEMS)
        bWritten = FALSE;

    bWritten &= WriteNumber(hKey, "iAutoPrinterCount", iCount);
    RegCloseKey(hKey);
    return bWritten;
}

BOOL SaveSettings(void)
{
    return WriteSettings(&AutoSettings);
}
