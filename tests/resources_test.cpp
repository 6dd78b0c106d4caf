// The resources inside the built Quorvel.exe: the three dialog templates,
// control by control and bit by bit, the two tray icons, the manifest and
// the version record, all in English (Australia).
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <strsafe.h>

#include <cctype>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "testsupport.h"

namespace {

const WORD LANG_EN_AU = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_AUS);

// Resource type numbers; spelled out so that the "A" calls get "A" ids
// whatever the UNICODE setting of the build.
const WORD RESTYPE_ICON = 3;
const WORD RESTYPE_DIALOG = 5;
const WORD RESTYPE_VERSION = 16;
const WORD RESTYPE_GROUP_ICON = 14;
const WORD RESTYPE_MANIFEST = 24;

const DWORD CTL = WS_CHILD | WS_VISIBLE;
const DWORD EDIT_FIELD = ES_LEFT | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP;

// ---------------------------------------------------------------------------
// Expected templates

struct ExpectedClass {
    WORD wOrdinal;       // the predefined class's ordinal, 0 for none
    const char *pszName; // the class name
};

const ExpectedClass CLS_BUTTON = {0x0080, "Button"};
const ExpectedClass CLS_EDIT = {0x0081, "Edit"};
const ExpectedClass CLS_STATIC = {0x0082, "Static"};
const ExpectedClass CLS_COMBOBOX = {0x0085, "ComboBox"};
const ExpectedClass CLS_LISTVIEW = {0, "SysListView32"};

struct ExpectedControl {
    int iId;
    const char *pszName;
    ExpectedClass cls;
    const char *pszText; // nullptr when the text is a resource ordinal
    WORD wTextOrdinal;
    short x, y, cx, cy;
    DWORD dwStyle;
};

struct ExpectedDialog {
    WORD wId;
    const char *pszName;
    const char *pszCaption;
    short cx, cy;
    DWORD dwStyle;
    const ExpectedControl *pControls;
    size_t cControls;
};

const char SZ_WEB_HOST[] = "quorvel.example.org";
const char SZ_NOTICE[] = "Freeware (C) 2026 Brennick";

const ExpectedControl rgAboutControls[] = {
    {1, "IDOK", CLS_BUTTON, "OK", 0, 120, 97, 50, 14, CTL | BS_DEFPUSHBUTTON | WS_TABSTOP},
    {1001, "IDC_WEBLINK", CLS_BUTTON, SZ_WEB_HOST, 0, 7, 97, 90, 14, CTL | BS_PUSHBUTTON | WS_TABSTOP},
    {-1, "title", CLS_STATIC, "Quorvel", 0, 60, 5, 66, 10, CTL | SS_CENTER | WS_GROUP},
    {-1, "frame", CLS_BUTTON, "", 0, 7, 22, 163, 71, CTL | BS_GROUPBOX},
    {-1, "first paragraph", CLS_STATIC,
     "Simply right-click on the Quorvel Icon in the taskbar, and choose the printer you "
     "wish to set as System Default.",
     0, 16, 29, 153, 25, CTL | SS_LEFT | WS_GROUP},
    {-1, "icon", CLS_STATIC, nullptr, 104, 3, 2, 21, 20, CTL | SS_ICON},
    {-1, "notice", CLS_STATIC, SZ_NOTICE, 0, 43, 15, 98, 8, CTL | SS_CENTER | WS_GROUP},
    {-1, "second paragraph", CLS_STATIC,
     "Use the configuration window to specify if a default printer is set based on location "
     "(by IP address). Default option for double click events on the taskbar icon can also "
     "be defined.",
     0, 16, 54, 153, 34, CTL | SS_LEFT | WS_GROUP},
};

// Both dialogs in reading order, which is the tab order: top to bottom, then
// left to right, with Cancel and OK last.
const ExpectedControl rgConfigControls[] = {
    {-1, "settings frame", CLS_BUTTON, "Automatic settings", 0, 7, 7, 203, 110, CTL | BS_GROUPBOX},
    {1003, "IDC_SETBYIP", CLS_BUTTON, "Auto change default printer when location changes", 0,
     14, 15, 187, 12, CTL | BS_AUTOCHECKBOX | WS_TABSTOP},
    {1002, "IDC_LOCATIONLIST", CLS_LISTVIEW, "List1", 0, 14, 29, 190, 49,
     CTL | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_SORTASCENDING |
         LVS_NOSORTHEADER | WS_BORDER | WS_TABSTOP},
    {1004, "IDC_ADD", CLS_BUTTON, "Add", 0, 49, 81, 31, 14, CTL | BS_PUSHBUTTON | WS_TABSTOP},
    {1006, "IDC_MODIFY", CLS_BUTTON, "Modify", 0, 93, 81, 31, 14, CTL | BS_PUSHBUTTON | WS_TABSTOP},
    {1005, "IDC_DELETE", CLS_BUTTON, "Delete", 0, 137, 81, 31, 14, CTL | BS_PUSHBUTTON | WS_TABSTOP},
    {1020, "IDC_IFNOMATCH", CLS_BUTTON, "If no match use:", 0, 13, 99, 64, 12,
     CTL | BS_AUTOCHECKBOX | WS_TABSTOP},
    {1019, "IDC_NOMATCHPRINTER", CLS_COMBOBOX, "", 0, 79, 99, 125, 52,
     CTL | CBS_DROPDOWN | CBS_SORT | WS_VSCROLL | WS_TABSTOP},
    {1018, "IDC_ICONACTIONGROUP", CLS_BUTTON, "Taskbar icon default action", 0, 7, 120, 203, 25,
     CTL | BS_GROUPBOX},
    {1007, "IDC_ICONPROPERTIES", CLS_BUTTON, "Open printer properties", 0, 19, 131, 88, 9,
     CTL | BS_AUTORADIOBUTTON | WS_TABSTOP},
    {1008, "IDC_ICONSPOOLER", CLS_BUTTON, "Open printer spooler", 0, 118, 131, 81, 9,
     CTL | BS_AUTORADIOBUTTON | WS_TABSTOP},
    {1032, "IDC_NOTIFYONSWITCH", CLS_BUTTON, "Tell me when a location changes the printer", 0,
     7, 148, 203, 12, CTL | BS_AUTOCHECKBOX | WS_TABSTOP},
    // Hidden until a policy manages something.
    {1033, "IDC_MANAGEDNOTE", CLS_STATIC, "Some settings are managed by your organisation.", 0, 7,
     162, 203, 8, WS_CHILD | SS_LEFT | WS_GROUP},
    {2, "IDCANCEL", CLS_BUTTON, "Cancel", 0, 7, 174, 50, 14, CTL | BS_PUSHBUTTON | WS_TABSTOP},
    {1, "IDOK", CLS_BUTTON, "OK", 0, 160, 174, 50, 14, CTL | BS_DEFPUSHBUTTON | WS_TABSTOP},
};

