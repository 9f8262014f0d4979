// The splash window shown while the JVM starts: bitmap resource 1, centred,
// closed after value 1032 seconds or once the application shows a window.
#pragma once
#include <windows.h>

// The splash window once its thread has created it; null before.
extern HWND volatile splash_window;

// Starts the splash thread. False when no thread could be started.
bool start_splash();

// True while the start-up thread should go on waiting for splash_window:
// the window is not there yet, and its thread is still working on it for
// less than a few seconds. A splash that cannot be created is given up
// without a report; the application then starts without one.
bool splash_pending();
