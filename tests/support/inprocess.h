// The program's own main window, run inside a test process: the real window
// procedure and operations over the real Win32 API, with the shared state
// reset before each test and the window's messages recorded.
#ifndef QUORVEL_INPROCESS_H
#define QUORVEL_INPROCESS_H

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "core/state.h"

struct RecordedMessage {
    UINT uMsg;
    WPARAM wParam;
    LPARAM lParam;
    DWORD dwTick;
};

class InProcessTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Creates the main window (its creation runs the program's start-up) and
    // waits until the first enumeration has ended.
    HWND StartMainWindow();
    // Waits until no enumeration worker runs.
    static bool WaitEnumerationIdle(DWORD timeoutMs = 10000);
    // Pumps this thread's messages for the given time.
    static void Pump(DWORD ms);

    // Messages the main window received since the last ClearMessages, of one kind.
    static std::vector<RecordedMessage> Received(UINT uMsg);
    static void ClearMessages();

public:
    // Called (once each) for popup menus this thread is about to show, and
    // when one has closed, before the code that showed it goes on.
    static std::function<void(HMENU)> onMenuPopup;
    static std::function<void()> onMenuClosed;
};

#endif
