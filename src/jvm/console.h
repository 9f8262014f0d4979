// The console of a windowed launcher: a visible one when the INI file asks
// for it, the control handler, and the hook the exit hook removes.
#pragma once

// Gives the process the console it needs before the JVM is created. False
// only after a reported failure.
bool setup_console();

// Installs the handler that claims the log-off event, so that a service or a
// launcher on the Windows 95 family outlives the user's log-off.
void install_console_ctrl_handler();

// Removes the quit-message hook when one was installed.
void remove_console_hook();
