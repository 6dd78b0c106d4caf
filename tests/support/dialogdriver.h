// Driving the program's dialogs as a user would, from a second thread while
// the dialog's modal loop runs on the test's main thread: real clicks and
// typing through xdotool, and message boxes seen, recorded and answered by a
// hook on the thread that shows them.
#ifndef QUORVEL_DIALOGDRIVER_H
#define QUORVEL_DIALOGDRIVER_H

#include <windows.h>

#include <string>
#include <vector>

struct SeenBox {
    HWND hBox = NULL;
    HWND hOwner = NULL;
    std::string text;
    std::string caption;
    std::vector<int> buttons;    // ids of its push buttons, in window order
    bool warningIcon = false;    // shows the system's warning icon
    // Top-level dialogs of the thread (by caption) and whether each accepted
    // input while the box was up.
    std::vector<std::pair<std::string, bool>> dialogsEnabled;
    int answeredWith = 0;

    bool DialogEnabled(const std::string &title) const;
};

// Sees every message box that the installing thread shows: records it and
// presses a button (the chosen answer when the box has it, else its first).
class MessageBoxWatch {
public:
    MessageBoxWatch();
    ~MessageBoxWatch();
    // The button that the next boxes are answered with (IDOK, IDYES, IDNO...).
    void AnswerWith(int id);
    std::vector<SeenBox> Boxes() const;
    size_t Count() const;
    // Waits (without pumping) until `count` boxes were seen and the last is gone.
    bool WaitForBoxes(size_t count, DWORD timeoutMs = 8000) const;
    void Clear();
};

// A visible top-level dialog of this process with exactly this caption.
HWND FindOwnDialog(const std::string &title);
int CountOwnDialogs(const std::string &title);

// Clicks with the real pointer at a screen point.
bool ClickPoint(int x, int y);
// Clicks an edit field (giving it the focus) and replaces its text by typing.
bool TypeInto(HWND hDlg, int id, const std::string &text);
// Types at the end of an edit field's text without removing anything.
bool TypeAtEnd(HWND hDlg, int id, const std::string &text);
// Opens a drop-down list with a click and clicks the item of that text.
bool ChooseFromDropList(HWND hCombo, const std::string &item);
// Clicks a row of a report-view list on its first column.
bool ClickListRow(HWND hList, int row);
// Presses keys in the dialog (which takes the keyboard first).
bool PressKeysInDialog(HWND hDlg, const std::string &keys);

std::string WindowText(HWND hwnd);
std::string ControlText(HWND hDlg, int id);
bool IsControlEnabled(HWND hDlg, int id);
bool IsButtonChecked(HWND hDlg, int id);
// The cells of a report-view list, row by row, four columns.
std::vector<std::vector<std::string>> ListRows(HWND hList);

#endif
