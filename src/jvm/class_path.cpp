#include "jvm/class_path.h"

bool build_class_path(GrowString*) { return false; }
bool add_directory_archives(GrowString*, const char*) { return false; }