const ExpectedControl rgLocationControls[] = {
    {-1, "settings frame", CLS_BUTTON, "Location settings", 0, 7, 7, 144, 114, CTL | BS_GROUPBOX},
    {-1, "name label", CLS_STATIC, "Name", 0, 15, 20, 24, 13, CTL | SS_LEFT | WS_GROUP},
    {1010, "IDC_LOCATIONNAME", CLS_EDIT, "", 0, 44, 20, 98, 12, CTL | EDIT_FIELD},
    {-1, "start label", CLS_STATIC, "Start IP", 0, 15, 39, 26, 9, CTL | SS_LEFT | WS_GROUP},
    {1011, "IDC_IPSTART", CLS_EDIT, "", 0, 44, 39, 59, 12, CTL | EDIT_FIELD},
    {-1, "end label", CLS_STATIC, "End IP", 0, 15, 58, 23, 9, CTL | SS_LEFT | WS_GROUP},
    {1012, "IDC_IPFINISH", CLS_EDIT, "", 0, 44, 58, 59, 12, CTL | EDIT_FIELD},
    {1023, "IDC_AUTORANGE", CLS_BUTTON, "Auto", 0, 108, 48, 36, 15, CTL | BS_PUSHBUTTON | WS_TABSTOP},
    {-1, "printer label", CLS_STATIC, "Printer:", 0, 15, 73, 25, 8, CTL | SS_LEFT | WS_GROUP},
    {1016, "IDC_PRINTER", CLS_COMBOBOX, "", 0, 14, 84, 131, 57,
     CTL | CBS_DROPDOWNLIST | CBS_SORT | WS_VSCROLL | WS_TABSTOP},
    {1025, "IDC_NONETWORK", CLS_BUTTON, "Use settings for no network", 0, 27, 101, 102, 15,
     CTL | BS_PUSHBUTTON | WS_TABSTOP},
    {-1, "address label", CLS_STATIC, "Current IP Address:", 0, 13, 127, 62, 11,
     CTL | SS_LEFT | WS_GROUP},
    {1024, "IDC_CURRENTIP", CLS_STATIC, "", 0, 81, 127, 63, 9,
     CTL | SS_CENTER | SS_SUNKEN | WS_GROUP},
    {1030, "IDC_GATEWAYCHECK", CLS_BUTTON, "Only on this network", 0, 13, 142, 138, 10,
     CTL | BS_AUTOCHECKBOX | WS_TABSTOP},
    {1031, "IDC_GATEWAYTEXT", CLS_STATIC, "", 0, 25, 154, 126, 16, CTL | SS_LEFT | WS_GROUP},
    {2, "IDCANCEL", CLS_BUTTON, "Cancel", 0, 7, 174, 50, 14, CTL | BS_PUSHBUTTON | WS_TABSTOP},
    {1, "IDOK", CLS_BUTTON, "OK", 0, 101, 174, 50, 14, CTL | BS_DEFPUSHBUTTON | WS_TABSTOP},
};

const DWORD DLG_BASE = WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFOREGROUND | DS_CENTER | DS_SETFONT;

const ExpectedDialog rgDialogs[] = {
    {101, "IDD_ABOUT", "Quorvel - Ver " QUORVEL_VERSION, 177, 118, DLG_BASE, rgAboutControls,
     sizeof(rgAboutControls) / sizeof(rgAboutControls[0])},
    {107, "IDD_CONFIG", "Quorvel - Configuration", 217, 195, DLG_BASE | WS_SYSMENU, rgConfigControls,
     sizeof(rgConfigControls) / sizeof(rgConfigControls[0])},
    {109, "IDD_LOCATION", "Quorvel - Location", 158, 196, DLG_BASE | WS_SYSMENU, rgLocationControls,
     sizeof(rgLocationControls) / sizeof(rgLocationControls[0])},
};

// ---------------------------------------------------------------------------
// Reading resources

struct ResourceBytes {
    const BYTE *pb;
    DWORD cb;
};

HMODULE hExe = NULL;

ResourceBytes FindResourceBytes(WORD wType, WORD wId, WORD wLang)
{
    ResourceBytes res = {nullptr, 0};
    HRSRC hRes = FindResourceExA(hExe, MAKEINTRESOURCEA(wType), MAKEINTRESOURCEA(wId), wLang);
    if (hRes == NULL)
        return res;
    HGLOBAL hData = LoadResource(hExe, hRes);
    if (hData == NULL)
        return res;
    res.pb = (const BYTE *)LockResource(hData);
    res.cb = SizeofResource(hExe, hRes);
    return res;
}

