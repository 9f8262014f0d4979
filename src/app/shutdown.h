// The orderly end of the JVM, and the stopper that asks it to end.
#pragma once

// After main returned: detach and destroy (which waits for the
// application's non-daemon threads); the JVM library stays loaded. Reports
// nothing.
void shutdown_jvm();

// System.exit(0) from a thread attached for it. Does not return when the JVM
// ends the process; false after a reported failure.
bool request_java_exit();
