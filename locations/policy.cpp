/* Policies: the settings and locations an organisation sets for Quorvel, in
   the keys Group Policy writes, one for the machine and one for the user.
   They are only read, with the user's rights. A key that is absent or cannot
   be read holds nothing; a value of the wrong type, or a row that does not
   parse, is skipped on its own and the rest still counts. */
#include "../core/state.h"
#include "../core/syslib.h"
#include "../core/textsafe.h"
#include "locations.h"
#include "policylogic.h"
#include "settingslogic.h"

/* Below HKEY_LOCAL_MACHINE for the machine, HKEY_CURRENT_USER for the user;
   managed locations are the subkeys 0 to 9 of the Locations key below it. */
#define POLICY_KEY "SOFTWARE\\Policies\\Brennick\\Quorvel"
#define POLICY_LOCATIONS_KEY "Locations"

#ifndef KEY_WOW64_64KEY
#define KEY_WOW64_64KEY 0x0100
#endif

PolicyRecord MachinePolicy;
PolicyRecord UserPolicy;
/* Derived, never kept: rebuilt whenever it is asked for. */
static AutoSettingsRecord SettingsInForce;

typedef BOOL(WINAPI *ISWOW64PROCESSPROC)(HANDLE, PBOOL);

/* Rights to read the machine's policy key. Microsoft's table of the keys
   WOW64 affects lists SOFTWARE\Policies as shared between the 32- and 64-bit
   views on every Windows that has WOW64; a 32-bit Quorvel under WOW64 still
   names the 64-bit view, where the Group Policy client writes, so that no
   redirection can ever come between them. A system without WOW64 (95, NT 4,
   2000, any 32-bit Windows) is never given the flag, which the oldest of them
   refuse. */
static REGSAM MachineReadRights(void)
{
    ISWOW64PROCESSPROC pfnIsWow64 =
        (ISWOW64PROCESSPROC)FindLoadedFunction("kernel32.dll", "IsWow64Process");
    BOOL bWow64 = FALSE;

    if (pfnIsWow64 != NULL && pfnIsWow64(GetCurrentProcess(), &bWow64) && bWow64)
        return KEY_READ | KEY_WOW64_64KEY;
    return KEY_READ;
}

/* A REG_DWORD of four bytes, as the templates write numbers. */
static void ReadPolicyNumber(HKEY hKey, const char *pszName, unsigned int uValue,
                             PolicyRecord *pPolicy)
{
    DWORD dwType = 0, dwValue = 0, cbData = sizeof(dwValue);

    if (RegQueryValueExA(hKey, pszName, NULL, &dwType, (BYTE *)&dwValue, &cbData) ==
            ERROR_SUCCESS &&
        dwType == REG_DWORD && cbData == sizeof(dwValue))
        SetPolicyNumber(pPolicy, uValue, (int)dwValue);
}

/* A REG_SZ that fits a field; a longer one is skipped rather than cut, as a
   cut name would be another one. 1 when read; the field is empty otherwise. */
static int ReadPolicyText(HKEY hKey, const char *pszName, char *pszField)
{
    char szText[NAME_FIELD_SIZE];
    DWORD dwType = 0, cbData = sizeof(szText);

    pszField[0] = '\0';
    /* Into a buffer of its own: a refused read may have filled it partly. */
    if (RegQueryValueExA(hKey, pszName, NULL, &dwType, (BYTE *)szText, &cbData) !=
            ERROR_SUCCESS ||
        dwType != REG_SZ)
        return 0;
    TerminateStoredText(szText, sizeof(szText), cbData);
    StringCchCopyA(pszField, NAME_FIELD_SIZE, szText);
    return 1;
}

static void ReadPolicyValues(HKEY hKey, PolicyRecord *pPolicy)
{
    char szText[NAME_FIELD_SIZE];

    ReadPolicyNumber(hKey, "bSetByIP", POLICY_SET_BY_IP, pPolicy);
    ReadPolicyNumber(hKey, "bIfNoMatch", POLICY_IF_NO_MATCH, pPolicy);
    if (ReadPolicyText(hKey, "szNoMatchPrinter", szText))
        SetPolicyText(pPolicy, POLICY_NO_MATCH_PRINTER, szText);
    ReadPolicyNumber(hKey, "iIconAction", POLICY_ICON_ACTION, pPolicy);
    ReadPolicyNumber(hKey, "bNotifyOnSwitch", POLICY_NOTIFY_ON_SWITCH, pPolicy);
    ReadPolicyNumber(hKey, "bAllowUserLocations", POLICY_ALLOW_USER_LOCATIONS, pPolicy);
}

static void ReadPolicyRow(HKEY hRow, LocationRecord *pRow)
{
    ReadPolicyText(hRow, "szLocationName", pRow->szLocationName);
    ReadPolicyText(hRow, "szPrinterName", pRow->szPrinterName);
    ReadPolicyText(hRow, "szIPStart", pRow->szIPStart);
    ReadPolicyText(hRow, "szIPFinish", pRow->szIPFinish);
    ReadPolicyText(hRow, "szGatewayMAC", pRow->szGatewayMAC);
}

static void ReadPolicyKey(HKEY hRoot, REGSAM samRead, PolicyRecord *pPolicy)
{
    /* Static: a row is larger than a caller's stack needs to carry. */
    static LocationRecord row;
    HKEY hKey, hRow;
    char szName[32];
    int i;

    ClearPolicy(pPolicy);
    if (RegOpenKeyExA(hRoot, POLICY_KEY, 0, samRead, &hKey) != ERROR_SUCCESS)
        return;
    ReadPolicyValues(hKey, pPolicy);
    /* No count: a template cannot keep one in step, so each of the ten
       subkeys is looked for, and gaps are allowed. */
    for (i = 0; i < MAX_LOCATIONS; i++) {
        if (FAILED(StringCchPrintfA(szName, sizeof(szName), "%s\\%i", POLICY_LOCATIONS_KEY, i)) ||
            RegOpenKeyExA(hKey, szName, 0, samRead, &hRow) != ERROR_SUCCESS)
            continue;
        ZeroMemory(&row, sizeof(row));
        ReadPolicyRow(hRow, &row);
        RegCloseKey(hRow);
        AddPolicyRow(pPolicy, &row);
    }
    RegCloseKey(hKey);
}

int LoadPolicies(void)
{
    /* Static: each record is larger than a caller's stack needs to carry. */
    static PolicyRecord machineBefore, userBefore;

    CopyMemory(&machineBefore, &MachinePolicy, sizeof(machineBefore));
    CopyMemory(&userBefore, &UserPolicy, sizeof(userBefore));
    ReadPolicyKey(HKEY_LOCAL_MACHINE, MachineReadRights(), &MachinePolicy);
    ReadPolicyKey(HKEY_CURRENT_USER, KEY_READ, &UserPolicy);
    return !IsSamePolicy(&machineBefore, &MachinePolicy) || !IsSamePolicy(&userBefore, &UserPolicy);
}

const AutoSettingsRecord *GetSettingsInForce(void)
{
    MergePolicies(&MachinePolicy, &UserPolicy, &AutoSettings, &SettingsInForce);
    return &SettingsInForce;
}

unsigned int GetManagedSettings(void)
{
    return MergePolicies(&MachinePolicy, &UserPolicy, &AutoSettings, &SettingsInForce);
}