// A bounds-checked cursor over one resource; reads past the end yield 0 and
// mark the cursor bad instead of reading foreign memory.
struct Cursor {
    const BYTE *pb;
    size_t cb;
    size_t off;
    bool bBad;
};

Cursor MakeCursor(const ResourceBytes &res)
{
    Cursor cur = {res.pb, res.cb, 0, res.pb == nullptr};
    return cur;
}

bool TakeBytes(Cursor *pCur, void *pOut, size_t cb)
{
    if (pCur->bBad || pCur->off > pCur->cb || pCur->cb - pCur->off < cb) {
        pCur->bBad = true;
        memset(pOut, 0, cb);
        return false;
    }
    memcpy(pOut, pCur->pb + pCur->off, cb);
    pCur->off += cb;
    return true;
}

WORD ReadWord(Cursor *pCur)
{
    WORD w;
    TakeBytes(pCur, &w, sizeof(w));
    return w;
}

DWORD ReadDword(Cursor *pCur)
{
    DWORD dw;
    TakeBytes(pCur, &dw, sizeof(dw));
    return dw;
}

short ReadShort(Cursor *pCur)
{
    return (short)ReadWord(pCur);
}

void AlignDword(Cursor *pCur)
{
    pCur->off = (pCur->off + 3) & ~(size_t)3;
    if (pCur->off > pCur->cb)
        pCur->bBad = true;
}

// UTF-16 text up to its NUL; every text here is plain ASCII, anything else
// shows as '?' and fails the comparison.
std::string ReadWideText(Cursor *pCur)
{
    std::string s;
    for (;;) {
        WORD wch = ReadWord(pCur);
        if (wch == 0 || pCur->bBad)
            return s;
        s += (wch < 0x80) ? (char)wch : '?';
    }
}

// The sz_Or_Ord field of templates: empty (0), an ordinal (0xFFFF, n) or text.
struct NameOrOrdinal {
    bool bOrdinal;
    WORD wOrdinal;
    std::string sText;
};

NameOrOrdinal ReadNameOrOrdinal(Cursor *pCur)
{
    NameOrOrdinal name = {false, 0, ""};
    size_t offStart = pCur->off;
    WORD wFirst = ReadWord(pCur);
    if (wFirst == 0xFFFF) {
        name.bOrdinal = true;
        name.wOrdinal = ReadWord(pCur);
    } else if (wFirst != 0) {
        pCur->off = offStart;
        name.sText = ReadWideText(pCur);
    }
    return name;
}

std::string DescribeName(const NameOrOrdinal &name)
{
    if (name.bOrdinal)
        return "#" + std::to_string(name.wOrdinal);
    return "\"" + name.sText + "\"";
}

struct ParsedControl {
    DWORD dwStyle;
    DWORD dwExStyle;
    short x, y, cx, cy;
    int iId;
    NameOrOrdinal cls;
    NameOrOrdinal text;
    WORD cbCreationData;
};

struct ParsedDialog {
    bool bExtended;
    DWORD dwStyle;
    DWORD dwExStyle;
    WORD cItems;
    short x, y, cx, cy;
    NameOrOrdinal menu;
    NameOrOrdinal cls;
    std::string sCaption;
    WORD wPointSize;
    std::string sFont;
    std::vector<ParsedControl> controls;
    bool bOk;
};

// Reads a DLGTEMPLATE with its DLGITEMTEMPLATEs, or the extended form of
// both, so that a later move to DIALOGEX keeps these checks meaningful.
ParsedDialog ParseDialog(const ResourceBytes &res)
{
    ParsedDialog dlg = {};
    Cursor cur = MakeCursor(res);
    WORD wVersion = ReadWord(&cur);
    WORD wSignature = ReadWord(&cur);
    dlg.bExtended = (wVersion == 1 && wSignature == 0xFFFF);
    if (dlg.bExtended) {
        ReadDword(&cur); // help id
        dlg.dwExStyle = ReadDword(&cur);
        dlg.dwStyle = ReadDword(&cur);
    } else {
        cur.off = 0;
        dlg.dwStyle = ReadDword(&cur);
        dlg.dwExStyle = ReadDword(&cur);
    }
    dlg.cItems = ReadWord(&cur);
    dlg.x = ReadShort(&cur);
    dlg.y = ReadShort(&cur);
    dlg.cx = ReadShort(&cur);
    dlg.cy = ReadShort(&cur);
    dlg.menu = ReadNameOrOrdinal(&cur);
    dlg.cls = ReadNameOrOrdinal(&cur);
    dlg.sCaption = ReadWideText(&cur);
    if (dlg.dwStyle & DS_SETFONT) {
        dlg.wPointSize = ReadWord(&cur);
        if (dlg.bExtended) {
            ReadWord(&cur); // weight
            ReadWord(&cur); // italic, character set
        }
        dlg.sFont = ReadWideText(&cur);
    }
    for (WORD i = 0; i < dlg.cItems && !cur.bBad; i++) {
        ParsedControl ctl = {};
        AlignDword(&cur);
        if (dlg.bExtended) {
            ReadDword(&cur); // help id
            ctl.dwExStyle = ReadDword(&cur);
            ctl.dwStyle = ReadDword(&cur);
        } else {
            ctl.dwStyle = ReadDword(&cur);
            ctl.dwExStyle = ReadDword(&cur);
        }
        ctl.x = ReadShort(&cur);
        ctl.y = ReadShort(&cur);
        ctl.cx = ReadShort(&cur);
        ctl.cy = ReadShort(&cur);
        ctl.iId = dlg.bExtended ? (int)ReadDword(&cur) : (int)ReadShort(&cur);
        ctl.cls = ReadNameOrOrdinal(&cur);
        ctl.text = ReadNameOrOrdinal(&cur);
        ctl.cbCreationData = ReadWord(&cur);
        // The plain form counts its own size word; the extended one does not.
        size_t cbSkip = ctl.cbCreationData;
        if (!dlg.bExtended && cbSkip >= 2)
            cbSkip -= 2;
        if (cur.cb - cur.off < cbSkip)
            cur.bBad = true;
        else
            cur.off += cbSkip;
        dlg.controls.push_back(ctl);
    }
    dlg.bOk = !cur.bBad && dlg.controls.size() == dlg.cItems;
    return dlg;
}

