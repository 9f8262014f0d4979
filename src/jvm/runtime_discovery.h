// Finding the JVM library of a Java runtime: the explicit list, the registry
// keys of installed runtimes with their version constraints, and JAVA_HOME.
#pragma once
#include "launcher/configuration.h"

// "JavaHome" of the last registered runtime that passed the version check;
// empty when none did. Read by the %JAVA_HOME% expansion.
extern char found_java_home[path_size];

// Runs the configured search steps; on success result (path_size bytes)
// holds the path of an existing JVM library. On failure the configured
// failure actions (message 4, document, command) have been carried out.
bool locate_jvm_library(char* result);
