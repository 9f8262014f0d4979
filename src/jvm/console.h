// The console of a windowed launcher: a visible one when the INI file asks
// for it, a hidden one for captured output on the Windows 95 family, the
// control handler, and the hook the exit hook removes. No windows.h here:
// the JNI code that calls these is built on the host too.
#pragma once

// Gives the process the console it needs before the JVM is created. False
// only after a reported failure of the hidden console's steps (RC0000022,
// RC0000025, RC0000026).
bool setup_console();

// Installs the handler that claims the log-off event, so that a service or a
// launcher on the Windows 95 family outlives the user's log-off.
void install_console_ctrl_handler();

// Removes the quit-message hook when one was installed.
void remove_console_hook();
