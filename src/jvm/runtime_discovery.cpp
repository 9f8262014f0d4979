#include "jvm/runtime_discovery.h"

char found_java_home[path_size];

bool locate_jvm_library(char* result)
{
    result[0] = 0;
    return false;
}
