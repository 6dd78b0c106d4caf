// Driving the program's dialogs as a user would.
#include "dialogdriver.h"

#include <commctrl.h>

#include <cstring>

#include "testsupport.h"

namespace {

// The program's own dialogs all carry captions that begin so; every other
// dialog-class window the thread shows is a message box.
const char kOwnDialogPrefix[] = "Quorvel - ";
// The message box's text control.
const int kBoxTextId = 0xFFFF;

CRITICAL_SECTION g_lock;
bool g_lockReady;
HHOOK g_hook;
std::vector<SeenBox> g_boxes;
std::vector<HWND> g_up;  // boxes seen and not yet destroyed
int g_answer = IDOK;

struct Lock {
    Lock() { EnterCriticalSection(&g_lock); }
    ~Lock() { LeaveCriticalSection(&g_lock); }
};

std::string ClassOf(HWND hwnd)
{
    char cls[64] = "";
    GetClassNameA(hwnd, cls, sizeof(cls));
    return cls;
}

bool IsOwnDialogCaption(const std::string &caption)
{
    return caption.compare(0, sizeof(kOwnDialogPrefix) - 1, kOwnDialogPrefix) == 0;
}

bool IsMessageBox(HWND hwnd)
{
    return ClassOf(hwnd) == "#32770" && !IsOwnDialogCaption(WindowText(hwnd));
}

struct MessageBoxControls {
    std::vector<int> buttons;
    std::string firstStaticText;
    HICON hIcon = NULL;
};

BOOL CALLBACK CollectBoxControls(HWND hwnd, LPARAM lParam)
{
    MessageBoxControls *controls = reinterpret_cast<MessageBoxControls *>(lParam);
    std::string cls = ClassOf(hwnd);
    if (lstrcmpiA(cls.c_str(), "Button") == 0) {
        // The box is not shown yet: its own style tells the buttons it shows.
        if (GetWindowLongA(hwnd, GWL_STYLE) & WS_VISIBLE)
            controls->buttons.push_back(GetDlgCtrlID(hwnd));
    } else if (lstrcmpiA(cls.c_str(), "Static") == 0) {
        LONG style = GetWindowLongA(hwnd, GWL_STYLE);
        if ((style & SS_TYPEMASK) == SS_ICON) {
            controls->hIcon = (HICON)SendMessageA(hwnd, STM_GETICON, 0, 0);
        } else if (controls->firstStaticText.empty()) {
            controls->firstStaticText = WindowText(hwnd);
        }
    }
    return TRUE;
}

BOOL CALLBACK CollectDialogs(HWND hwnd, LPARAM lParam)
{
    auto *out = reinterpret_cast<std::vector<std::pair<std::string, bool>> *>(lParam);
    std::string caption = WindowText(hwnd);
    if (IsWindowVisible(hwnd) && ClassOf(hwnd) == "#32770" && IsOwnDialogCaption(caption))
        out->push_back({caption, IsWindowEnabled(hwnd) != FALSE});
    return TRUE;
}

void SeeBox(HWND hBox)
{
    {
        Lock lock;
        for (HWND h : g_up) {
            if (h == hBox)
                return;  // activated again: already seen
        }
        g_up.push_back(hBox);
    }
    SeenBox box;
    box.hBox = hBox;
    box.hOwner = GetWindow(hBox, GW_OWNER);
    box.caption = WindowText(hBox);
    MessageBoxControls controls;
    EnumChildWindows(hBox, CollectBoxControls, reinterpret_cast<LPARAM>(&controls));
    HWND hText = GetDlgItem(hBox, kBoxTextId);
    box.text = hText != NULL ? WindowText(hText) : controls.firstStaticText;
    box.buttons = controls.buttons;
    box.warningIcon = controls.hIcon != NULL && controls.hIcon == LoadIconA(NULL, IDI_WARNING);
    EnumThreadWindows(GetCurrentThreadId(), CollectDialogs,
                      reinterpret_cast<LPARAM>(&box.dialogsEnabled));
    int answer;
    {
        Lock lock;
        answer = g_answer;
    }
    bool has = false;
    for (int id : box.buttons)
        has = has || id == answer;
    if (!has)
        answer = box.buttons.empty() ? IDOK : box.buttons.front();
    box.answeredWith = answer;
    // The box's own loop takes the press once it runs.
    PostMessageA(hBox, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), (LPARAM)GetDlgItem(hBox, answer));
    Lock lock;
    g_boxes.push_back(box);
}

