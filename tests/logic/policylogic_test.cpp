// Managed settings: the machine's policy over the user's policy over the
// user's own setting, managed rows as bad data leaves them, and what OK may
// store in the user's own key.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "dialogs/dialoglogic.h"
#include "locations/policylogic.h"

namespace {

LocationRecord Row(const char *name, const char *printer, const char *start, const char *finish,
                   const char *router = "")
{
    LocationRecord row;
    std::memset(&row, 0, sizeof(row));
    std::strncpy(row.szLocationName, name, NAME_FIELD_SIZE - 1);
    std::strncpy(row.szPrinterName, printer, NAME_FIELD_SIZE - 1);
    std::strncpy(row.szIPStart, start, NAME_FIELD_SIZE - 1);
    std::strncpy(row.szIPFinish, finish, NAME_FIELD_SIZE - 1);
    std::strncpy(row.szGatewayMAC, router, NAME_FIELD_SIZE - 1);
    return row;
}

AutoSettingsRecord Own()
{
    AutoSettingsRecord own;
    std::memset(&own, 0, sizeof(own));
    own.bSetByIP = 0;
    own.bIfNoMatch = 1;
    std::strcpy(own.szNoMatchPrinter, "OwnPrinter");
    own.iIconAction = 1;
    own.bNotifyOnSwitch = 1;
    own.iAutoPrinterCount = 2;
    own.locations[0] = Row("Home", "Inkjet", "192.168.1.1", "192.168.1.254");
    own.locations[1] = Row("Cafe", "PDF", "10.9.0.1", "10.9.0.254");
    return own;
}

// One managed value: how a policy sets it and how a settings record shows it.
struct Value {
    const char *name;
    unsigned int bit;
    std::function<void(PolicyRecord &, int)> set;  // the policy holds value n
    std::function<std::string(const AutoSettingsRecord &)> get;
    std::function<void(AutoSettingsRecord &, int)> put;  // a record holding value n
};

std::vector<Value> Values()
{
    return {
        {"bSetByIP", POLICY_SET_BY_IP,
         [](PolicyRecord &p, int n) { SetPolicyNumber(&p, POLICY_SET_BY_IP, n); },
         [](const AutoSettingsRecord &s) { return std::to_string(s.bSetByIP); },
         [](AutoSettingsRecord &s, int n) { s.bSetByIP = n; }},
        {"bIfNoMatch", POLICY_IF_NO_MATCH,
         [](PolicyRecord &p, int n) { SetPolicyNumber(&p, POLICY_IF_NO_MATCH, n); },
         [](const AutoSettingsRecord &s) { return std::to_string(s.bIfNoMatch); },
         [](AutoSettingsRecord &s, int n) { s.bIfNoMatch = n; }},
        {"szNoMatchPrinter", POLICY_NO_MATCH_PRINTER,
         [](PolicyRecord &p, int n) {
             SetPolicyText(&p, POLICY_NO_MATCH_PRINTER, ("P" + std::to_string(n)).c_str());
         },
         [](const AutoSettingsRecord &s) { return std::string(s.szNoMatchPrinter); },
         [](AutoSettingsRecord &s, int n) {
             std::strcpy(s.szNoMatchPrinter, ("P" + std::to_string(n)).c_str());
         }},
        {"iIconAction", POLICY_ICON_ACTION,
         [](PolicyRecord &p, int n) { SetPolicyNumber(&p, POLICY_ICON_ACTION, n); },
         [](const AutoSettingsRecord &s) { return std::to_string(s.iIconAction); },
         [](AutoSettingsRecord &s, int n) { s.iIconAction = n; }},
        {"bNotifyOnSwitch", POLICY_NOTIFY_ON_SWITCH,
         [](PolicyRecord &p, int n) { SetPolicyNumber(&p, POLICY_NOTIFY_ON_SWITCH, n); },
         [](const AutoSettingsRecord &s) { return std::to_string(s.bNotifyOnSwitch); },
         [](AutoSettingsRecord &s, int n) { s.bNotifyOnSwitch = n; }},
    };
}

const int kAbsent = -1;

// The rows detection tries, walked as detection walks them.
struct ListInForce {
    int iCount = 0;
    int iManagedCount = 0;
    std::vector<LocationRecord> locations;
};

ListInForce Compose(const PolicyRecord &machine, const PolicyRecord &user, const AutoSettingsRecord &own)
{
    ListInForce list;
    list.iCount = CountLocationsInForce(&machine, &user, &own, &list.iManagedCount);
    for (int i = 0; i < list.iCount; i++) {
        const LocationRecord *row = GetLocationInForce(&machine, &user, &own, i);
        EXPECT_NE(row, nullptr) << i;
        if (row != nullptr)
            list.locations.push_back(*row);
    }
    EXPECT_EQ(GetLocationInForce(&machine, &user, &own, list.iCount), nullptr);
    EXPECT_EQ(GetLocationInForce(&machine, &user, &own, -1), nullptr);
    return list;
}

TEST(Policies, EachValueComesFromTheMachineThenTheUserPolicyThenTheUsersOwn)
{
    // Values 0 and 2 are the policies'; the user's own is 7. A policy's 0
    // is a value like any other, not "absent".
    struct Case {
        int machine, user;
        int expected;
        bool managed;
    } cases[] = {
        {0, 2, 0, true},
        {2, 0, 2, true},
        {kAbsent, 2, 2, true},
        {kAbsent, 0, 0, true},
        {0, kAbsent, 0, true},
        {kAbsent, kAbsent, 7, false},
    };
    for (const Value &value : Values()) {
        for (const Case &c : cases) {
            PolicyRecord machine, user;
            ClearPolicy(&machine);
            ClearPolicy(&user);
            if (c.machine != kAbsent)
                value.set(machine, c.machine);
            if (c.user != kAbsent)
                value.set(user, c.user);
            AutoSettingsRecord own = Own(), inForce, expected = Own();
            value.put(own, 7);
            value.put(expected, c.expected);

            unsigned int managed = MergePolicies(&machine, &user, &own, &inForce);

            SCOPED_TRACE(std::string(value.name) + " machine " + std::to_string(c.machine) +
                         " user " + std::to_string(c.user));
            EXPECT_EQ(value.get(inForce), value.get(expected));
            EXPECT_EQ((managed & value.bit) != 0, c.managed);
            // Nothing else is touched: the others stay the user's own.
            EXPECT_EQ(managed & ~value.bit & POLICY_DIALOG_VALUES, 0u);
            for (const Value &other : Values()) {
                if (other.bit != value.bit) {
                    EXPECT_EQ(other.get(inForce), other.get(own)) << other.name;
                }
            }
            EXPECT_EQ(inForce.iAutoPrinterCount, own.iAutoPrinterCount);
        }
    }
}

TEST(Policies, UserLocationsCountUnlessTheDecidingPolicySaysNo)
{
    struct Case {
        int machine, user;
        bool allowed;
    } cases[] = {
        {kAbsent, kAbsent, true}, {kAbsent, 0, false}, {kAbsent, 1, true},
        {1, 0, true},             {0, 1, false},       {0, kAbsent, false},
        {5, kAbsent, true},  // any number but 0 allows, as every flag counts
    };
    for (const Case &c : cases) {
        PolicyRecord machine, user;
        ClearPolicy(&machine);
        ClearPolicy(&user);
        if (c.machine != kAbsent)
            SetPolicyNumber(&machine, POLICY_ALLOW_USER_LOCATIONS, c.machine);
        if (c.user != kAbsent)
            SetPolicyNumber(&user, POLICY_ALLOW_USER_LOCATIONS, c.user);
        AutoSettingsRecord own = Own(), inForce;
        unsigned int managed = MergePolicies(&machine, &user, &own, &inForce);
        ListInForce list = Compose(machine, user, own);

        SCOPED_TRACE("machine " + std::to_string(c.machine) + " user " + std::to_string(c.user));
        EXPECT_EQ(AreUserLocationsAllowed(&machine, &user) != 0, c.allowed);
        EXPECT_EQ((managed & POLICY_NO_USER_LOCATIONS) == 0, c.allowed);
        EXPECT_EQ(list.iCount, c.allowed ? 2 : 0);
        EXPECT_EQ(list.iManagedCount, 0);
    }
}

TEST(Policies, TheMachinesRowsAreTheManagedListWhenItHasAny)
{
    LocationRecord office = Row("Office", "Laser", "10.1.2.1", "10.1.2.254");
    LocationRecord branch = Row("Branch", "Colour", "172.16.0.1", "172.16.3.254");
    LocationRecord broken = Row("Broken", "Laser", "10.1.2.1", "10.1.2.2544");
    struct Case {
        const char *what;
        std::vector<LocationRecord> machine, user;
        bool allowed;
        std::vector<std::string> expected;  // names, in the order detection tries them
        int managed;
    } cases[] = {
        {"machine rows, then the user's own", {office}, {branch}, true,
         {"Office", "Home", "Cafe"}, 1},
        {"the user policy's rows when the machine has none", {}, {branch, office}, true,
         {"Branch", "Office", "Home", "Cafe"}, 2},
        {"a machine whose rows all fail counts as having none", {broken}, {branch}, true,
         {"Branch", "Home", "Cafe"}, 1},
        {"only managed rows when own ones are not allowed", {office}, {}, false, {"Office"}, 1},
        {"no rows at all", {}, {}, false, {}, 0},
        {"own rows alone", {}, {}, true, {"Home", "Cafe"}, 0},
    };
    for (const Case &c : cases) {
        PolicyRecord machine, user;
        ClearPolicy(&machine);
        ClearPolicy(&user);
        for (const LocationRecord &row : c.machine)
            AddPolicyRow(&machine, &row);
        for (const LocationRecord &row : c.user)
            AddPolicyRow(&user, &row);
        if (!c.allowed)
            SetPolicyNumber(&machine, POLICY_ALLOW_USER_LOCATIONS, 0);
        AutoSettingsRecord own = Own(), inForce;
        ListInForce list = Compose(machine, user, own);
        unsigned int managed = MergePolicies(&machine, &user, &own, &inForce);

        SCOPED_TRACE(c.what);
        std::vector<std::string> names;
        for (int i = 0; i < list.iCount; i++)
            names.push_back(list.locations[i].szLocationName);
        EXPECT_EQ(names, c.expected);
        EXPECT_EQ(list.iManagedCount, c.managed);
        EXPECT_EQ((managed & POLICY_LOCATIONS) != 0, c.managed > 0);
    }
}

TEST(Policies, TheListInForceHoldsTenManagedAndTenOwnRows)
{
    PolicyRecord machine, user;
    ClearPolicy(&machine);
    ClearPolicy(&user);
    for (int i = 0; i < 11; i++) {
        LocationRecord row = Row(("M" + std::to_string(i)).c_str(), "Laser", "10.0.0.1", "10.0.0.9");
        EXPECT_EQ(AddPolicyRow(&machine, &row), i < MAX_LOCATIONS ? 1 : 0) << i;
    }
    AutoSettingsRecord own = Own();
    own.iAutoPrinterCount = 12;  // a count past the records is capped, never walked
    for (int i = 0; i < MAX_LOCATIONS; i++)
        own.locations[i] = Row(("U" + std::to_string(i)).c_str(), "Inkjet", "1.1.1.1", "1.1.1.1");
    ListInForce list = Compose(machine, user, own);

    ASSERT_EQ(list.iCount, MAX_LOCATIONS_IN_FORCE);
    EXPECT_STREQ(list.locations[9].szLocationName, "M9");
    EXPECT_STREQ(list.locations[10].szLocationName, "U0");
    EXPECT_STREQ(list.locations[19].szLocationName, "U9");

    own.iAutoPrinterCount = -3;
    list = Compose(machine, user, own);
    EXPECT_EQ(list.iCount, MAX_LOCATIONS);
}

TEST(PolicyRows, ARowIsTakenExactlyWhenTheLocationDialogWouldAcceptIt)
{
    struct Case {
        const char *what;
        LocationRecord row;
        bool kept;
    } cases[] = {
        {"a whole row", Row("Office", "Laser", "10.1.2.1", "10.1.2.254"), true},
        {"one address", Row("Desk", "Laser", "10.1.2.3", "10.1.2.3"), true},
        {"no network", Row("No network", "PDF", "127.0.0.1", "127.0.0.254"), true},
        {"no name", Row("", "Laser", "10.1.2.1", "10.1.2.254"), false},
        {"no printer", Row("Office", "", "10.1.2.1", "10.1.2.254"), false},
        {"a typo that would hold every address", Row("Office", "Laser", "10.1.2.1", "10.1.2.2544"),
         false},
        {"leading zeros, octal to sockets", Row("Office", "Laser", "010.1.2.1", "10.1.2.254"),
         false},
        {"a short form", Row("Office", "Laser", "10.1", "10.1.2.254"), false},
        {"a blank, 0.0.0.0 to sockets", Row("Office", "Laser", " ", "10.1.2.254"), false},
        {"a trailing space", Row("Office", "Laser", "10.1.2.1 ", "10.1.2.254"), false},
        {"no end", Row("Office", "Laser", "10.1.2.1", ""), false},
        {"the start above the end", Row("Office", "Laser", "10.1.2.254", "10.1.2.1"), false},
        {"a part above 255", Row("Office", "Laser", "10.1.256.1", "10.1.2.254"), false},
    };
    for (const Case &c : cases) {
        PolicyRecord policy;
        ClearPolicy(&policy);
        SCOPED_TRACE(c.what);
        EXPECT_EQ(IsUsablePolicyRow(&c.row) != 0, c.kept);
        EXPECT_EQ(IsUsablePolicyRow(&c.row) != 0,
                  CheckLocationFields(c.row.szLocationName, c.row.szIPStart, c.row.szIPFinish,
                                      c.row.szPrinterName) == LOCATION_FIELDS_OK);
        EXPECT_EQ(AddPolicyRow(&policy, &c.row), c.kept ? 1 : 0);
        EXPECT_EQ(policy.iLocationCount, c.kept ? 1 : 0);
    }
}

TEST(PolicyRows, ABadRowIsSkippedAndTheRestKeepTheirOrder)
{
    std::vector<LocationRecord> subkeys = {
        Row("First", "Laser", "10.0.0.1", "10.0.0.9"),
        Row("", "", "", ""),  // a gap: a subkey without a name
        Row("Broken", "Laser", "10.0.0.1", "10.0.0.999"),
        Row("Second", "Inkjet", "10.0.1.1", "10.0.1.9"),
    };
    PolicyRecord policy;
    ClearPolicy(&policy);

    for (const LocationRecord &row : subkeys)
        AddPolicyRow(&policy, &row);

    ASSERT_EQ(policy.iLocationCount, 2);
    EXPECT_STREQ(policy.locations[0].szLocationName, "First");
    EXPECT_STREQ(policy.locations[1].szLocationName, "Second");
}

TEST(PolicyRows, TheRouterIsReadAsInTheUsersOwnStore)
{
    struct Case {
        const char *stored, *kept;
    } cases[] = {
        {"00-1a-2b-3c-4d-5e", "00-1A-2B-3C-4D-5E"},
        {"00:1A:2B:3C:4D:5E", "00-1A-2B-3C-4D-5E"},
        {"", ""},
        {"router", ""},  // not a hardware address: any network, as for the user's rows
        {"00-1A-2B-3C-4D", ""},
    };
    for (const Case &c : cases) {
        PolicyRecord policy;
        ClearPolicy(&policy);
        LocationRecord row = Row("Office", "Laser", "10.1.2.1", "10.1.2.254", c.stored);
        ASSERT_EQ(AddPolicyRow(&policy, &row), 1) << c.stored;
        EXPECT_STREQ(policy.locations[0].szGatewayMAC, c.kept) << c.stored;
    }
}

TEST(PolicyRows, FieldsWithoutTheirNulAreEndedInside)
{
    LocationRecord row = Row("", "", "10.1.2.1", "10.1.2.254");
    std::memset(row.szLocationName, 'N', NAME_FIELD_SIZE);
    std::memset(row.szPrinterName, 'P', NAME_FIELD_SIZE);
    std::memset(row.szGatewayMAC, 'G', NAME_FIELD_SIZE);
    PolicyRecord policy;
    ClearPolicy(&policy);

    ASSERT_EQ(AddPolicyRow(&policy, &row), 1);
    EXPECT_EQ(std::strlen(policy.locations[0].szLocationName), (size_t)NAME_FIELD_SIZE - 1);
    EXPECT_EQ(std::strlen(policy.locations[0].szPrinterName), (size_t)NAME_FIELD_SIZE - 1);
    EXPECT_STREQ(policy.locations[0].szGatewayMAC, "");
}

TEST(PolicyValues, OnlyTheValuesOfEachKindAreRecorded)
{
    PolicyRecord policy;
    ClearPolicy(&policy);

    SetPolicyNumber(&policy, POLICY_NO_MATCH_PRINTER, 1);  // a text, not a number
    SetPolicyNumber(&policy, POLICY_LOCATIONS, 1);         // not a value of the key
    SetPolicyText(&policy, POLICY_SET_BY_IP, "1");         // a number, not a text
    EXPECT_EQ(policy.uPresent, 0u);

    SetPolicyText(&policy, POLICY_NO_MATCH_PRINTER, std::string(400, 'x').c_str());
    EXPECT_EQ(policy.uPresent, POLICY_NO_MATCH_PRINTER);
    EXPECT_EQ(std::strlen(policy.szNoMatchPrinter), (size_t)NAME_FIELD_SIZE - 1);
}

TEST(PolicyValues, ARefreshIsNewWhenAnyValueOrRowDiffers)
{
    // A refresh that brings nothing new must not decide again; one that
    // changes anything must.
    auto base = [] {
        PolicyRecord p;
        ClearPolicy(&p);
        for (const Value &value : Values())
            value.set(p, 1);
        SetPolicyNumber(&p, POLICY_ALLOW_USER_LOCATIONS, 1);
        LocationRecord row = Row("Office", "Laser", "10.1.2.1", "10.1.2.254", "02-00-00-00-00-0A");
        AddPolicyRow(&p, &row);
        return p;
    };
    PolicyRecord a = base(), b = base();
    EXPECT_TRUE(IsSamePolicy(&a, &b));
    std::memset(b.locations[1].szLocationName, 'x', 8);  // past the count: not a row
    EXPECT_TRUE(IsSamePolicy(&a, &b));

    std::vector<std::pair<std::string, std::function<void(PolicyRecord &)>>> changes;
    for (const Value &value : Values())
        changes.push_back({value.name, [value](PolicyRecord &p) { value.set(p, 2); }});
    changes.push_back({"bAllowUserLocations", [](PolicyRecord &p) {
                           SetPolicyNumber(&p, POLICY_ALLOW_USER_LOCATIONS, 0); }});
    changes.push_back({"a value gone", [](PolicyRecord &p) { p.uPresent &= ~POLICY_SET_BY_IP; }});
    changes.push_back({"a row's router", [](PolicyRecord &p) { p.locations[0].szGatewayMAC[0] = '\0'; }});
    changes.push_back({"a row's finish", [](PolicyRecord &p) { std::strcpy(p.locations[0].szIPFinish, "10.1.2.9"); }});
    changes.push_back({"a row more", [](PolicyRecord &p) {
                           LocationRecord row = Row("Lab", "Laser", "10.9.0.1", "10.9.0.9");
                           AddPolicyRow(&p, &row); }});
    for (const auto &change : changes) {
        PolicyRecord changed = base();
        change.second(changed);
        EXPECT_FALSE(IsSamePolicy(&a, &changed)) << change.first;
    }
}

TEST(StoredSettings, AManagedValueNeverLandsInTheUsersKey)
{
    // The dialog shows what is in force (7 for managed values) and the user
    // changed everything that was not managed (to 3); the user's own is 1.
    for (const Value &value : Values()) {
        for (bool isManaged : {true, false}) {
            AutoSettingsRecord own = Own(), dialog = Own(), store;
            value.put(own, 1);
            value.put(dialog, isManaged ? 7 : 3);
            unsigned int managed = isManaged ? value.bit : 0;

            ComposeStoredSettings(&dialog, &own, managed, &store);

            SCOPED_TRACE(std::string(value.name) + (isManaged ? " managed" : " the user's"));
            AutoSettingsRecord expected = Own();
            value.put(expected, isManaged ? 1 : 3);
            EXPECT_EQ(value.get(store), value.get(expected));
        }
    }
}

TEST(StoredSettings, TheUsersRowsAreStoredOnlyWhileTheyAreAllowed)
{
    AutoSettingsRecord own = Own(), dialog = Own(), store;
    dialog.iAutoPrinterCount = 1;
    dialog.locations[0] = Row("Edited", "Laser", "10.0.0.1", "10.0.0.9");

    ComposeStoredSettings(&dialog, &own, POLICY_LOCATIONS | POLICY_SET_BY_IP, &store);
    EXPECT_EQ(store.iAutoPrinterCount, 1);
    EXPECT_STREQ(store.locations[0].szLocationName, "Edited");

    ComposeStoredSettings(&dialog, &own, POLICY_NO_USER_LOCATIONS, &store);
    EXPECT_EQ(store.iAutoPrinterCount, 2);
    EXPECT_STREQ(store.locations[0].szLocationName, "Home");
    EXPECT_STREQ(store.locations[1].szLocationName, "Cafe");

    // In place, as OK composes into its own copy of the dialog's record.
    ComposeStoredSettings(&dialog, &own, POLICY_NO_MATCH_PRINTER, &dialog);
    EXPECT_STREQ(dialog.szNoMatchPrinter, "OwnPrinter");
    EXPECT_STREQ(dialog.locations[0].szLocationName, "Edited");
}

}  // namespace