bool IsClass(const NameOrOrdinal &name, const ExpectedClass &cls)
{
    if (name.bOrdinal)
        return cls.wOrdinal != 0 && name.wOrdinal == cls.wOrdinal;
    // Window class names are case-insensitive, and windres stores them in
    // upper case.
    return lstrcmpiA(name.sText.c_str(), cls.pszName) == 0;
}

std::string Hex(DWORD dw)
{
    char sz[16];
    StringCchPrintfA(sz, sizeof(sz), "0x%08lX", dw);
    return sz;
}

// ---------------------------------------------------------------------------

class ResourcesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        hExe = LoadLibraryExA(QuorvelExePath(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    }
    static void TearDownTestSuite()
    {
        if (hExe != NULL)
            FreeLibrary(hExe);
        hExe = NULL;
    }
    void SetUp() override
    {
        ASSERT_NE(hExe, (HMODULE)NULL) << "cannot load " << QuorvelExePath() << " as data, error "
                                       << GetLastError();
    }
};

TEST_F(ResourcesTest, DialogTemplatesMatchTheirLayoutTables)
{
    for (const ExpectedDialog &dialog : rgDialogs) {
        SCOPED_TRACE(dialog.pszName);
        ResourceBytes res = FindResourceBytes(RESTYPE_DIALOG, dialog.wId, LANG_EN_AU);
        ASSERT_NE(res.pb, nullptr) << "no dialog " << dialog.wId << " in English (Australia)";
        ParsedDialog dlg = ParseDialog(res);
        ASSERT_TRUE(dlg.bOk) << "template is cut short";

        EXPECT_EQ(dlg.sCaption, dialog.pszCaption);
        EXPECT_EQ(dlg.cx, dialog.cx);
        EXPECT_EQ(dlg.cy, dialog.cy);
        EXPECT_EQ(Hex(dlg.dwStyle), Hex(dialog.dwStyle));
        EXPECT_EQ(Hex(dlg.dwExStyle), Hex(0));
        EXPECT_EQ(dlg.wPointSize, 8);
        EXPECT_EQ(dlg.sFont, "MS Sans Serif");
        EXPECT_EQ(DescribeName(dlg.menu), "\"\"") << "no menu";
        EXPECT_EQ(DescribeName(dlg.cls), "\"\"") << "the standard dialog class";

        ASSERT_EQ(dlg.controls.size(), dialog.cControls);
        for (size_t i = 0; i < dialog.cControls; i++) {
            const ExpectedControl &want = dialog.pControls[i];
            const ParsedControl &got = dlg.controls[i];
            SCOPED_TRACE(std::string("control ") + std::to_string(i + 1) + " " + want.pszName);
            EXPECT_EQ(got.iId, want.iId);
            EXPECT_TRUE(IsClass(got.cls, want.cls))
                << "class " << DescribeName(got.cls) << ", expected " << want.cls.pszName;
            if (want.pszText != nullptr)
                EXPECT_EQ(DescribeName(got.text), "\"" + std::string(want.pszText) + "\"");
            else
                EXPECT_EQ(DescribeName(got.text), "#" + std::to_string(want.wTextOrdinal));
            EXPECT_EQ(got.x, want.x);
            EXPECT_EQ(got.y, want.y);
            EXPECT_EQ(got.cx, want.cx);
            EXPECT_EQ(got.cy, want.cy);
            EXPECT_EQ(Hex(got.dwStyle), Hex(want.dwStyle));
            EXPECT_EQ(Hex(got.dwExStyle), Hex(0));
            EXPECT_EQ(got.cbCreationData, 0);
        }
    }
}

// Every resource is English (Australia), and the program carries exactly its
// three dialogs and two icon groups.
struct ResourceEntry {
    std::string sType;
    std::string sName;
    WORD wLang;
};

std::string DescribeResId(LPCSTR psz)
{
    if (IS_INTRESOURCE(psz))
        return "#" + std::to_string((unsigned)(ULONG_PTR)psz);
    return psz;
}

struct EnumState {
    std::vector<ResourceEntry> entries;
    std::string sType;
    std::string sName;
};

BOOL CALLBACK CollectLanguage(HMODULE, LPCSTR, LPCSTR, WORD wLang, LONG_PTR lParam)
{
    EnumState *pState = (EnumState *)lParam;
    ResourceEntry entry = {pState->sType, pState->sName, wLang};
    pState->entries.push_back(entry);
    return TRUE;
}

BOOL CALLBACK CollectName(HMODULE hModule, LPCSTR pszType, LPSTR pszName, LONG_PTR lParam)
{
    EnumState *pState = (EnumState *)lParam;
    pState->sName = DescribeResId(pszName);
    EnumResourceLanguagesA(hModule, pszType, pszName, CollectLanguage, lParam);
    return TRUE;
}

