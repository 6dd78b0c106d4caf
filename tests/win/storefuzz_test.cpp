// Settings stores edited by hand, each made at random from its number. For each one the
// real program starts and stays up, its start writes nothing, and its
// configuration dialog confirmed with OK writes a store whose count equals its
// location subkeys (at most ten); a second start and OK reproduces that store
// byte for byte. Store 0 is the one with a 255-character subkey name.
//   storefuzz_tests.exe [--stores N] [--first S] [--store S]
// tries stores S .. S+N-1 (by default 0 .. 7); a failing store's number is printed.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/state.h"
#include "locations/locations.h"
#include "testsupport.h"

namespace {

const char kConfigTitle[] = "Quorvel - Configuration";
const char *const kFields[] = {"szLocationName", "szPrinterName", "szIPStart", "szIPFinish"};

uint64_t g_firstStore = 0;
int g_storeCount = 8;

// splitmix64: the same store from the same number on every host and compiler.
class Random {
public:
    explicit Random(uint64_t start) : state_(start) {}
    uint64_t Next()
    {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    int Below(int n) { return (int)(Next() % (uint64_t)n); }
    bool Chance(int percent) { return Below(100) < percent; }
    template <size_t N> const char *Pick(const char *const (&items)[N]) { return items[Below((int)N)]; }

private:
    uint64_t state_;
};

std::string RandomText(Random &r)
{
    static const char *const kWords[] = {"Alpha", "Beta", "Gamma", "alpha", "Al", "Office", "office",
                                         "10.0.0.1", "127.0.0.1", "255.255.255.255", "0.0.0.0", " ",
                                         "02-00-00-00-00-0A", "02:00:00:00:00:0a", "02-00-00-00-00"};
    static const size_t kLengths[] = {0, 254, 255, 256, 3000, 20000};
    if (r.Chance(30))
        return r.Pick(kWords);
    size_t length = r.Chance(40) ? kLengths[r.Below(6)] : (size_t)r.Below(24);
    std::string text;
    for (size_t i = 0; i < length; i++) {
        int kind = r.Below(20);
        text += kind == 0 ? (char)(0x80 + r.Below(128)) : kind == 1 ? (char)(1 + r.Below(31))
                                                                    : (char)(' ' + r.Below(95));
    }
    return text;
}

// A key name the registry takes: 1 to 255 characters, no backslash.
std::string RandomKeyName(Random &r)
{
    static const char *const kOdd[] = {"00", "01", "-1", " 1", "1 ", "+2", "10", "11", "99",
                                       "4294967296", "x", "Settings"};
    if (r.Chance(40))
        return r.Pick(kOdd);
    size_t length = r.Chance(40) ? 255 : 1 + (size_t)r.Below(12);
    std::string name;
    for (size_t i = 0; i < length; i++) {
        char c = r.Chance(5) ? (char)(0xC0 + r.Below(64)) : (char)(' ' + r.Below(95));
        name += c == '\\' ? '_' : c;
    }
    return name;
}

void SetValue(HKEY h, const char *name, DWORD type, const std::string &data)
{
    RegSetValueExA(h, name, 0, type, (const BYTE *)data.data(), (DWORD)data.size());
}

// A text value as a hand edit may leave it: any type, with or without its NUL.
void WriteText(HKEY h, const char *name, Random &r)
{
    std::string text = RandomText(r);
    switch (r.Below(10)) {
    case 0:
        return;  // absent
    case 1:
        SetValue(h, name, REG_SZ, text);  // no NUL
        break;
    case 2:
        SetValue(h, name, REG_BINARY, text);
        break;
    case 3:
        SetValue(h, name, REG_EXPAND_SZ, text + '\0');
        break;
    case 4:
        SetValue(h, name, REG_MULTI_SZ, text + '\0' + RandomText(r) + '\0' + '\0');
        break;
    case 5:
        SetValue(h, name, REG_DWORD, std::string(4, (char)r.Below(256)));
        break;
    default:
        SetValue(h, name, REG_SZ, text + '\0');
        break;
    }
}

DWORD RandomNumber(Random &r)
{
    static const DWORD kNumbers[] = {0, 1, 2, 3, 7, 9, 10, 11, 1000, (DWORD)-1, (DWORD)INT_MIN,
                                     (DWORD)INT_MAX};
    return r.Chance(80) ? kNumbers[r.Below(12)] : (DWORD)r.Next();
}

// A number as a hand edit may leave it: a DWORD, text, or binary of any length.
void WriteNumber(HKEY h, const char *name, Random &r, DWORD value)
{
    std::string bytes((const char *)&value, 4);
    switch (r.Below(10)) {
    case 0:
        return;  // absent
    case 1:
        SetValue(h, name, REG_SZ, std::to_string((int)value) + '\0');
        break;
    case 2:
    case 3: {
        std::string data = bytes + std::string(4, (char)r.Below(256));
        SetValue(h, name, REG_BINARY, data.substr(0, (size_t)r.Below(9)));
        break;
    }
    case 4:
        SetValue(h, name, r.Chance(50) ? REG_QWORD : REG_DWORD_BIG_ENDIAN,
                 r.Chance(50) ? bytes + std::string(4, '\0') : bytes);
        break;
    default:
        SetValue(h, name, REG_DWORD, bytes);
        break;
    }
}

void WriteNestedKeys(HKEY hParent, Random &r, int depth)
{
    for (int n = 1 + r.Below(2); n > 0; n--) {
        HKEY h = CreateRegistryPath(hParent, RandomKeyName(r));
        if (h == NULL)
            continue;
        WriteText(h, kFields[r.Below(4)], r);
        if (depth < 3 && r.Chance(40))
            WriteNestedKeys(h, r, depth + 1);
        RegCloseKey(h);
    }
}

DWORD CountSubKeys(HKEY h)
{
    DWORD count = 0;
    RegQueryInfoKeyA(h, NULL, NULL, NULL, &count, NULL, NULL, NULL, NULL, NULL, NULL, NULL);
    return count;
}

void WriteRandomStore(uint64_t number)
{
    Random r(number);
    if (r.Chance(4))
        return;  // no settings at all
    HKEY hKey = CreateRegistryPath(HKEY_CURRENT_USER, SETTINGS_KEY);
    ASSERT_NE(hKey, (HKEY)NULL);
    int subkeys = r.Chance(50) ? r.Below(11) : r.Below(16);
    for (int i = 0; i < subkeys; i++) {
        HKEY hSub = CreateRegistryPath(hKey, r.Chance(70) ? std::to_string(i) : RandomKeyName(r));
        if (hSub == NULL)
            continue;
        for (const char *field : kFields)
            WriteText(hSub, field, r);
        // The router a location may require, often absent.
        if (r.Chance(50))
            WriteText(hSub, "szGatewayMAC", r);
        if (r.Chance(15))
            WriteNestedKeys(hSub, r, 1);
        RegCloseKey(hSub);
    }
    WriteNumber(hKey, "bIfNoMatch", r, RandomNumber(r));
    WriteNumber(hKey, "bSetByIP", r, RandomNumber(r));
    // Counted after the fact (names that differ only in case are one key), so
    // the count often agrees and the list loads.
    WriteNumber(hKey, "iAutoPrinterCount", r, r.Chance(60) ? CountSubKeys(hKey) : RandomNumber(r));
    WriteNumber(hKey, "iIconAction", r, RandomNumber(r));
    WriteText(hKey, "szNoMatchPrinter", r);
    if (r.Chance(15))
        WriteText(hKey, RandomKeyName(r).c_str(), r);  // a value the program never wrote
    RegCloseKey(hKey);
}

// Three locations, the third in a subkey whose name is 255 characters long.
void WriteLongSubkeyStore()
{
    HKEY hKey = CreateRegistryPath(HKEY_CURRENT_USER, SETTINGS_KEY);
    ASSERT_NE(hKey, (HKEY)NULL);
    DWORD one = 1, three = 3;
    SetValue(hKey, "bSetByIP", REG_DWORD, std::string((const char *)&one, 4));
    SetValue(hKey, "iAutoPrinterCount", REG_DWORD, std::string((const char *)&three, 4));
    const char *const names[] = {"0", "1", nullptr};
    const char *const rows[][4] = {{"Office", "Alpha", "10.0.0.1", "10.0.0.254"},
                                   {"Home", "Beta", "192.168.5.1", "192.168.5.254"},
                                   {"Lab", "Gamma", "10.9.0.1", "10.9.0.254"}};
    for (int i = 0; i < 3; i++) {
        HKEY hSub = CreateRegistryPath(hKey, names[i] ? names[i] : std::string(255, 'L'));
        ASSERT_NE(hSub, (HKEY)NULL);
        for (int f = 0; f < 4; f++)
            SetValue(hSub, kFields[f], REG_SZ, std::string(rows[i][f]) + '\0');
        RegCloseKey(hSub);
    }
    RegCloseKey(hKey);
}

std::string DumpStore()
{
    return DumpRegistryTree(HKEY_CURRENT_USER, SETTINGS_KEY);
}

// Equal dumps, or the first line where they part.
::testing::AssertionResult SameStore(const std::string &expected, const std::string &actual)
{
    if (expected == actual)
        return ::testing::AssertionSuccess();
    size_t at = 0;
    while (at < expected.size() && at < actual.size() && expected[at] == actual[at])
        at++;
    size_t line = expected.rfind('\n', at == 0 ? 0 : at - 1);
    line = line == std::string::npos ? 0 : line + 1;
    return ::testing::AssertionFailure() << "the stores part at\n  was: "
                                         << expected.substr(line, 300) << "\n  now: "
                                         << actual.substr(line, 300);
}

// A store as the program writes it: five values of their types, a count of
// at most ten, and exactly the subkeys "0" to count - 1 with their four texts
// and, where one is stored, a router.
void ExpectWellFormed(const std::string &context)
{
    HKEY hKey;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY, 0, KEY_READ, &hKey), ERROR_SUCCESS)
        << context;
    DWORD count = 0, cb = sizeof(count), type = 0;
    EXPECT_EQ(RegQueryValueExA(hKey, "iAutoPrinterCount", NULL, &type, (BYTE *)&count, &cb),
              ERROR_SUCCESS) << context;
    EXPECT_EQ(type, (DWORD)REG_DWORD) << context;
    EXPECT_LE(count, 10u) << context;
    for (const char *name : {"bIfNoMatch", "bSetByIP", "iIconAction", "szNoMatchPrinter"}) {
        type = 0;
        EXPECT_EQ(RegQueryValueExA(hKey, name, NULL, &type, NULL, NULL), ERROR_SUCCESS) << context;
        EXPECT_EQ(type, (DWORD)(name[0] == 's' ? REG_SZ : REG_DWORD)) << context << ": " << name;
    }
    EXPECT_EQ(CountSubKeys(hKey), count) << context << ": the count must equal the subkeys";
    for (DWORD i = 0; i < count; i++) {
        HKEY hSub;
        ASSERT_EQ(RegOpenKeyExA(hKey, std::to_string(i).c_str(), 0, KEY_READ, &hSub), ERROR_SUCCESS)
            << context << ": subkey " << i;
        EXPECT_EQ(CountSubKeys(hSub), 0u) << context;
        for (const char *field : kFields) {
            type = 0;
            EXPECT_EQ(RegQueryValueExA(hSub, field, NULL, &type, NULL, NULL), ERROR_SUCCESS)
                << context << ": " << i << "\\" << field;
            EXPECT_EQ(type, (DWORD)REG_SZ) << context;
        }
        // A router is written back only as a hardware address, or not at all.
        char router[64] = "";
        DWORD cbRouter = sizeof(router);
        type = 0;
        if (RegQueryValueExA(hSub, "szGatewayMAC", NULL, &type, (BYTE *)router, &cbRouter) ==
            ERROR_SUCCESS) {
            EXPECT_EQ(type, (DWORD)REG_SZ) << context;
            EXPECT_EQ(cbRouter, 18u) << context << ": " << i << "\\szGatewayMAC " << router;
        }
        RegCloseKey(hSub);
    }
    RegCloseKey(hKey);
}

