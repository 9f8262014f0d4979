// Watches this process's own message boxes from a second thread while a call
// runs on the calling thread: each box is read as a user sees it and then
// dismissed with OK, so the call returns.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

struct SeenBox {
    std::string caption;
    std::string text;  // the static control 0xFFFF of the box
    bool owned;        // the box has an owner window
    bool foreground;   // the box was the foreground window when read
    HICON icon;        // the icon of the static control 1088
    ULONGLONG closed;  // the system time (FILETIME units) when OK was sent
};

struct WatchedCall {
    int result;
    std::vector<SeenBox> boxes;
};

// Each box stays open for hold milliseconds after it was read.
WatchedCall call_watching_boxes(const std::function<int()>& call, DWORD hold = 0);