BOOL CALLBACK CollectType(HMODULE hModule, LPSTR pszType, LONG_PTR lParam)
{
    EnumState *pState = (EnumState *)lParam;
    pState->sType = DescribeResId(pszType);
    EnumResourceNamesA(hModule, pszType, CollectName, lParam);
    return TRUE;
}

TEST_F(ResourcesTest, EveryResourceIsEnglishAustralia)
{
    EnumState state;
    EnumResourceTypesA(hExe, CollectType, (LONG_PTR)&state);
    ASSERT_FALSE(state.entries.empty());

    std::set<std::string> dialogs, iconGroups, manifests, versions;
    for (const ResourceEntry &entry : state.entries) {
        EXPECT_EQ(entry.wLang, LANG_EN_AU) << "type " << entry.sType << " name " << entry.sName;
        if (entry.sType == "#5")
            dialogs.insert(entry.sName);
        else if (entry.sType == "#14")
            iconGroups.insert(entry.sName);
        else if (entry.sType == "#24")
            manifests.insert(entry.sName);
        else if (entry.sType == "#16")
            versions.insert(entry.sName);
    }
    EXPECT_EQ(dialogs, (std::set<std::string>{"#101", "#107", "#109"}));
    EXPECT_EQ(iconGroups, (std::set<std::string>{"#104", "#105"}));
    EXPECT_EQ(manifests, (std::set<std::string>{"#1"}));
    EXPECT_EQ(versions.size(), 1u);
}

// ---------------------------------------------------------------------------
// Icons

// One entry of an icon group: an image's size, colour depth and resource id.
struct GroupEntry {
    int iSize;
    WORD wBitCount;
    DWORD cbImage;
    WORD wImageId;
};

std::string Describe(const GroupEntry &e)
{
    return std::to_string(e.iSize) + "x" + std::to_string(e.iSize) + "x" + std::to_string(e.wBitCount);
}

std::vector<GroupEntry> ReadIconGroup(WORD wGroupId)
{
    std::vector<GroupEntry> entries;
    ResourceBytes group = FindResourceBytes(RESTYPE_GROUP_ICON, wGroupId, LANG_EN_AU);
    EXPECT_NE(group.pb, nullptr) << "no icon group " << wGroupId;
    Cursor cur = MakeCursor(group);
    EXPECT_EQ(ReadWord(&cur), 0);  // reserved
    EXPECT_EQ(ReadWord(&cur), 1);  // icon, not cursor
    WORD cEntries = ReadWord(&cur);
    for (WORD i = 0; i < cEntries && !cur.bBad; i++) {
        BYTE bWidth = 0, bHeight = 0, bColors = 0, bReserved = 0;
        TakeBytes(&cur, &bWidth, 1);
        TakeBytes(&cur, &bHeight, 1);
        TakeBytes(&cur, &bColors, 1);
        TakeBytes(&cur, &bReserved, 1);
        ReadWord(&cur);  // planes
        GroupEntry entry = {bWidth, ReadWord(&cur), ReadDword(&cur), ReadWord(&cur)};
        EXPECT_EQ(bHeight, bWidth) << "entry " << i;
        entries.push_back(entry);
    }
    EXPECT_FALSE(cur.bBad) << "icon group " << wGroupId << " is cut short";
    return entries;
}

struct IconImage {
    bool bOk;
    int iSize;
    std::vector<COLORREF> pixels;  // top row first
    std::vector<BYTE> alpha;       // 32-bit images; 255 or 0 by the mask for 8-bit ones
    std::vector<bool> transparent; // the AND mask
};

// Decodes one image of a group, checking its format on the way: a square of
// the group's size, 8 bits per pixel with a palette or 32 with alpha, and an
// AND mask.
IconImage DecodeIconImage(const GroupEntry &entry)
{
    IconImage img = {false, entry.iSize, {}, {}, {}};
    const int n = entry.iSize;
    ResourceBytes image = FindResourceBytes(RESTYPE_ICON, entry.wImageId, LANG_EN_AU);
    EXPECT_NE(image.pb, nullptr) << "no icon image " << entry.wImageId;
    if (image.pb == nullptr)
        return img;
    EXPECT_EQ(image.cb, entry.cbImage);

    BITMAPINFOHEADER bih;
    if (image.cb < sizeof(bih)) {
        ADD_FAILURE() << "icon image too short";
        return img;
    }
    memcpy(&bih, image.pb, sizeof(bih));
    EXPECT_EQ(bih.biSize, sizeof(bih));
    EXPECT_EQ(bih.biWidth, n);
    EXPECT_EQ(bih.biHeight, 2 * n) << "colour image and mask";
    EXPECT_EQ(bih.biBitCount, entry.wBitCount);
    EXPECT_EQ(bih.biCompression, (DWORD)BI_RGB);
    DWORD cColors = bih.biBitCount == 8 ? (bih.biClrUsed ? bih.biClrUsed : 256) : 0;
    const DWORD cbXorRow = ((DWORD)n * bih.biBitCount / 8 + 3) & ~3u;
    const DWORD cbAndRow = ((DWORD)n + 31) / 32 * 4;
    DWORD cbNeeded = bih.biSize + 4 * cColors + n * (cbXorRow + cbAndRow);
    EXPECT_EQ(image.cb, cbNeeded);
    if ((bih.biBitCount != 8 && bih.biBitCount != 32) || bih.biWidth != n ||
        bih.biHeight != 2 * n || cColors > 256 || image.cb < cbNeeded)
        return img;

    const RGBQUAD *pPalette = (const RGBQUAD *)(image.pb + bih.biSize);
    const BYTE *pXor = image.pb + bih.biSize + 4 * cColors;
    const BYTE *pAnd = pXor + n * cbXorRow;
    for (int y = 0; y < n; y++) {
        int row = n - 1 - y; // stored bottom-up
        for (int x = 0; x < n; x++) {
            bool bClear = (pAnd[row * cbAndRow + x / 8] & (0x80 >> (x % 8))) != 0;
            COLORREF cr = RGB(0, 0, 0);
            BYTE a = bClear ? 0 : 255;
            if (bih.biBitCount == 32) {
                const BYTE *p = pXor + row * cbXorRow + 4 * x;
                cr = RGB(p[2], p[1], p[0]);
                a = p[3];
            } else if (pXor[row * cbXorRow + x] < cColors) {
                const RGBQUAD &q = pPalette[pXor[row * cbXorRow + x]];
                cr = RGB(q.rgbRed, q.rgbGreen, q.rgbBlue);
            } else {
                ADD_FAILURE() << "pixel outside the palette at " << x << "," << y;
            }
            img.pixels.push_back(cr);
            img.alpha.push_back(a);
            img.transparent.push_back(bClear);
        }
    }
    img.bOk = true;
    return img;
}