// Opens the configuration dialog of the running program, checks the store is
// still as it was, and confirms the dialog with a click on OK.
bool ConfirmConfiguration(const QuorvelProcess &q, const std::string &before, const char *round)
{
    PostMessageA(q.Window(), WM_COMMAND, IDM_CONFIG, 0);
    HWND hDlg = NULL;
    if (!WaitFor([&] { return (hDlg = FindDialogOfProcess(q.ProcessId(), kConfigTitle)) != NULL; },
                 10000)) {
        ADD_FAILURE() << round << ": the configuration dialog did not open";
        return false;
    }
    EXPECT_TRUE(SameStore(before, DumpStore())) << round << ": starting wrote to the store";
    if (!ClickWindow(GetDlgItem(hDlg, IDOK)) || !WaitFor([&] { return !IsWindow(hDlg); }, 10000)) {
        ADD_FAILURE() << round << ": OK did not close the dialog";
        return false;
    }
    EXPECT_TRUE(Answers(q.Window())) << round << ": the program stopped answering";
    return true;
}

void CheckStore(uint64_t number)
{
    DeleteRegistryTree(HKEY_CURRENT_USER, SETTINGS_KEY);
    if (number == 0)
        WriteLongSubkeyStore();
    else
        WriteRandomStore(number);
    std::string store = DumpStore();
    for (const char *round : {"first start", "second start"}) {
        QuorvelProcess q;
        ASSERT_TRUE(q.Start()) << round << ": no main window";
        ASSERT_TRUE(Answers(q.Window())) << round << ": the program does not answer";
        std::string expected = store;
        if (!ConfirmConfiguration(q, expected, round))
            return;
        store = DumpStore();
        ExpectWellFormed(round);
        if (round[0] == 's') {
            EXPECT_TRUE(SameStore(expected, store)) << "a second OK changed the store";
        }
        EXPECT_EQ(q.Exit(), 0u) << round;
    }
}

