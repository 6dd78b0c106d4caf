/* The settings store: AutoSettings in the current user's registry hive, the
   five values in the settings key and one numbered subkey per location. Only
   this file calls the registry. A load asks only to read, so a key that an
   administrator made read-only still loads, and falls back to what the record
   already holds; a save writes all of it or, when any part is refused,
   puts back what the store held. */
#include <string.h>
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
   this location alone. */
static BOOL WriteLocation(const LocationRecord *pLocation, int i)
{
    char szPath[128];
    HKEY hLocation;
    DWORD dwDisposition = 0;
    BOOL bWritten = TRUE;

    FormatLocationKey(szPath, sizeof(szPath), i);
    if (RegCreateKeyExA(HKEY_CURRENT_USER, szPath, 0, (LPSTR) "", REG_OPTION_NON_VOLATILE,
                        KEY_SET_VALUE | KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS, NULL, &hLocation,
                        &dwDisposition) != ERROR_SUCCESS)
        return FALSE;
    if (dwDisposition != REG_CREATED_NEW_KEY)
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

/* Writes the whole record over the store. The list goes first, then the
   subkeys past it go, then the flags and last the count; FALSE at the
   first part refused, with the rest left unwritten. */
static BOOL WriteStore(HKEY hKey, const AutoSettingsRecord *pSettings, int iCount)
{
    char szName[KEY_NAME_SIZE];
    DWORD iIndex = 0;
    LONG lResult;
    int i;

    for (i = 0; i < iCount; i++) {
        if (!WriteLocation(&pSettings->locations[i], i))
            return FALSE;
    }
    /* Every other subkey goes, whatever its name, so a shorter list leaves
       nothing stale behind. One that cannot be deleted ends the save, so
       nothing loops on it. */
    while ((lResult = RegEnumKeyA(hKey, iIndex, szName, sizeof(szName))) == ERROR_SUCCESS) {
        if (IsLocationKeyName(szName, iCount))
            iIndex++;
        else if (!DeleteKeyTree(hKey, szName))
            return FALSE;
    }
    if (lResult != ERROR_NO_MORE_ITEMS)
        return FALSE;
    return WriteNumber(hKey, "bIfNoMatch", pSettings->bIfNoMatch) &&
           WriteNumber(hKey, "bSetByIP", pSettings->bSetByIP) &&
           WriteNumber(hKey, "iIconAction", pSettings->iIconAction) &&
           WriteNumber(hKey, "bNotifyOnSwitch", pSettings->bNotifyOnSwitch != 0) &&
           WriteText(hKey, "szNoMatchPrinter", pSettings->szNoMatchPrinter) &&
           WriteNumber(hKey, "iAutoPrinterCount", iCount);
}

/* Room for the longest value name the registry allows, 16383 characters,
   in two bytes each, and its NUL. */
#define VALUE_NAME_SIZE 32768
/* A value larger than this is not taken into a snapshot (nor is the save). */
#define VALUE_DATA_LIMIT 0x04000000UL
/* Written after each value's bytes. The 8-bit value writer counts a text's
   NUL in when the byte past the given size is one, which a text stored
   without its NUL must not get when it is put back. */
#define SNAPSHOT_GUARD_BYTE 0xFF

/* What a save found in the store before writing: the settings key's tree,
   every value and subkey at every depth, in one heap block. A key is laid
   out as its number of values, each value (name with its NUL, type, size,
   bytes, guard byte), its number of subkeys and each subkey (name with its
   NUL, then that key laid out the same way). */
typedef struct StoreSnapshot {
    BYTE *pBlock;
    DWORD cbUsed;
    DWORD cbBlock;
    /* Room for one value while reading the store, then while comparing. */
    char *pszValueName;
    BYTE *pValueData;
    DWORD cbValueData;
} StoreSnapshot;

typedef struct SnapshotValue {
    const char *pszName;
    DWORD dwType;
    DWORD cbData;
    const BYTE *pData;
} SnapshotValue;

/* Makes a heap block at least cbNeeded bytes large, keeping its bytes. */
static BOOL GrowBlock(BYTE **ppBlock, DWORD *pcbBlock, DWORD cbNeeded)
{
    DWORD cbNew = *pcbBlock < 4096 ? 4096 : *pcbBlock;
    BYTE *pNew;

    if (cbNeeded <= *pcbBlock)
        return TRUE;
    while (cbNew < cbNeeded && cbNew < 0x40000000UL)
        cbNew *= 2;
    if (cbNew < cbNeeded)
        return FALSE;
    pNew = (BYTE *)(*ppBlock == NULL ? HeapAlloc(GetProcessHeap(), 0, cbNew)
                                     : HeapReAlloc(GetProcessHeap(), 0, *ppBlock, cbNew));
    if (pNew == NULL)
        return FALSE;
    *ppBlock = pNew;
    *pcbBlock = cbNew;
    return TRUE;
}

static BOOL AppendBytes(StoreSnapshot *pSnap, const void *pData, DWORD cb)
{
    if (pSnap->cbUsed + cb < pSnap->cbUsed ||
        !GrowBlock(&pSnap->pBlock, &pSnap->cbBlock, pSnap->cbUsed + cb))
        return FALSE;
    CopyMemory(pSnap->pBlock + pSnap->cbUsed, pData, cb);
    pSnap->cbUsed += cb;
    return TRUE;
}

static BOOL AppendDword(StoreSnapshot *pSnap, DWORD dwValue)
{
    return AppendBytes(pSnap, &dwValue, sizeof(dwValue));
}

/* A name with its NUL, after its size. */
static BOOL AppendName(StoreSnapshot *pSnap, const char *pszName)
{
    size_t cch = 0;

    if (FAILED(StringCchLengthA(pszName, VALUE_NAME_SIZE, &cch)))
        return FALSE;
    return AppendDword(pSnap, (DWORD)cch + 1) && AppendBytes(pSnap, pszName, (DWORD)cch + 1);
}

/* A count is written where a key's values or subkeys begin, once known. */
static void PatchDword(StoreSnapshot *pSnap, DWORD dwAt, DWORD dwValue)
{
    CopyMemory(pSnap->pBlock + dwAt, &dwValue, sizeof(dwValue));
}

static DWORD TakeDword(const BYTE **pp)
{
    DWORD dwValue;

    CopyMemory(&dwValue, *pp, sizeof(dwValue));
    *pp += sizeof(dwValue);
    return dwValue;
}

/* Reads the value laid out at p; returns where the next one begins. */
static const BYTE *ReadSnapshotValue(const BYTE *p, SnapshotValue *pValue)
{
    DWORD cbName = TakeDword(&p);

    pValue->pszName = (const char *)p;
    p += cbName;
    pValue->dwType = TakeDword(&p);
    pValue->cbData = TakeDword(&p);
    pValue->pData = p;
    return p + pValue->cbData + 1;
}

/* Where the key laid out at p ends. */
static const BYTE *SkipSnapshotKey(const BYTE *p)
{
    SnapshotValue value;
    DWORD c, i;

    c = TakeDword(&p);
    for (i = 0; i < c; i++)
        p = ReadSnapshotValue(p, &value);
    c = TakeDword(&p);
    for (i = 0; i < c; i++) {
        DWORD cbName = TakeDword(&p);
        p = SkipSnapshotKey(p + cbName);
    }
    return p;
}

/* Names are compared byte for byte: one spelt otherwise is another name
   here, taken away and put back as it was spelt. */
static BOOL HasSnapshotValue(const BYTE *p, DWORD cValues, const char *pszName)
{
    SnapshotValue value;
    DWORD i;

    for (i = 0; i < cValues; i++) {
        p = ReadSnapshotValue(p, &value);
        if (strcmp(value.pszName, pszName) == 0)
            return TRUE;
    }
    return FALSE;
}

static BOOL HasSnapshotSubKey(const BYTE *p, DWORD cSubKeys, const char *pszName)
{
    DWORD i;

    for (i = 0; i < cSubKeys; i++) {
        DWORD cbName = TakeDword(&p);
        if (strcmp((const char *)p, pszName) == 0)
            return TRUE;
        p = SkipSnapshotKey(p + cbName);
    }
    return FALSE;
}

/* Lays out an open key, with everything below it, at the snapshot's end.
   FALSE when any part of it cannot be read: what cannot be read could not
   be put back. */
static BOOL SnapshotKey(HKEY hKey, StoreSnapshot *pSnap)
{
    char szSubKey[KEY_NAME_SIZE];
    DWORD dwCountAt, iIndex, cchName, cbData, dwType;
    BYTE bGuard = SNAPSHOT_GUARD_BYTE;
    HKEY hSubKey;
    LONG lResult;
    BOOL bTaken;

    dwCountAt = pSnap->cbUsed;
    if (!AppendDword(pSnap, 0))
        return FALSE;
    for (iIndex = 0;;) {
        cchName = VALUE_NAME_SIZE;
        cbData = pSnap->cbValueData;
        lResult = RegEnumValueA(hKey, iIndex, pSnap->pszValueName, &cchName, NULL, &dwType,
                                pSnap->pValueData, &cbData);
        if (lResult == ERROR_NO_MORE_ITEMS)
            break;
        if (lResult == ERROR_MORE_DATA) {
            /* The same value again with more room; the room only grows. */
            if (pSnap->cbValueData >= VALUE_DATA_LIMIT ||
                !GrowBlock(&pSnap->pValueData, &pSnap->cbValueData,
                           cbData > pSnap->cbValueData ? cbData : pSnap->cbValueData + 1))
                return FALSE;
            continue;
        }
        if (lResult != ERROR_SUCCESS || !AppendName(pSnap, pSnap->pszValueName) ||
            !AppendDword(pSnap, dwType) || !AppendDword(pSnap, cbData) ||
            !AppendBytes(pSnap, pSnap->pValueData, cbData) || !AppendBytes(pSnap, &bGuard, 1))
            return FALSE;
        iIndex++;
    }
    PatchDword(pSnap, dwCountAt, iIndex);

    dwCountAt = pSnap->cbUsed;
    if (!AppendDword(pSnap, 0))
        return FALSE;
    for (iIndex = 0;; iIndex++) {
        lResult = RegEnumKeyA(hKey, iIndex, szSubKey, sizeof(szSubKey));
        if (lResult == ERROR_NO_MORE_ITEMS)
            break;
        if (lResult != ERROR_SUCCESS ||
            RegOpenKeyExA(hKey, szSubKey, 0, KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS, &hSubKey) !=
                ERROR_SUCCESS)
            return FALSE;
        bTaken = AppendName(pSnap, szSubKey) && SnapshotKey(hSubKey, pSnap);
        RegCloseKey(hSubKey);
        if (!bTaken)
            return FALSE;
    }
    PatchDword(pSnap, dwCountAt, iIndex);
    return TRUE;
}

static void FreeSnapshot(StoreSnapshot *pSnap)
{
    if (pSnap->pBlock != NULL)
        HeapFree(GetProcessHeap(), 0, pSnap->pBlock);
    if (pSnap->pszValueName != NULL)
        HeapFree(GetProcessHeap(), 0, pSnap->pszValueName);
    if (pSnap->pValueData != NULL)
        HeapFree(GetProcessHeap(), 0, pSnap->pValueData);
    ZeroMemory(pSnap, sizeof(*pSnap));
}

static BOOL TakeSnapshot(HKEY hKey, StoreSnapshot *pSnap)
{
    ZeroMemory(pSnap, sizeof(*pSnap));
    pSnap->pszValueName = (char *)HeapAlloc(GetProcessHeap(), 0, VALUE_NAME_SIZE);
    return pSnap->pszValueName != NULL &&
           GrowBlock(&pSnap->pValueData, &pSnap->cbValueData, 1) && SnapshotKey(hKey, pSnap);
}

/* Whether the key holds this value with the same type and bytes. The room
   fits every value of the snapshot, so a larger one simply differs. */
static BOOL HoldsValue(HKEY hKey, const SnapshotValue *pValue, StoreSnapshot *pSnap)
{
    DWORD dwType = 0, cbData = pSnap->cbValueData;

    return RegQueryValueExA(hKey, pValue->pszName, NULL, &dwType, pSnap->pValueData, &cbData) ==
               ERROR_SUCCESS &&
           dwType == pValue->dwType && cbData == pValue->cbData &&
           memcmp(pSnap->pValueData, pValue->pData, cbData) == 0;
}

/* Only a key that differs is opened for writing, so one that refused the
   save, and so still holds what it held, needs no right to write. */
static BOOL OpenForWriting(HKEY hParent, const char *pszName, HKEY *phWrite)
{
    return *phWrite != NULL || RegOpenKeyExA(hParent, pszName, 0, KEY_SET_VALUE | KEY_CREATE_SUB_KEY,
                                             phWrite) == ERROR_SUCCESS;
}

/* A key put back lasts, unless its parent lasts only until the system
   restarts: the snapshot cannot tell which it was. */
static LONG RecreateKey(HKEY hParent, const char *pszName, HKEY *phKey)
{
    const REGSAM samRights = KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS | KEY_SET_VALUE |
                             KEY_CREATE_SUB_KEY;
    LONG lResult = RegCreateKeyExA(hParent, pszName, 0, (LPSTR) "", REG_OPTION_NON_VOLATILE,
                                   samRights, NULL, phKey, NULL);

    if (lResult == ERROR_CHILD_MUST_BE_VOLATILE)
        lResult = RegCreateKeyExA(hParent, pszName, 0, (LPSTR) "", REG_OPTION_VOLATILE, samRights,
                                  NULL, phKey, NULL);
    return lResult;
}

/* Makes the key pszName below hParent, open for reading as hKey, hold what
   the snapshot's key at *ppNode holds, writing only what differs: values
   and subkeys it does not hold go, the others are written back where they
   differ. With bPutBack FALSE it only looks. *ppNode moves past that key.
   TRUE when the key holds exactly that now. */
static BOOL MatchKey(HKEY hParent, const char *pszName, HKEY hKey, const BYTE **ppNode,
                     StoreSnapshot *pSnap, BOOL bPutBack)
{
    const BYTE *p = *ppNode, *pValues, *pSubKeys;
    char szSubKey[KEY_NAME_SIZE];
    DWORD cValues, cSubKeys, iIndex, cchName, i;
    SnapshotValue value;
    HKEY hWrite = NULL, hSubKey;
    BOOL bSame = TRUE;
    LONG lResult;

    *ppNode = SkipSnapshotKey(p);
    cValues = TakeDword(&p);
    pValues = p;
    for (i = 0; i < cValues; i++)
        p = ReadSnapshotValue(p, &value);
    cSubKeys = TakeDword(&p);
    pSubKeys = p;

    for (iIndex = 0;;) {
        cchName = VALUE_NAME_SIZE;
        lResult = RegEnumValueA(hKey, iIndex, pSnap->pszValueName, &cchName, NULL, NULL, NULL, NULL);
        if (lResult == ERROR_NO_MORE_ITEMS)
            break;
        if (lResult != ERROR_SUCCESS) {
            bSame = FALSE;
            break;
        }
        if (HasSnapshotValue(pValues, cValues, pSnap->pszValueName)) {
            iIndex++;
        } else if (!bPutBack || !OpenForWriting(hParent, pszName, &hWrite) ||
                   RegDeleteValueA(hWrite, pSnap->pszValueName) != ERROR_SUCCESS) {
            bSame = FALSE;
            iIndex++;
        }
    }
    for (i = 0, p = pValues; i < cValues; i++) {
        p = ReadSnapshotValue(p, &value);
        if (!HoldsValue(hKey, &value, pSnap) &&
            (!bPutBack || !OpenForWriting(hParent, pszName, &hWrite) ||
             RegSetValueExA(hWrite, value.pszName, 0, value.dwType, value.pData, value.cbData) !=
                 ERROR_SUCCESS))
            bSame = FALSE;
    }

    for (iIndex = 0;;) {
        lResult = RegEnumKeyA(hKey, iIndex, szSubKey, sizeof(szSubKey));
        if (lResult == ERROR_NO_MORE_ITEMS)
            break;
        if (lResult != ERROR_SUCCESS) {
            bSame = FALSE;
            break;
        }
        if (HasSnapshotSubKey(pSubKeys, cSubKeys, szSubKey)) {
            iIndex++;
        } else if (!bPutBack || !DeleteKeyTree(hKey, szSubKey)) {
            bSame = FALSE;
            iIndex++;
        }
    }
    for (i = 0, p = pSubKeys; i < cSubKeys; i++) {
        const char *pszSubKey;
        DWORD cbName = TakeDword(&p);

        pszSubKey = (const char *)p;
        p += cbName;
        lResult = RegOpenKeyExA(hKey, pszSubKey, 0, KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS,
                                &hSubKey);
        if (lResult == ERROR_FILE_NOT_FOUND && bPutBack && OpenForWriting(hParent, pszName, &hWrite))
            lResult = RecreateKey(hWrite, pszSubKey, &hSubKey);
        if (lResult == ERROR_SUCCESS) {
            bSame &= MatchKey(hKey, pszSubKey, hSubKey, &p, pSnap, bPutBack);
            RegCloseKey(hSubKey);
        } else {
            p = SkipSnapshotKey(p);
            bSame = FALSE;
        }
    }
    if (hWrite != NULL)
        RegCloseKey(hWrite);
    return bSame;
}

/* Makes the store what the snapshot holds; TRUE when a second look finds
   it so, every write having taken. */
static BOOL PutBackSnapshot(HKEY hKey, StoreSnapshot *pSnap)
{
    const BYTE *p = pSnap->pBlock;

    MatchKey(HKEY_CURRENT_USER, SETTINGS_KEY, hKey, &p, pSnap, TRUE);
    p = pSnap->pBlock;
    return MatchKey(HKEY_CURRENT_USER, SETTINGS_KEY, hKey, &p, pSnap, FALSE);
}

/* Rights for the settings key: its values read and written, and the
   location subkeys made, listed and deleted below it. */
#define SETTINGS_SAVE_RIGHTS \
    (KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_ENUMERATE_SUB_KEYS)

/* A save is whole or nothing: it first reads what the store holds, and
   when any part of the record is refused it puts exactly that back. So
   the stored count always equals the subkeys, and a refused save never
   leaves new flags beside the old list. A store that cannot be read in
   full is not written at all. */
int WriteSettings(const AutoSettingsRecord *pSettings)
{
    StoreSnapshot snapshot;
    HKEY hKey;
    DWORD dwDisposition = 0;
    int iCount, iOutcome;

    iCount = CapLocationCount(pSettings->iAutoPrinterCount);
    if (iCount < 0)
        iCount = 0;

    if (RegCreateKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY, 0, (LPSTR) "", REG_OPTION_NON_VOLATILE,
                        SETTINGS_SAVE_RIGHTS, NULL, &hKey, &dwDisposition) != ERROR_SUCCESS)
        return SAVE_REFUSED;
    iOutcome = SAVE_REFUSED;
    if (TakeSnapshot(hKey, &snapshot)) {
        if (WriteStore(hKey, pSettings, iCount))
            iOutcome = SAVE_WRITTEN;
        else if (dwDisposition != REG_CREATED_NEW_KEY && !PutBackSnapshot(hKey, &snapshot))
            iOutcome = SAVE_LEFT_CHANGED;
    }
    FreeSnapshot(&snapshot);
    RegCloseKey(hKey);
    /* There was no store before this save: none is left behind. */
    if (iOutcome != SAVE_WRITTEN && dwDisposition == REG_CREATED_NEW_KEY &&
        !DeleteKeyTree(HKEY_CURRENT_USER, SETTINGS_KEY))
        iOutcome = SAVE_LEFT_CHANGED;
    return iOutcome;
}

BOOL SaveSettings(void)
{
    return WriteSettings(&AutoSettings) == SAVE_WRITTEN;
}