IconImage LoadGroupImage(WORD wGroupId, int iSize, WORD wBitCount)
{
    for (const GroupEntry &entry : ReadIconGroup(wGroupId))
        if (entry.iSize == iSize && entry.wBitCount == wBitCount)
            return DecodeIconImage(entry);
    ADD_FAILURE() << "icon group " << wGroupId << " has no " << iSize << "x" << iSize << "x"
                  << wBitCount << " image";
    return IconImage{false, iSize, {}, {}, {}};
}

const WORD rgIconGroups[] = {104, 105};
const int rgSizes[] = {16, 24, 32, 48};

bool IsLightGrey(COLORREF cr)
{
    int r = GetRValue(cr), g = GetGValue(cr), b = GetBValue(cr);
    return r == g && g == b && r >= 160 && r < 255;
}

// The 32x32 256-colour image comes first, as before, because Windows 95 and
// NT 4 show the first image of the size they want; the other sizes follow,
// then the 32-bit ones, each the 256-colour picture of its size with soft
// pixels added where the 256-colour one is clear.
TEST_F(ResourcesTest, BothIconGroupsHoldThe32x32Of256ColoursFirstThenEverySize)
{
    const std::vector<std::string> want = {"32x32x8",  "16x16x8",  "24x24x8", "48x48x8",
                                           "16x16x32", "24x24x32", "32x32x32"};
    for (WORD wGroupId : rgIconGroups) {
        SCOPED_TRACE("icon group " + std::to_string(wGroupId));
        std::vector<GroupEntry> entries = ReadIconGroup(wGroupId);
        std::vector<std::string> got;
        for (const GroupEntry &entry : entries)
            got.push_back(Describe(entry));
        ASSERT_EQ(got, want);
        for (const GroupEntry &entry : entries) {
            SCOPED_TRACE(Describe(entry));
            IconImage img = DecodeIconImage(entry);
            ASSERT_TRUE(img.bOk);
            int cClear = 0;
            for (bool b : img.transparent)
                cClear += b ? 1 : 0;
            EXPECT_TRUE(img.transparent[0]) << "the top-left corner is background";
            EXPECT_LT(cClear, entry.iSize * entry.iSize / 2) << "the printer fills most of the icon";
            if (entry.wBitCount != 32)
                continue;
            IconImage flat = LoadGroupImage(wGroupId, entry.iSize, 8);
            ASSERT_TRUE(flat.bOk);
            EXPECT_EQ(img.transparent, flat.transparent) << "the same mask";
            for (size_t i = 0; i < img.pixels.size(); i++) {
                if (flat.transparent[i]) {
                    EXPECT_LT(img.alpha[i], 255) << "pixel " << i << " is soft or clear";
                } else {
                    EXPECT_EQ(img.alpha[i], 255) << "pixel " << i;
                    EXPECT_EQ(img.pixels[i], flat.pixels[i]) << "pixel " << i;
                }
            }
        }
    }
}

TEST_F(ResourcesTest, IdleIconIsALightGreyPrinterWithPaperAndStatusLightsAtEverySize)
{
    for (int iSize : rgSizes) {
        SCOPED_TRACE(std::to_string(iSize) + " pixels");
        IconImage img = LoadGroupImage(104, iSize, 8);
        ASSERT_TRUE(img.bOk);
        int cGrey = 0, cOpaque = 0, cWhiteTop = 0, cGreen = 0, cOrange = 0, cPureGreen = 0;
        for (size_t i = 0; i < img.pixels.size(); i++) {
            if (img.transparent[i])
                continue;
            COLORREF cr = img.pixels[i];
            int r = GetRValue(cr), g = GetGValue(cr), b = GetBValue(cr);
            cOpaque++;
            cGrey += IsLightGrey(cr) ? 1 : 0;
            if (cr == RGB(255, 255, 255) && (int)i < iSize * iSize / 3)
                cWhiteTop++;
            if (g >= 128 && r < 64 && b < 64)
                cGreen++;
            if (r >= 200 && g >= 80 && g <= 200 && b < 80)
                cOrange++;
            if (cr == RGB(0, 255, 0))
                cPureGreen++;
        }
        EXPECT_GT(cGrey * 3, cOpaque) << "mostly light grey";
        EXPECT_GT(cWhiteTop * 50, iSize * iSize) << "a white sheet at the top";
        EXPECT_GT(cGreen, 0) << "a green status light";
        EXPECT_GT(cOrange, 0) << "an orange status light";
        EXPECT_EQ(cPureGreen, 0) << "pure green belongs to the switched icon";
    }
}

