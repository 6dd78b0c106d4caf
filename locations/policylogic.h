/* Settings an organisation manages, over plain data: what one policy key
   holds, how the machine's policy, the user's policy and the user's own
   settings combine, and what the configuration dialog's OK may store. */
#ifndef QUORVEL_POLICYLOGIC_H
#define QUORVEL_POLICYLOGIC_H

#include "../core/records.h"

/* The values of a policy key, as bits: which ones a key holds, and which
   ones a policy manages. */
#define POLICY_SET_BY_IP                0x0001u
#define POLICY_IF_NO_MATCH              0x0002u
#define POLICY_NO_MATCH_PRINTER         0x0004u
#define POLICY_ICON_ACTION              0x0008u
#define POLICY_NOTIFY_ON_SWITCH         0x0010u
#define POLICY_ALLOW_USER_LOCATIONS     0x0020u
/* Only in a merge's answer: managed locations are in force, and the user's
   own locations are not. */
#define POLICY_LOCATIONS                0x0040u
#define POLICY_NO_USER_LOCATIONS        0x0080u

/* The settings of the configuration dialog that a policy can manage. */
#define POLICY_DIALOG_VALUES                                                     \
    (POLICY_SET_BY_IP | POLICY_IF_NO_MATCH | POLICY_NO_MATCH_PRINTER |           \
     POLICY_ICON_ACTION | POLICY_NOTIFY_ON_SWITCH)

/* Managed rows and the user's own rows side by side: the most rows
   detection may try. */
#define MAX_LOCATIONS_IN_FORCE          (2 * MAX_LOCATIONS)

/* What one policy key holds. A value counts only when uPresent has its bit;
   the rows are those of the subkeys Locations\0 to \9 that parse, in subkey
   order, gaps closed. */
typedef struct PolicyRecord {
    unsigned int uPresent;
    int bSetByIP;
    int bIfNoMatch;
    char szNoMatchPrinter[NAME_FIELD_SIZE];
    int iIconAction;
    int bNotifyOnSwitch;
    int bAllowUserLocations;
    int iLocationCount;
    LocationRecord locations[MAX_LOCATIONS];
} PolicyRecord;

/* A key that holds nothing. */
void ClearPolicy(PolicyRecord *pPolicy);

/* Records a number or a text the key holds, by its POLICY_ bit; a bit that
   names no value of that kind is ignored. */
void SetPolicyNumber(PolicyRecord *pPolicy, unsigned int uValue, int iValue);
void SetPolicyText(PolicyRecord *pPolicy, unsigned int uValue, const char *pszText);

/* Whether a managed row would be taken: it has a name and a printer, and a
   range of two plain dotted addresses, the first not above the last, as the
   location dialog demands. Such a range means to detection exactly what it
   says; a text the dialog refuses may mean another range, or every address. */
int IsUsablePolicyRow(const LocationRecord *pRow);

/* Adds a row read from the next Locations subkey, in subkey order: kept when
   usable, its router text normalised as in the user's own store (one that is
   not a hardware address means any network); skipped otherwise. 1 when it
   was added. */
int AddPolicyRow(PolicyRecord *pPolicy, const LocationRecord *pRow);

/* Whether two policy records hold the same values and rows, so that a
   refresh that brings nothing new changes nothing. */
int IsSamePolicy(const PolicyRecord *pA, const PolicyRecord *pB);

/* Whether the user's own rows count: bAllowUserLocations of the machine's
   policy, else of the user's policy; absent means they do. */
int AreUserLocationsAllowed(const PolicyRecord *pMachine, const PolicyRecord *pUser);

/* The policy whose rows are the managed ones: the machine's when it has any,
   otherwise the user's policy (whose rows may be none). */
const PolicyRecord *ChooseManagedRows(const PolicyRecord *pMachine, const PolicyRecord *pUser);

/* The settings in force: per value, the machine's policy over the user's
   policy over the user's own setting. pInForce is pOwn with the managed
   values put in; its list stays the user's own rows. Returns the POLICY_
   bits of what is managed, with POLICY_LOCATIONS and POLICY_NO_USER_LOCATIONS
   as they hold. */
unsigned int MergePolicies(const PolicyRecord *pMachine, const PolicyRecord *pUser,
                           const AutoSettingsRecord *pOwn, AutoSettingsRecord *pInForce);

/* How many rows detection tries: the managed rows, then the user's own
   unless the policies do not allow them; at most MAX_LOCATIONS_IN_FORCE.
   *piManaged, when given, gets how many of them, from the first, are
   managed. */
int CountLocationsInForce(const PolicyRecord *pMachine, const PolicyRecord *pUser,
                          const AutoSettingsRecord *pOwn, int *piManaged);

/* Row i of those rows, or NULL when there is no such row. */
const LocationRecord *GetLocationInForce(const PolicyRecord *pMachine, const PolicyRecord *pUser,
                                         const AutoSettingsRecord *pOwn, int i);

/* The record the configuration dialog's OK may store in the user's own key,
   for uManaged as MergePolicies gave it: the dialog's values where nothing
   manages them; where a policy does, what the user's own store held, so that
   a managed value never lands there and the user's own returns when the
   policy goes. pDialog's list must hold the user's own rows only; under
   POLICY_NO_USER_LOCATIONS the stored rows stay as they were. pStore may be
   pDialog, never pOwn. */
void ComposeStoredSettings(const AutoSettingsRecord *pDialog, const AutoSettingsRecord *pOwn,
                           unsigned int uManaged, AutoSettingsRecord *pStore);

#endif
