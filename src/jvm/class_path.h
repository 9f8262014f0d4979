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

// Replaces the class-path text by one whose relative entries are taken
// against directory. An entry with a reference is left as it stands.
void make_entries_absolute(GrowString* class_path, const char* directory);
