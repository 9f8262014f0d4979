// The splash window shown while the JVM starts.
#pragma once
#include <windows.h>

// The splash window once its thread has created it; null before.
extern HWND volatile splash_window;

// Starts the splash thread. False, after a report, when no splash window will
// ever appear, so that nobody waits for it.
bool start_splash();
