// %NAME% references in configured texts: JAVA_HOME of the runtime found, the
// date, the time, heap sizes from physical memory, and the environment.
#pragma once

// A new heap text with every reference expanded; the input is unchanged.
char* expand_variables(const char* text);

// The expanded path, after every missing directory on the way to it has been
// created. A new heap text.
char* prepare_output_path(const char* path);
