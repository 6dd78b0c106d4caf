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
           ParsePlainAddress(pRow->szIPStart, &uStart) &&
           ParsePlainAddress(pRow->szIPFinish, &uFinish) && uStart <= uFinish;
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

/* Rows a record's count lets a walk visit: 0 to 10. */
static int CountRows(int iCount)
{
    iCount = CapLocationCount(iCount);
    return iCount < 0 ? 0 : iCount;
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

void ComposeLocationsInForce(const PolicyRecord *pMachine, const PolicyRecord *pUser,
                             const AutoSettingsRecord *pOwn, LocationListRecord *pList)
{
    const PolicyRecord *pManaged = ChooseManagedRows(pMachine, pUser);
    int i, iManaged = CountRows(pManaged->iLocationCount);
    int iOwn = AreUserLocationsAllowed(pMachine, pUser) ? CountRows(pOwn->iAutoPrinterCount) : 0;

    pList->iCount = 0;
    pList->iManagedCount = iManaged;
    for (i = 0; i < iManaged; i++)
        memcpy(&pList->locations[pList->iCount++], &pManaged->locations[i],
               sizeof(LocationRecord));
    for (i = 0; i < iOwn; i++)
        memcpy(&pList->locations[pList->iCount++], &pOwn->locations[i], sizeof(LocationRecord));
}

void ComposeStoredSettings(const AutoSettingsRecord *pDialog, const AutoSettingsRecord *pOwn,
                           unsigned int uManaged, AutoSettingsRecord *pStore)
{
    const AutoSettingsRecord *pFrom;

    if (pStore != pDialog)
        memcpy(pStore, pDialog, sizeof(*pStore));
    pFrom = (uManaged & POLICY_SET_BY_IP) ? pOwn : pDialog;
    pStore->bSetByIP = pFrom->bSetByIP;
    pFrom = (uManaged & POLICY_IF_NO_MATCH) ? pOwn : pDialog;
    pStore->bIfNoMatch = pFrom->bIfNoMatch;
    if (uManaged & POLICY_NO_MATCH_PRINTER)
        memcpy(pStore->szNoMatchPrinter, pOwn->szNoMatchPrinter, sizeof(pStore->szNoMatchPrinter));
    pFrom = (uManaged & POLICY_ICON_ACTION) ? pOwn : pDialog;
    pStore->iIconAction = pFrom->iIconAction;
    pFrom = (uManaged & POLICY_NOTIFY_ON_SWITCH) ? pOwn : pDialog;
    pStore->bNotifyOnSwitch = pFrom->bNotifyOnSwitch;
    if (uManaged & POLICY_NO_USER_LOCATIONS) {
        pStore->iAutoPrinterCount = pOwn->iAutoPrinterCount;
        memcpy(pStore->locations, pOwn->locations, sizeof(pStore->locations));
    }
}
