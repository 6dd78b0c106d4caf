/* Settings an organisation manages, over plain data. */
#include <string.h>
#include "../core/textsafe.h"
#include "policylogic.h"
#include "rangelogic.h"
#include "routerlogic.h"
#include "settingslogic.h"

void ClearPolicy(PolicyRecord *pPolicy)
{
    memset(pPolicy, 0, sizeof(*pPolicy));
}

void SetPolicyNumber(PolicyRecord *pPolicy, unsigned int uValue, int iValue)
{
    int *piField;

    switch (uValue) {
    case POLICY_SET_BY_IP:
        piField = &pPolicy->bSetByIP;
        break;
    case POLICY_IF_NO_MATCH:
        piField = &pPolicy->bIfNoMatch;
        break;
    case POLICY_ICON_ACTION:
        piField = &pPolicy->iIconAction;
        break;
    case POLICY_NOTIFY_ON_SWITCH:
        piField = &pPolicy->bNotifyOnSwitch;
        break;
    case POLICY_ALLOW_USER_LOCATIONS:
        piField = &pPolicy->bAllowUserLocations;
        break;
    default:
        return;
    }
    *piField = iValue;
    pPolicy->uPresent |= uValue;
}

void SetPolicyText(PolicyRecord *pPolicy, unsigned int uValue, const char *pszText)
{
    if (uValue != POLICY_NO_MATCH_PRINTER)
        return;
    StringCchCopyA(pPolicy->szNoMatchPrinter, sizeof(pPolicy->szNoMatchPrinter), pszText);
    pPolicy->uPresent |= uValue;
}

int IsUsablePolicyRow(const LocationRecord *pRow)
{
    uint32_t uStart = 0, uFinish = 0;

    return pRow->szLocationName[0] != '\0' && pRow->szPrinterName[0] != '\0' &&
           ParseAddressText(pRow->szIPStart, &uStart) &&
           ParseAddressText(pRow->szIPFinish, &uFinish) && uStart <= uFinish;
}

int AddPolicyRow(PolicyRecord *pPolicy, const LocationRecord *pRow)
{
    LocationRecord *pKept;

    if (pPolicy->iLocationCount < 0 || pPolicy->iLocationCount >= MAX_LOCATIONS ||
        !IsUsablePolicyRow(pRow))
        return 0;
    pKept = &pPolicy->locations[pPolicy->iLocationCount++];
    memcpy(pKept, pRow, sizeof(*pKept));
    /* The fields come from the registry and are terminated by the caller;
       this keeps a row whole whatever it was handed. */
    pKept->szLocationName[NAME_FIELD_SIZE - 1] = '\0';
    pKept->szPrinterName[NAME_FIELD_SIZE - 1] = '\0';
    pKept->szGatewayMAC[NAME_FIELD_SIZE - 1] = '\0';
    NormaliseGatewayText(pKept->szGatewayMAC, sizeof(pKept->szGatewayMAC));
    return 1;
}

/* Rows a record's count lets a walk visit: 0 to 10. */
static int CountRows(int iCount)
{
    iCount = CapLocationCount(iCount);
    return iCount < 0 ? 0 : iCount;
}

static int IsSameRow(const LocationRecord *pA, const LocationRecord *pB)
{
    return strcmp(pA->szLocationName, pB->szLocationName) == 0 &&
           strcmp(pA->szPrinterName, pB->szPrinterName) == 0 &&
           strcmp(pA->szIPStart, pB->szIPStart) == 0 &&
           strcmp(pA->szIPFinish, pB->szIPFinish) == 0 &&
           strcmp(pA->szGatewayMAC, pB->szGatewayMAC) == 0;
}

int IsSamePolicy(const PolicyRecord *pA, const PolicyRecord *pB)
{
    int i;

    if (pA->uPresent != pB->uPresent || pA->bSetByIP != pB->bSetByIP ||
        pA->bIfNoMatch != pB->bIfNoMatch || pA->iIconAction != pB->iIconAction ||
        pA->bNotifyOnSwitch != pB->bNotifyOnSwitch ||
        pA->bAllowUserLocations != pB->bAllowUserLocations ||
        strcmp(pA->szNoMatchPrinter, pB->szNoMatchPrinter) != 0 ||
        pA->iLocationCount != pB->iLocationCount)
        return 0;
    for (i = 0; i < CountRows(pA->iLocationCount); i++) {
        if (!IsSameRow(&pA->locations[i], &pB->locations[i]))
            return 0;
    }
    return 1;
}

/* The policy that decides one value, or NULL when neither holds it. */
static const PolicyRecord *Decider(const PolicyRecord *pMachine, const PolicyRecord *pUser,
                                   unsigned int uValue)
{
    if (pMachine->uPresent & uValue)
        return pMachine;
    if (pUser->uPresent & uValue)
        return pUser;
    return NULL;
}