// The switched icon is the idle printer with only its front panel changed,
// and that to pure green, in every image.
TEST_F(ResourcesTest, SwitchedIconDiffersFromIdleOnlyByAPureGreenPanel)
{
    for (const GroupEntry &entry : ReadIconGroup(105)) {
        SCOPED_TRACE(Describe(entry));
        IconImage idle = LoadGroupImage(104, entry.iSize, entry.wBitCount);
        IconImage switched = DecodeIconImage(entry);
        ASSERT_TRUE(idle.bOk);
        ASSERT_TRUE(switched.bOk);
        EXPECT_EQ(idle.transparent, switched.transparent) << "same outline";
        EXPECT_EQ(idle.alpha, switched.alpha) << "same soft pixels";
        int cChanged = 0, cChangedNotGreen = 0;
        for (size_t i = 0; i < idle.pixels.size(); i++) {
            if (idle.transparent[i] || idle.pixels[i] == switched.pixels[i])
                continue;
            cChanged++;
            if (switched.pixels[i] != RGB(0, 255, 0))
                cChangedNotGreen++;
        }
        EXPECT_GE(cChanged * 22, entry.iSize * entry.iSize) << "a panel, not a few dots";
        EXPECT_EQ(cChangedNotGreen, 0);
    }
}

// ---------------------------------------------------------------------------
// Manifest

// The text of the first element with this tag at or after the offset.
std::string ElementAt(const std::string &sXml, const std::string &sTag, size_t offFrom)
{
    size_t off = sXml.find("<" + sTag, offFrom);
    if (off == std::string::npos)
        return "";
    size_t offEnd = sXml.find('>', off);
    if (offEnd == std::string::npos)
        return "";
    return sXml.substr(off, offEnd - off + 1);
}

std::string AttributeOf(const std::string &sElement, const std::string &sAttr)
{
    for (size_t off = 0; (off = sElement.find(sAttr, off)) != std::string::npos; off++) {
        if (off == 0 || !isspace((unsigned char)sElement[off - 1]))
            continue;
        size_t at = off + sAttr.size();
        while (at < sElement.size() && isspace((unsigned char)sElement[at]))
            at++;
        if (at >= sElement.size() || sElement[at] != '=')
            continue;
        at++;
        while (at < sElement.size() && isspace((unsigned char)sElement[at]))
            at++;
        if (at >= sElement.size() || (sElement[at] != '"' && sElement[at] != '\''))
            continue;
        char chQuote = sElement[at];
        size_t offClose = sElement.find(chQuote, at + 1);
        if (offClose == std::string::npos)
            return "";
        return sElement.substr(at + 1, offClose - at - 1);
    }
    return "<none>";
}

size_t CountOf(const std::string &s, const std::string &sPart)
{
    size_t c = 0;
    for (size_t off = 0; (off = s.find(sPart, off)) != std::string::npos; off += sPart.size())
        c++;
    return c;
}

TEST_F(ResourcesTest, ManifestNamesTheProgramDependsOnCommonControls6AndIsAwareOfTheDisplayScale)
{
#ifdef _WIN64
    const char *kArch = "amd64";  // the 64-bit test twin's own copy
#else
    const char *kArch = "x86";
#endif
    ResourceBytes res = FindResourceBytes(RESTYPE_MANIFEST, 1, LANG_EN_AU);
    ASSERT_NE(res.pb, nullptr) << "no manifest 1 in English (Australia)";
    std::string sXml((const char *)res.pb, res.cb);

    std::string sSelf = ElementAt(sXml, "assemblyIdentity", 0);
    EXPECT_EQ(AttributeOf(sSelf, "version"), "1.0.0.0");
    EXPECT_EQ(AttributeOf(sSelf, "type"), "win32");
    EXPECT_EQ(AttributeOf(sSelf, "processorArchitecture"), kArch);

    EXPECT_EQ(CountOf(sXml, "<dependency"), 1u);
    EXPECT_EQ(CountOf(sXml, "<dependentAssembly"), 1u);
    size_t offDep = sXml.find("<dependentAssembly");
    ASSERT_NE(offDep, std::string::npos);
    std::string sDep = ElementAt(sXml, "assemblyIdentity", offDep);
    EXPECT_EQ(AttributeOf(sDep, "name"), "Microsoft.Windows.Common-Controls");
    EXPECT_EQ(AttributeOf(sDep, "version"), "6.0.0.0");
    EXPECT_EQ(AttributeOf(sDep, "type"), "win32");
    EXPECT_EQ(AttributeOf(sDep, "processorArchitecture"), kArch);
    EXPECT_EQ(AttributeOf(sDep, "publicKeyToken"), "6595b64144ccf1df");
    EXPECT_EQ(AttributeOf(sDep, "language"), "*");

    // Aware of the display's scale in the form every Windows from Vista on
    // reads, so that none of them enlarges the program as a blurred bitmap.
    size_t offApp = sXml.find("<application");
    ASSERT_NE(offApp, std::string::npos);
    EXPECT_EQ(AttributeOf(ElementAt(sXml, "application", 0), "xmlns"), "urn:schemas-microsoft-com:asm.v3");
    size_t offSettings = sXml.find("<windowsSettings", offApp);
    size_t offAware = sXml.find("<dpiAware", offSettings);
    ASSERT_NE(offSettings, std::string::npos);
    ASSERT_NE(offAware, std::string::npos);
    EXPECT_LT(offAware, sXml.find("</windowsSettings>", offSettings));
    std::string sAware = ElementAt(sXml, "dpiAware", offAware);
    EXPECT_EQ(AttributeOf(sAware, "xmlns"), "http://schemas.microsoft.com/SMI/2005/WindowsSettings");
    size_t offValue = offAware + sAware.size();
    EXPECT_EQ(sXml.substr(offValue, sXml.find('<', offValue) - offValue), "true");
    EXPECT_EQ(CountOf(sXml, "<dpiAware"), 1u);
}

