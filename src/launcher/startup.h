// The entry point's own process-wide state.
#pragma once

// The named mutex (a HANDLE) this process created and owns, or null.
extern void* instance_mutex;

// Closes instance_mutex when it is held: at the end of a normal start, or
// from the JVM's exit and abort hooks.
void close_instance_mutex();
