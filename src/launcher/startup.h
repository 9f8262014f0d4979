// The entry point's own process-wide state.
#pragma once
#include <windows.h>

// The named mutex this process created and owns, or null. Closed at the end
// of a normal start, or by the JVM's exit and abort hooks.
extern HANDLE instance_mutex;