// ---------------------------------------------------------------------------
// Version record

// One node of VS_VERSIONINFO: length, value length, type, key, value, children.
struct VersionNode {
    std::string sKey;
    const BYTE *pValue;
    WORD cbValueField;
    WORD wType;
    std::vector<VersionNode> children;
};

bool ParseVersionNode(const BYTE *pb, size_t cb, VersionNode *pNode)
{
    ResourceBytes span = {pb, (DWORD)cb};
    Cursor cur = MakeCursor(span);
    WORD wLength = ReadWord(&cur);
    WORD wValueLength = ReadWord(&cur);
    pNode->wType = ReadWord(&cur);
    pNode->sKey = ReadWideText(&cur);
    if (cur.bBad || wLength > cb || wLength < cur.off)
        return false;
    cur.cb = wLength;
    AlignDword(&cur);
    // Text values count characters, binary ones count bytes.
    size_t cbValue = pNode->wType == 1 ? (size_t)wValueLength * 2 : wValueLength;
    if (cur.bBad || cur.cb - cur.off < cbValue)
        return false;
    pNode->pValue = pb + cur.off;
    pNode->cbValueField = (WORD)cbValue;
    cur.off += cbValue;
    AlignDword(&cur);
    while (!cur.bBad && cur.off + 6 <= cur.cb) {
        VersionNode child = {};
        if (!ParseVersionNode(pb + cur.off, cur.cb - cur.off, &child))
            return false;
        WORD wChildLength;
        memcpy(&wChildLength, pb + cur.off, sizeof(wChildLength));
        pNode->children.push_back(child);
        cur.off += wChildLength;
        AlignDword(&cur);
    }
    return true;
}

const VersionNode *ChildOf(const VersionNode &node, const char *pszKey)
{
    for (const VersionNode &child : node.children)
        if (child.sKey == pszKey)
            return &child;
    return nullptr;
}

std::string TextValue(const VersionNode *pNode)
{
    if (pNode == nullptr)
        return "<missing>";
    std::string s;
    for (size_t i = 0; i + 1 < pNode->cbValueField; i += 2) {
        WORD wch = (WORD)(pNode->pValue[i] | (pNode->pValue[i + 1] << 8));
        if (wch == 0)
            break;
        s += (wch < 0x80) ? (char)wch : '?';
    }
    return s;
}

// The version CMakeLists.txt gives the project, in the record and the About
// box's caption alike.
TEST_F(ResourcesTest, VersionRecordSaysTheProjectVersionInEnglishAustralia)
{
    ResourceBytes res = FindResourceBytes(RESTYPE_VERSION, 1, LANG_EN_AU);
    ASSERT_NE(res.pb, nullptr) << "no version record 1 in English (Australia)";
    VersionNode root = {};
    ASSERT_TRUE(ParseVersionNode(res.pb, res.cb, &root));
    EXPECT_EQ(root.sKey, "VS_VERSION_INFO");

    VS_FIXEDFILEINFO ffi;
    ASSERT_EQ((size_t)root.cbValueField, sizeof(ffi));
    memcpy(&ffi, root.pValue, sizeof(ffi));
    EXPECT_EQ(Hex(ffi.dwSignature), Hex(0xFEEF04BD));
    const DWORD dwMS = MAKELONG(QUORVEL_VERSION_MINOR, QUORVEL_VERSION_MAJOR);
    const DWORD dwLS = MAKELONG(QUORVEL_VERSION_TWEAK, QUORVEL_VERSION_PATCH);
    EXPECT_EQ(Hex(ffi.dwFileVersionMS), Hex(dwMS));
    EXPECT_EQ(Hex(ffi.dwFileVersionLS), Hex(dwLS));
    EXPECT_EQ(Hex(ffi.dwProductVersionMS), Hex(dwMS));
    EXPECT_EQ(Hex(ffi.dwProductVersionLS), Hex(dwLS));
    EXPECT_EQ(ffi.dwFileType, (DWORD)VFT_APP);

    const VersionNode *pStrings = ChildOf(root, "StringFileInfo");
    ASSERT_NE(pStrings, nullptr);
    const VersionNode *pTable = ChildOf(*pStrings, "0c0904e4");
    ASSERT_NE(pTable, nullptr) << "string table for English (Australia), code page 1252";
    const struct {
        const char *pszKey;
        const char *pszValue;
    } rgStrings[] = {
        {"CompanyName", "Brennick"},
        {"FileDescription", "Quorvel default printer manager"},
        {"FileVersion", QUORVEL_VERSION},
        {"ProductName", "Quorvel"},
        {"ProductVersion", QUORVEL_VERSION},
        {"OriginalFilename", "Quorvel.exe"},
        {"LegalCopyright", SZ_NOTICE},
    };
    for (const auto &want : rgStrings)
        EXPECT_EQ(TextValue(ChildOf(*pTable, want.pszKey)), want.pszValue) << want.pszKey;

    const VersionNode *pVar = ChildOf(root, "VarFileInfo");
    ASSERT_NE(pVar, nullptr);
    const VersionNode *pTranslation = ChildOf(*pVar, "Translation");
    ASSERT_NE(pTranslation, nullptr);
    ASSERT_EQ(pTranslation->cbValueField, 4u);
    WORD rgw[2];
    memcpy(rgw, pTranslation->pValue, sizeof(rgw));
    EXPECT_EQ(rgw[0], 0x0c09);
    EXPECT_EQ(rgw[1], 1252);
}

} // namespace