TEST(StoreFuzz, HandEditedStoresStartUnchangedAndSaveConsistently)
{
    ScopedDeviceEntry restore;
    ScopedTrayKeeper keepTray;
    std::vector<uint64_t> failed;
    const ::testing::TestResult *result = ::testing::UnitTest::GetInstance()->current_test_info()->result();
    for (int n = 0; n < g_storeCount; n++) {
        uint64_t number = g_firstStore + (uint64_t)n;
        int partsBefore = result->total_part_count();
        {
            std::string replay = "store " + std::to_string(number) +
                                 " (replay: scripts/fuzz-store.sh --store " + std::to_string(number) + ")";
            SCOPED_TRACE(replay);
            CheckStore(number);
        }
        if (result->total_part_count() != partsBefore) {
            failed.push_back(number);
            printf("FAILED store %llu\n", (unsigned long long)number);
        }
    }
    DeleteRegistryTree(HKEY_CURRENT_USER, SETTINGS_KEY);
    printf("%d stores tried, %d failed\n", g_storeCount, (int)failed.size());
}

}  // namespace

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i < argc; i++) {
        std::string arg = argv[i];
        if (i + 1 < argc && (arg == "--stores" || arg == "--first" || arg == "--store")) {
            uint64_t value = strtoull(argv[++i], NULL, 10);
            if (arg == "--stores")
                g_storeCount = (int)value;
            else
                g_firstStore = value;
            if (arg == "--store")
                g_storeCount = 1;
        } else {
            fprintf(stderr, "usage: %s [--stores N] [--first NUMBER] [--store NUMBER]\n", argv[0]);
            return 2;
        }
    }
    return RUN_ALL_TESTS();
}
