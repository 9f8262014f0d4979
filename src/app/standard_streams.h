// Where Java's standard output and error go: left alone, a log file, or the
// capture pipe.
#pragma once

// Sets the streams up for a primary invocation, on the thread that created
// the JVM. False after a reported failure.
bool set_up_standard_streams();