LRESULT CALLBACK WatchProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_ACTIVATE) {
        HWND hwnd = reinterpret_cast<HWND>(wParam);
        if (IsMessageBox(hwnd))
            SeeBox(hwnd);
    } else if (code == HCBT_DESTROYWND) {
        HWND hwnd = reinterpret_cast<HWND>(wParam);
        Lock lock;
        for (size_t i = 0; i < g_up.size(); i++) {
            if (g_up[i] == hwnd) {
                g_up.erase(g_up.begin() + i);
                break;
            }
        }
    }
    return CallNextHookEx(g_hook, code, wParam, lParam);
}

std::string Quote(const std::string &text)
{
    std::string out = "'";
    for (char c : text) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

std::string FocusCommand(HWND hDlg)
{
    return "w=$(xdotool search --name " + Quote("^" + WindowText(hDlg) + "$") +
           " | head -n 1) && xdotool windowfocus --sync \"$w\"";
}

// The window a click on control `id` should land on: an editable combo box
// takes the text in its edit part.
HWND ClickTarget(HWND hDlg, int id)
{
    HWND hCtl = GetDlgItem(hDlg, id);
    if (lstrcmpiA(ClassOf(hCtl).c_str(), "ComboBox") == 0) {
        COMBOBOXINFO cbi;
        ZeroMemory(&cbi, sizeof(cbi));
        cbi.cbSize = sizeof(cbi);
        if (GetComboBoxInfo(hCtl, &cbi) && cbi.hwndItem != NULL && cbi.hwndItem != hCtl)
            return cbi.hwndItem;
    }
    return hCtl;
}

struct DialogSearch {
    std::string title;
    std::vector<HWND> found;
};

BOOL CALLBACK FindDialogs(HWND hwnd, LPARAM lParam)
{
    DialogSearch *s = reinterpret_cast<DialogSearch *>(lParam);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == GetCurrentProcessId() && IsWindowVisible(hwnd) && ClassOf(hwnd) == "#32770" &&
        WindowText(hwnd) == s->title)
        s->found.push_back(hwnd);
    return TRUE;
}

}  // namespace

bool SeenBox::DialogEnabled(const std::string &title) const
{
    for (const auto &d : dialogsEnabled) {
        if (d.first == title)
            return d.second;
    }
    return false;
}

MessageBoxWatch::MessageBoxWatch()
{
    if (!g_lockReady) {
        InitializeCriticalSection(&g_lock);
        g_lockReady = true;
    }
    Clear();
    AnswerWith(IDOK);
    g_hook = SetWindowsHookExA(WH_CBT, WatchProc, NULL, GetCurrentThreadId());
}

MessageBoxWatch::~MessageBoxWatch()
{
    if (g_hook != NULL)
        UnhookWindowsHookEx(g_hook);
    g_hook = NULL;
}

void MessageBoxWatch::AnswerWith(int id)
{
    Lock lock;
    g_answer = id;
}

std::vector<SeenBox> MessageBoxWatch::Boxes() const
{
    Lock lock;
    return g_boxes;
}

size_t MessageBoxWatch::Count() const
{
    Lock lock;
    return g_boxes.size();
}

bool MessageBoxWatch::WaitForBoxes(size_t count, DWORD timeoutMs) const
{
    DWORD start = GetTickCount();
    for (;;) {
        HWND hLast = NULL;
        size_t n;
        {
            Lock lock;
            n = g_boxes.size();
            if (n > 0)
                hLast = g_boxes.back().hBox;
        }
        if (n >= count && (hLast == NULL || !IsWindow(hLast))) {
            // Let the window under it take the activation back first.
            Sleep(200);
            return true;
        }
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(30);
    }
}

void MessageBoxWatch::Clear()
{
    Lock lock;
    g_boxes.clear();
    g_up.clear();
}

HWND FindOwnDialog(const std::string &title)
{
    DialogSearch s;
    s.title = title;
    EnumWindows(FindDialogs, reinterpret_cast<LPARAM>(&s));
    return s.found.empty() ? NULL : s.found.front();
}

