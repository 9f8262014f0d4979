// The values the entry point establishes before the configuration is read:
// the extraction directory, the launch and executable directories, the
// application name, and the working-directory step of a start.
#pragma once
#include <cstddef>

// extract_dir from value 1007 (0 ".", 1 ".\" + hex, other: the temporary
// directory + hex). A directory that would not fit is reported and left
// empty; the start goes on.
void compose_extract_dir(int mode, const char* stored_main_class);

// Saves launch_directory and makes the executable's directory current. False
// after a reported failure.
bool enter_executable_directory();

// The executable's file name without directory and extension, as a new heap
// text.
char* derive_app_name();

// Moves to the application's working directory: the launch directory when
// force is false and value 1016 is set, else value 1011 when it is not
// empty. False after a reported failure.
bool apply_working_directory(bool force);

// The directory a primary invocation moves to before main (see
// apply_working_directory with force false), as a full path into directory;
// false when main runs where the JVM is created or the path does not fit.
bool main_working_directory(char* directory, size_t size);