int AreUserLocationsAllowed(const PolicyRecord *pMachine, const PolicyRecord *pUser)
{
    const PolicyRecord *pDecider = Decider(pMachine, pUser, POLICY_ALLOW_USER_LOCATIONS);

    return pDecider == NULL || pDecider->bAllowUserLocations != 0;
}

const PolicyRecord *ChooseManagedRows(const PolicyRecord *pMachine, const PolicyRecord *pUser)
{
    return pMachine->iLocationCount > 0 ? pMachine : pUser;
}

unsigned int MergePolicies(const PolicyRecord *pMachine, const PolicyRecord *pUser,
                           const AutoSettingsRecord *pOwn, AutoSettingsRecord *pInForce)
{
    const PolicyRecord *pDecider;
    unsigned int uManaged = (pMachine->uPresent | pUser->uPresent) &
                            (POLICY_DIALOG_VALUES | POLICY_ALLOW_USER_LOCATIONS);

    if (pInForce != pOwn)
        memcpy(pInForce, pOwn, sizeof(*pInForce));
    if ((pDecider = Decider(pMachine, pUser, POLICY_SET_BY_IP)) != NULL)
        pInForce->bSetByIP = pDecider->bSetByIP;
    if ((pDecider = Decider(pMachine, pUser, POLICY_IF_NO_MATCH)) != NULL)
        pInForce->bIfNoMatch = pDecider->bIfNoMatch;
    if ((pDecider = Decider(pMachine, pUser, POLICY_NO_MATCH_PRINTER)) != NULL)
        StringCchCopyA(pInForce->szNoMatchPrinter, sizeof(pInForce->szNoMatchPrinter),
                       pDecider->szNoMatchPrinter);
    if ((pDecider = Decider(pMachine, pUser, POLICY_ICON_ACTION)) != NULL)
        pInForce->iIconAction = pDecider->iIconAction;
    if ((pDecider = Decider(pMachine, pUser, POLICY_NOTIFY_ON_SWITCH)) != NULL)
        pInForce->bNotifyOnSwitch = pDecider->bNotifyOnSwitch;

    if (CountRows(ChooseManagedRows(pMachine, pUser)->iLocationCount) > 0)
        uManaged |= POLICY_LOCATIONS;
    if (!AreUserLocationsAllowed(pMachine, pUser))
        uManaged |= POLICY_NO_USER_LOCATIONS;
    return uManaged;
}

int CountLocationsInForce(const PolicyRecord *pMachine, const PolicyRecord *pUser,
                          const AutoSettingsRecord *pOwn, int *piManaged)
{
    int iManaged = CountRows(ChooseManagedRows(pMachine, pUser)->iLocationCount);

    if (piManaged != NULL)
        *piManaged = iManaged;
    if (!AreUserLocationsAllowed(pMachine, pUser))
        return iManaged;
    return iManaged + CountRows(pOwn->iAutoPrinterCount);
}

const LocationRecord *GetLocationInForce(const PolicyRecord *pMachine, const PolicyRecord *pUser,
                                         const AutoSettingsRecord *pOwn, int i)
{
    int iManaged, iCount = CountLocationsInForce(pMachine, pUser, pOwn, &iManaged);

    if (i < 0 || i >= iCount)
        return NULL;
    if (i < iManaged)
        return &ChooseManagedRows(pMachine, pUser)->locations[i];
    return &pOwn->locations[i - iManaged];
}

void ComposeStoredSettings(const AutoSettingsRecord *pDialog, const AutoSettingsRecord *pOwn,
                           unsigned int uManaged, AutoSettingsRecord *pStore)
{
    if (pStore != pDialog)
        memcpy(pStore, pDialog, sizeof(*pStore));
    if (uManaged & POLICY_SET_BY_IP)
        pStore->bSetByIP = pOwn->bSetByIP;
    if (uManaged & POLICY_IF_NO_MATCH)
        pStore->bIfNoMatch = pOwn->bIfNoMatch;
    if (uManaged & POLICY_NO_MATCH_PRINTER)
        memcpy(pStore->szNoMatchPrinter, pOwn->szNoMatchPrinter, sizeof(pStore->szNoMatchPrinter));
    if (uManaged & POLICY_ICON_ACTION)
        pStore->iIconAction = pOwn->iIconAction;
    if (uManaged & POLICY_NOTIFY_ON_SWITCH)
        pStore->bNotifyOnSwitch = pOwn->bNotifyOnSwitch;
    if (uManaged & POLICY_NO_USER_LOCATIONS) {
        pStore->iAutoPrinterCount = pOwn->iAutoPrinterCount;
        memcpy(pStore->locations, pOwn->locations, sizeof(pStore->locations));
    }
}