int CountOwnDialogs(const std::string &title)
{
    DialogSearch s;
    s.title = title;
    EnumWindows(FindDialogs, reinterpret_cast<LPARAM>(&s));
    return (int)s.found.size();
}

bool ClickPoint(int x, int y)
{
    return RunHostCommand("xdotool mousemove " + std::to_string(x) + " " + std::to_string(y) +
                          " click 1");
}

bool TypeInto(HWND hDlg, int id, const std::string &text)
{
    if (!ClickWindow(ClickTarget(hDlg, id)))
        return false;
    std::string command = FocusCommand(hDlg) + " && xdotool key --delay 40 End shift+Home BackSpace";
    if (!text.empty())
        command += " && xdotool type --delay 40 " + Quote(text);
    return RunHostCommand(command);
}

bool TypeAtEnd(HWND hDlg, int id, const std::string &text)
{
    if (!ClickWindow(ClickTarget(hDlg, id)))
        return false;
    return RunHostCommand(FocusCommand(hDlg) + " && xdotool key End && xdotool type --delay 40 " +
                          Quote(text));
}

bool ChooseFromDropList(HWND hCombo, const std::string &item)
{
    int index = (int)SendMessageA(hCombo, CB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)item.c_str());
    if (index < 0)
        return false;
    if (!ClickWindow(hCombo))
        return false;
    if (!WaitFor([&] { return SendMessageA(hCombo, CB_GETDROPPEDSTATE, 0, 0) != 0; }, 3000))
        return false;
    COMBOBOXINFO cbi;
    ZeroMemory(&cbi, sizeof(cbi));
    cbi.cbSize = sizeof(cbi);
    if (!GetComboBoxInfo(hCombo, &cbi) || cbi.hwndList == NULL)
        return false;
    RECT rc;
    if (SendMessageA(cbi.hwndList, LB_GETITEMRECT, (WPARAM)index, (LPARAM)&rc) == LB_ERR)
        return false;
    MapWindowPoints(cbi.hwndList, NULL, reinterpret_cast<POINT *>(&rc), 2);
    if (!ClickPoint((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2))
        return false;
    return WaitFor([&] { return SendMessageA(hCombo, CB_GETDROPPEDSTATE, 0, 0) == 0; }, 3000);
}

bool ClickListRow(HWND hList, int row)
{
    SendMessageA(hList, LVM_ENSUREVISIBLE, (WPARAM)row, FALSE);
    RECT rc;
    rc.left = LVIR_LABEL;
    if (!SendMessageA(hList, LVM_GETITEMRECT, (WPARAM)row, (LPARAM)&rc))
        return false;
    MapWindowPoints(hList, NULL, reinterpret_cast<POINT *>(&rc), 2);
    return ClickPoint((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
}

bool PressKeysInDialog(HWND hDlg, const std::string &keys)
{
    return RunHostCommand(FocusCommand(hDlg) + " && xdotool key --delay 60 " + keys);
}

std::string WindowText(HWND hwnd)
{
    char text[1024] = "";
    GetWindowTextA(hwnd, text, sizeof(text));
    return text;
}

std::string ControlText(HWND hDlg, int id)
{
    return WindowText(GetDlgItem(hDlg, id));
}

bool IsControlEnabled(HWND hDlg, int id)
{
    return IsWindowEnabled(GetDlgItem(hDlg, id)) != FALSE;
}

bool IsButtonChecked(HWND hDlg, int id)
{
    return SendDlgItemMessageA(hDlg, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

std::vector<std::vector<std::string>> ListRows(HWND hList)
{
    std::vector<std::vector<std::string>> rows;
    int count = (int)SendMessageA(hList, LVM_GETITEMCOUNT, 0, 0);
    for (int i = 0; i < count; i++) {
        std::vector<std::string> row;
        for (int sub = 0; sub < 4; sub++) {
            char text[1024] = "";
            LVITEMA item;
            ZeroMemory(&item, sizeof(item));
            item.iSubItem = sub;
            item.pszText = text;
            item.cchTextMax = sizeof(text);
            SendMessageA(hList, LVM_GETITEMTEXTA, (WPARAM)i, (LPARAM)&item);
            row.push_back(text);
        }
        rows.push_back(row);
    }
    return rows;
}
