// The class path of the JVM: configured entries, with every archive below a
// configured directory.
#pragma once
#include "launcher/text_buffers.h"

// Fills an empty class_path with the class-path text (possibly empty). False
// after a reported failure.
bool build_class_path(GrowString* class_path);

// Appends every archive below directory, each followed by ';'. False after a
// reported failure.
bool add_directory_archives(GrowString* class_path, const char* directory);
